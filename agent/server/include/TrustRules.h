#pragma once

#include <json/json.h>

#include <string>
#include <vector>

// What the agent checks before it trusts a server or runs an installer, as
// plain decisions: the Win32 layer supplies the hashes and the signer.
namespace TrustRules {

// 64 hex digits in either case, as lower case. False for anything else.
bool NormalizeSha256(const std::string& text, std::string* hex);

// The server certificate's pinned fingerprints: comma-separated SHA-256
// digests, each 64 hex digits, optionally as colon-separated pairs (as
// certificate tools print them). Blank text pins nothing. False with a
// description for a bad entry.
bool ParseServerPins(const std::wstring& text, std::vector<std::string>* pins, std::string* error);

bool MatchesAny(const std::vector<std::string>& pins, const std::string& actualHex);
std::string JoinList(const std::vector<std::string>& items);

// A product's pinned installer: any one of `sha256` must match the file, and
// its valid signature's signer any one of `signers`. Empty lists check nothing.
struct InstallerPins {
    std::vector<std::string> sha256;
    std::vector<std::wstring> signers;
};

// Reads the product's "sha256" and "signer" rules (other types are not
// these rules' business). False with a description for an empty value, a
// digest that is not 64 hex digits, or a signer thumbprint of a wrong length.
bool InstallerPinsFor(const Json::Value& root, const std::wstring& productCode, InstallerPins* pins,
                      std::string* error);

// The certificate that signed a file, as far as the signature was valid.
struct SignerCheck {
    bool valid = false;
    long status = 0;  // WinVerifyTrust's result when not valid
    std::string sha1Hex;
    std::string sha256Hex;
    std::wstring commonName;
};

// A signer rule's value names a thumbprint (40 or 64 hex digits, spaces and
// colons ignored) or else the subject's common name (case ignored).
bool SignerMatches(const SignerCheck& signer, const std::wstring& rule);

// Why an installer is refused: the rule, and what it expected and found.
struct Mismatch {
    std::string rule;
    std::string expected;
    std::string actual;
};

// Every pin of the product: the file's rules, then the digest the product
// list sent (`listSha256`, "" for none). False with the first failed rule.
// `signer` is only read when there are signer rules.
bool CheckInstaller(const InstallerPins& pins, const std::string& listSha256, const std::string& actualSha256,
                    const SignerCheck& signer, Mismatch* mismatch);

}  // namespace TrustRules
