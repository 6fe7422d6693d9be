#include "HtmlText.h"

#include <cwctype>

#include "Lumen/StringUtils.h"

namespace Lumen {

std::wstring BuildHtmlStyleBlock(int fontSizePx, const std::wstring& fontFace, const std::wstring& textColor,
                                 const std::wstring& bgColor)
{
    std::wstring body;
    if (fontSizePx > 0) body += FormatWide(L"font-size: %dpx;\n", fontSizePx);
    if (!fontFace.empty()) body += L"font-family: " + fontFace + L";\n";
    if (!textColor.empty()) body += L"color: #" + textColor + L";\n";
    if (!bgColor.empty()) body += L"background-color: #" + bgColor + L";\n";
    return L"<style> body {" + body + L"} </style>";
}

namespace {

std::wstring Lower(std::wstring s)
{
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

void AppendCodePoint(std::wstring* out, unsigned long cp)
{
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        out->push_back(0xFFFD);
    } else if (cp >= 0x10000) {
        cp -= 0x10000;
        out->push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out->push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out->push_back(static_cast<wchar_t>(cp));
    }
}

// Decodes the entity starting at text[pos] ('&'); advances pos past it.
// Unknown or malformed entities are kept as written.
void DecodeEntity(const std::wstring& text, size_t* pos, std::wstring* out)
{
    // Entities are short: look no further than that for the ';', so that a
    // page full of bare '&' stays linear.
    constexpr size_t kLongestEntity = 10;
    size_t semi = std::wstring::npos;
    for (size_t k = *pos + 1; k < text.size() && k - *pos <= kLongestEntity; ++k) {
        if (text[k] == L';') {
            semi = k;
            break;
        }
    }
    if (semi == std::wstring::npos || semi == *pos + 1) {
        out->push_back(L'&');
        ++*pos;
        return;
    }
    const std::wstring name = text.substr(*pos + 1, semi - *pos - 1);
    bool ok = true;
    if (name[0] == L'#') {
        const bool hex = name.size() > 1 && (name[1] == L'x' || name[1] == L'X');
        const std::wstring digits = name.substr(hex ? 2 : 1);
        unsigned long cp = 0;
        ok = !digits.empty();
        for (wchar_t c : digits) {
            if (hex ? !std::iswxdigit(c) : !std::iswdigit(c)) ok = false;
        }
        if (ok) {
            cp = std::wcstoul(digits.c_str(), nullptr, hex ? 16 : 10);
            AppendCodePoint(out, cp);
        }
    } else {
        static const struct {
            const wchar_t* name;
            wchar_t value;
        } kNamed[] = {{L"amp", L'&'},     {L"lt", L'<'},       {L"gt", L'>'},       {L"quot", L'"'},
                      {L"apos", L'\''},   {L"nbsp", 0x00A0},   {L"copy", 0x00A9},   {L"reg", 0x00AE},
                      {L"middot", 0x00B7}, {L"ndash", 0x2013}, {L"mdash", 0x2014}, {L"hellip", 0x2026},
                      {L"lsquo", 0x2018}, {L"rsquo", 0x2019},  {L"ldquo", 0x201C},  {L"rdquo", 0x201D},
                      {L"bull", 0x2022},  {L"trade", 0x2122}};
        ok = false;
        for (const auto& e : kNamed) {
            if (name == e.name) {
                out->push_back(e.value);
                ok = true;
                break;
            }
        }
    }
    if (!ok) {
        out->push_back(L'&');
        ++*pos;
        return;
    }
    *pos = semi + 1;
}

std::wstring DecodeEntities(const std::wstring& text)
{
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == L'&') {
            DecodeEntity(text, &i, &out);
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// The value of attribute `attr` in a tag's inner text ("a href='x' ..."), decoded.
std::wstring AttributeValue(const std::wstring& tag, const std::wstring& attr)
{
    const std::wstring lower = Lower(tag);
    size_t at = 0;
    while ((at = lower.find(attr, at)) != std::wstring::npos) {
        const bool startOk = at > 0 && std::iswspace(lower[at - 1]);
        size_t p = at + attr.size();
        while (p < lower.size() && std::iswspace(lower[p])) ++p;
        if (!startOk || p >= lower.size() || lower[p] != L'=') {
            at += attr.size();
            continue;
        }
        ++p;
        while (p < lower.size() && std::iswspace(lower[p])) ++p;
        if (p >= tag.size()) return L"";
        size_t end;
        if (tag[p] == L'"' || tag[p] == L'\'') {
            end = tag.find(tag[p], p + 1);
            if (end == std::wstring::npos) end = tag.size();
            ++p;
        } else {
            end = p;
            while (end < tag.size() && !std::iswspace(tag[end])) ++end;
        }
        return DecodeEntities(tag.substr(p, end - p));
    }
    return L"";
}

bool IsBlockTag(const std::wstring& name)
{
    static const wchar_t* const kBlocks[] = {L"p",  L"div", L"h1", L"h2", L"h3",    L"h4",    L"h5",        L"h6",
                                             L"li", L"ul",  L"ol", L"tr", L"table", L"title", L"blockquote", L"hr"};
    for (const wchar_t* b : kBlocks) {
        if (name == b) return true;
    }
    return false;
}

// Accumulates visible text with HTML white-space rules.
class TextSink {
public:
    void Append(const std::wstring& raw)
    {
        for (wchar_t c : raw) {
            if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f') {
                pendingSpace_ = true;
                continue;
            }
            if (c == 0x00A0) c = L' ';
            if (pendingSpace_ && !AtLineStart()) out_.push_back(L' ');
            pendingSpace_ = false;
            out_.push_back(c);
        }
    }
    void LineBreak()
    {
        pendingSpace_ = false;
        out_ += L"\r\n";
    }
    // A block boundary: starts a new line unless already at one.
    void BlockBreak()
    {
        pendingSpace_ = false;
        if (!AtLineStart()) out_ += L"\r\n";
    }
    std::wstring Finish()
    {
        while (out_.size() >= 2 && out_.compare(out_.size() - 2, 2, L"\r\n") == 0) out_.resize(out_.size() - 2);
        return out_;
    }

private:
    bool AtLineStart() const { return out_.empty() || out_.back() == L'\n'; }
    std::wstring out_;
    bool pendingSpace_ = false;
};

}  // namespace

std::wstring HtmlToText(const std::wstring& html)
{
    TextSink sink;
    std::wstring linkTarget;  // of the open <a>, written at its end
    std::wstring lowerHtml;   // made on the first element whose content is skipped
    size_t i = 0;
    while (i < html.size()) {
        if (html[i] != L'<') {
            const size_t next = html.find(L'<', i);
            const size_t end = next == std::wstring::npos ? html.size() : next;
            sink.Append(DecodeEntities(html.substr(i, end - i)));
            i = end;
            continue;
        }
        if (html.compare(i, 4, L"<!--") == 0) {
            const size_t end = html.find(L"-->", i + 4);
            i = end == std::wstring::npos ? html.size() : end + 3;
            continue;
        }
        const size_t close = html.find(L'>', i + 1);
        if (close == std::wstring::npos) break;  // an unterminated tag hides the rest, as in a browser
        const std::wstring inner = html.substr(i + 1, close - i - 1);
        i = close + 1;

        const bool endTag = !inner.empty() && inner[0] == L'/';
        size_t nameEnd = endTag ? 1 : 0;
        while (nameEnd < inner.size() && !std::iswspace(inner[nameEnd]) && inner[nameEnd] != L'/') ++nameEnd;
        const std::wstring name = Lower(inner.substr(endTag ? 1 : 0, nameEnd - (endTag ? 1 : 0)));

        if (!endTag && (name == L"script" || name == L"style" || name == L"head")) {
            // Their content is never shown; skip to the matching end tag. The
            // page is lower-cased once, however many such elements it has.
            if (lowerHtml.empty()) lowerHtml = Lower(html);
            const size_t end = lowerHtml.find(L"</" + name, i);
            if (end == std::wstring::npos) {
                i = html.size();
            } else {
                const size_t gt = html.find(L'>', end);
                i = gt == std::wstring::npos ? html.size() : gt + 1;
            }
            continue;
        }
        if (name == L"br") {
            sink.LineBreak();
        } else if (name == L"a") {
            if (!endTag) {
                linkTarget = AttributeValue(inner, L"href");
            } else if (!linkTarget.empty()) {
                const std::wstring lowerTarget = Lower(linkTarget);
                if (linkTarget[0] != L'#' && lowerTarget.compare(0, 11, L"javascript:") != 0) {
                    sink.Append(L" (" + linkTarget + L")");
                }
                linkTarget.clear();
            }
        } else if (name == L"li" && !endTag) {
            sink.BlockBreak();
            sink.Append(L"- ");
        } else if (name == L"td" || name == L"th") {
            sink.Append(L" ");
        } else if (IsBlockTag(name)) {
            sink.BlockBreak();
            // Paragraphs and headings stand apart by an empty line.
            if (endTag && (name == L"p" || (name.size() == 2 && name[0] == L'h' && name[1] >= L'1' && name[1] <= L'6'))) {
                sink.LineBreak();
            }
        }
    }
    return sink.Finish();
}

}  // namespace Lumen
