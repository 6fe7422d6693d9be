#include <windows.h>

#include <openssl/crypto.h>

#include <cstdlib>

#include "Lumen/DelayLoad.h"
#include "PavoAgentApp.h"

// DLLs that are not KnownDLLs are delay-loaded (see cmake/DelayLoad.cmake):
// this hook loads each of them from System32 only.
// (declared with C linkage by delayimp.h)
PfnDliHook __pfnDliNotifyHook2 = Lumen::LoadDelayedDllFromSystem32;

namespace {

// The crypto library is set up before anything else runs and torn down at
// process exit.
struct CryptoLibrary {
    CryptoLibrary()
    {
        OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS | OPENSSL_INIT_ADD_ALL_CIPHERS |
                                OPENSSL_INIT_ADD_ALL_DIGESTS,
                            nullptr);
        std::atexit(OPENSSL_cleanup);
    }
} g_cryptoLibrary;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // The agent runs elevated: DLLs loaded at run time come from System32
    // only, never from the program folder or the current directory.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    PavoAgentApp app;
    return app.Run();
}
