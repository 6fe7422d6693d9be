#include "UiText.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "DesktopShell.h"
#include "SkinDialog.h"

namespace UiText {

namespace {

std::wstring WindowText(HWND hwnd)
{
    const int length = ::GetWindowTextLengthW(hwnd);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, &text[0], length + 1)));
    return text;
}

void Translate(const Lumen::SkinDialog& dialog, HWND hwnd)
{
    const std::wstring key = WindowText(hwnd);
    if (key.empty()) return;
    const std::wstring text = dialog.GetString(key);
    if (text != key) ::SetWindowTextW(hwnd, text.c_str());
}

}  // namespace

void TranslateWindowTexts(const Lumen::SkinDialog& dialog)
{
    const HWND hwnd = dialog.GetHwnd();
    if (hwnd == nullptr) return;
    Translate(dialog, hwnd);
    for (HWND child = ::GetWindow(hwnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        Translate(dialog, child);
    }
}

HFONT CaptionFontInFace(HFONT caption, const LOGFONTW& dialogFont)
{
    LOGFONTW font = {};
    if (caption == nullptr || ::GetObjectW(caption, sizeof(font), &font) != sizeof(font)) return nullptr;
    if (dialogFont.lfFaceName[0] == L'\0') return nullptr;
    std::copy(std::begin(dialogFont.lfFaceName), std::end(dialogFont.lfFaceName), std::begin(font.lfFaceName));
    font.lfCharSet = DEFAULT_CHARSET;
    return ::CreateFontIndirectW(&font);
}

std::wstring FillName(const std::wstring& pattern, const std::wstring& name)
{
    const size_t at = pattern.find(L"%s");
    if (at == std::wstring::npos) return pattern.empty() ? name : pattern + L" " + name;
    return pattern.substr(0, at) + name + pattern.substr(at + 2);
}

void OpenRemoteAssistance(const std::wstring& address)
{
    Lumen::DesktopShell::Open(address);
}

}  // namespace UiText
