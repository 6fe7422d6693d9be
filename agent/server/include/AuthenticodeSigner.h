#pragma once

#include <windows.h>

#include <string>

#include "TrustRules.h"

namespace AuthenticodeSigner {

// Verifies the file's Authenticode signature without any user interface and
// without revocation checks, reading through `file` (an open handle to
// `path`), and describes its signer. Not valid, with WinVerifyTrust's result,
// when the file is unsigned, its signature does not match its contents, or
// the signer's chain does not end in a trusted root.
TrustRules::SignerCheck Check(const std::wstring& path, HANDLE file);

}  // namespace AuthenticodeSigner
