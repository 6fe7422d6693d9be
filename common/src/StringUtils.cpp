#include "Lumen/StringUtils.h"

namespace Lumen {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendWide(std::wstring& out, char32_t codePoint)
{
    if (sizeof(wchar_t) == 2 && codePoint >= 0x10000) {
        const char32_t offset = codePoint - 0x10000;
        out += static_cast<wchar_t>(0xD800 + (offset >> 10));
        out += static_cast<wchar_t>(0xDC00 + (offset & 0x3FF));
        return;
    }
    out += static_cast<wchar_t>(codePoint);
}

void AppendUtf8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool IsSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

}  // namespace

std::string WideToUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        // Only the code unit's own bits: wchar_t is signed on some compilers.
        char32_t unit = static_cast<char32_t>(text[i]) & (sizeof(wchar_t) == 2 ? 0xFFFFu : 0xFFFFFFFFu);
        if (sizeof(wchar_t) == 2 && unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
            const char32_t next = static_cast<char32_t>(text[i + 1]) & 0xFFFFu;
            if (next >= 0xDC00 && next <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        if (IsSurrogate(unit) || unit > 0x10FFFF) unit = kReplacement;
        AppendUtf8(out, unit);
    }
    return out;
}

std::wstring Utf8ToWide(const char* bytes, std::size_t length)
{
    std::wstring out;
    if (bytes == nullptr) return out;
    out.reserve(length);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < length) {
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        // The allowed range of the first continuation byte excludes overlong
        // forms, surrogates and values past U+10FFFF.
        size_t trail = 0;
        char32_t codePoint = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            codePoint = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            codePoint = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            AppendWide(out, kReplacement);
            ++i;
            continue;
        }
        size_t taken = 1;
        while (taken <= trail && i + taken < length) {
            const unsigned char next = p[i + taken];
            if (next < low || next > high) break;
            codePoint = (codePoint << 6) | (next & 0x3F);
            low = 0x80;
            high = 0xBF;
            ++taken;
        }
        // A cut or broken sequence: its valid start is one replacement.
        AppendWide(out, taken == trail + 1 ? codePoint : kReplacement);
        i += taken;
    }
    return out;
}

std::wstring Utf8ToWide(const std::string& text)
{
    return Utf8ToWide(text.data(), text.size());
}

}  // namespace Lumen
