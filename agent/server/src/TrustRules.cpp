#include "TrustRules.h"

#include <cstdio>
#include <cwctype>

#include "Lumen/StringUtils.h"

using Lumen::Utf8ToWide;
using Lumen::WideToUtf8;

namespace TrustRules {

namespace {

constexpr size_t kSha256Digits = 64;
constexpr size_t kSha1Digits = 40;
// A value made of this many hex digits or more is meant as a thumbprint,
// never as a name, so a wrong length is a typing error, not a name.
constexpr size_t kThumbprintLooking = 20;

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

std::wstring Trimmed(const std::wstring& text)
{
    size_t first = 0, last = text.size();
    while (first < last && std::iswspace(text[first])) ++first;
    while (last > first && std::iswspace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

std::wstring Lowered(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The hex digits of a thumbprint written with spaces or colons between
// pairs, lower case; false when anything else is in it.
bool ThumbprintDigits(const std::wstring& value, std::string* digits)
{
    digits->clear();
    for (const wchar_t c : value) {
        if (c == L' ' || c == L':') continue;
        if (!IsHexDigit(c)) return false;
        digits->push_back(static_cast<char>(std::towlower(c)));
    }
    return !digits->empty();
}

const Json::Value& Member(const Json::Value& object, const std::string& name)
{
    static const Json::Value kNull;
    if (!object.isObject()) return kNull;
    const Json::Value* found = object.find(name.data(), name.data() + name.size());
    return found != nullptr ? *found : kNull;
}

std::string StatusText(long status)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(status));
    return text;
}

}  // namespace

bool NormalizeSha256(const std::string& text, std::string* hex)
{
    if (text.size() != kSha256Digits) return false;
    std::string lower;
    for (const char c : text) {
        if (!IsHexDigit(static_cast<unsigned char>(c))) return false;
        lower.push_back(static_cast<char>(std::towlower(static_cast<unsigned char>(c))));
    }
    *hex = lower;
    return true;
}

bool ParseServerPins(const std::wstring& text, std::vector<std::string>* pins, std::string* error)
{
    pins->clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L',', start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring entry = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (entry.empty()) continue;
        std::string digits;
        // Pairs may be separated by colons, but only all of them.
        std::wstring joined;
        for (const wchar_t c : entry)
            if (c != L':') joined.push_back(c);
        const bool pairs = joined.size() != entry.size();
        if (pairs && entry.size() != kSha256Digits + kSha256Digits / 2 - 1) joined.clear();
        if (!NormalizeSha256(WideToUtf8(joined), &digits)) {
            *error = "\"" + WideToUtf8(entry) + "\" is not a SHA-256 fingerprint (64 hex digits)";
            pins->clear();
            return false;
        }
        pins->push_back(digits);
    }
    return true;
}

bool MatchesAny(const std::vector<std::string>& pins, const std::string& actualHex)
{
    for (const std::string& pin : pins)
        if (pin == actualHex) return true;
    return false;
}

std::string JoinList(const std::vector<std::string>& items)
{
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : ", ") + item;
    return joined;
}

bool InstallerPinsFor(const Json::Value& root, const std::wstring& productCode, InstallerPins* pins,
                      std::string* error)
{
    *pins = InstallerPins();
    const std::string code = WideToUtf8(productCode);
    const Json::Value& member = Member(root, code);
    if (!member.isArray() && !member.isObject()) return true;
    int index = 0;
    for (const Json::Value& rule : member) {
        const std::string type = Member(rule, "type").asString();
        const std::string value = Member(rule, "value").asString();
        const std::string where = code + ": rule " + std::to_string(index++) + " (" + type + ")";
        if (type == "sha256") {
            std::string hex;
            if (!NormalizeSha256(value, &hex)) {
                *error = where + " is not 64 hex digits";
                return false;
            }
            pins->sha256.push_back(hex);
        } else if (type == "signer") {
            const std::wstring signer = Trimmed(Utf8ToWide(value));
            std::string digits;
            if (signer.empty()) {
                *error = where + " is empty";
                return false;
            }
            if (ThumbprintDigits(signer, &digits) && digits.size() >= kThumbprintLooking &&
                digits.size() != kSha1Digits && digits.size() != kSha256Digits) {
                *error = where + " is neither a SHA-1 nor a SHA-256 thumbprint";
                return false;
            }
            pins->signers.push_back(signer);
        }
    }
    return true;
}

bool SignerMatches(const SignerCheck& signer, const std::wstring& rule)
{
    if (!signer.valid) return false;
    std::string digits;
    if (ThumbprintDigits(rule, &digits)) {
        if (digits.size() == kSha1Digits) return digits == signer.sha1Hex;
        if (digits.size() == kSha256Digits) return digits == signer.sha256Hex;
    }
    return !signer.commonName.empty() && Lowered(Trimmed(rule)) == Lowered(signer.commonName);
}

bool CheckInstaller(const InstallerPins& pins, const std::string& listSha256, const std::string& actualSha256,
                    const SignerCheck& signer, Mismatch* mismatch)
{
    if (!pins.sha256.empty() && !MatchesAny(pins.sha256, actualSha256)) {
        *mismatch = {"sha256", JoinList(pins.sha256), actualSha256};
        return false;
    }
    if (!pins.signers.empty()) {
        bool matched = false;
        for (const std::wstring& rule : pins.signers) matched = matched || SignerMatches(signer, rule);
        if (!matched) {
            std::vector<std::string> expected;
            for (const std::wstring& rule : pins.signers) expected.push_back(WideToUtf8(rule));
            const std::string actual =
                signer.valid ? WideToUtf8(signer.commonName) + " (SHA-1 " + signer.sha1Hex + ", SHA-256 " +
                                   signer.sha256Hex + ")"
                             : "no valid signature (" + StatusText(signer.status) + ")";
            *mismatch = {"signer", JoinList(expected), actual};
            return false;
        }
    }
    if (!listSha256.empty() && listSha256 != actualSha256) {
        *mismatch = {"product list sha256", listSha256, actualSha256};
        return false;
    }
    return true;
}

}  // namespace TrustRules
