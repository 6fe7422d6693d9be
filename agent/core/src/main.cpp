#include <windows.h>

#include "PavoAgentApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // The agent runs elevated: DLLs loaded at run time come from System32
    // only, never from the program folder or the current directory.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    PavoAgentApp app;
    return app.Run();
}
