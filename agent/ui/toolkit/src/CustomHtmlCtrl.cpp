#include "CustomHtmlCtrl.h"

#include "FlatBorder.h"
#include "HtmlText.h"
#include "SkinKeys.h"
#include "Lumen/StringUtils.h"

namespace Lumen {

namespace {
constexpr UINT_PTR kFallbackTimer = 1;
constexpr UINT kFallbackId = 2;
}  // namespace

CustomHtmlCtrl::CustomHtmlCtrl() : borderColor_(::GetSysColor(COLOR_ACTIVEBORDER))
{
    RegisterCustomControlClasses();
    RebuildStyle();
}

bool CustomHtmlCtrl::CreateControl(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    return Create(L"CustomHtmlCtrl", L"", style | WS_CHILD | WS_CLIPCHILDREN, 0, rect, parent, id);
}

void CustomHtmlCtrl::OnAttached()
{
    HWND hwnd = GetHwnd();
    ::SetWindowLongW(hwnd, GWL_STYLE, ::GetWindowLongW(hwnd, GWL_STYLE) | WS_CLIPCHILDREN);
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    view_.SetPageWrittenHandler([this]() {
        ::KillTimer(GetHwnd(), kFallbackTimer);
        choice_.DocumentReady();
        ApplyChoice();
    });
    view_.SetDocumentFailedHandler([this]() {
        ::KillTimer(GetHwnd(), kFallbackTimer);
        choice_.EngineFailed();
        ApplyChoice();
    });
    if (!view_.CreateView(rc, hwnd, kViewId)) {
        choice_.NewPage(false, false, false);
        ApplyChoice();
    }
}

void CustomHtmlCtrl::RebuildStyle()
{
    styleBlock_ = BuildHtmlStyleBlock(fontSize_, fontFace_, textColor_, bgColor_);
    UpdateFallbackLook();
}

void CustomHtmlCtrl::SetFontFace(const std::wstring& face)
{
    fontFace_ = face;
    RebuildStyle();
}

void CustomHtmlCtrl::SetFontSize(int pixels)
{
    fontSize_ = pixels;
    RebuildStyle();
}

void CustomHtmlCtrl::SetTextColorText(const std::wstring& color)
{
    textColor_ = color;
    RebuildStyle();
}

void CustomHtmlCtrl::SetBgColorText(const std::wstring& color)
{
    bgColor_ = color;
    RebuildStyle();
}

void CustomHtmlCtrl::SetBorderColor(COLORREF color)
{
    borderColor_ = color;
    RedrawIfVisible(GetHwnd(), RDW_FRAME | RDW_INVALIDATE);
}

void CustomHtmlCtrl::SetHtml(const std::wstring& html)
{
    html_ = html;
    if (GetHwnd() == nullptr) return;
    ::KillTimer(GetHwnd(), kFallbackTimer);
    const bool ready = view_.HasView() && view_.IsDocumentReady();
    choice_.NewPage(view_.HasView(), ready, view_.HasDocumentFailed());
    if (choice_.Current() != HtmlPageChoice::Show::Text && !view_.SetHtml(html)) {
        choice_.NewPage(false, false, false);
    }
    // The time limit belongs to this page only.
    if (choice_.Current() == HtmlPageChoice::Show::Waiting) {
        ::SetTimer(GetHwnd(), kFallbackTimer, kDocumentWaitMs, nullptr);
    }
    ApplyChoice();
}

void CustomHtmlCtrl::ApplyChoice()
{
    if (GetHwnd() == nullptr) return;
    if (choice_.Current() == HtmlPageChoice::Show::Text) {
        ShowAsText();
        return;
    }
    if (fallback_) ::ShowWindow(fallback_.Get(), SW_HIDE);
    if (view_.GetHwnd() != nullptr) ::ShowWindow(view_.GetHwnd(), SW_SHOW);
}

void CustomHtmlCtrl::ShowAsText()
{
    HWND hwnd = GetHwnd();
    if (hwnd == nullptr) return;
    if (view_.GetHwnd() != nullptr) {
        ::ShowWindow(view_.GetHwnd(), SW_HIDE);
    }
    if (!fallback_) {
        RECT rc;
        ::GetClientRect(hwnd, &rc);
        fallback_.Reset(::CreateWindowExW(0, L"Edit", L"",
                                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                              ES_AUTOVSCROLL,
                                          4, 4, rc.right - 8, rc.bottom - 8, hwnd,
                                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kFallbackId)),
                                          ::GetModuleHandleW(nullptr), nullptr));
        UpdateFallbackLook();
    }
    if (fallback_) {
        ::SetWindowTextW(fallback_.Get(), HtmlToText(html_).c_str());
        ::ShowWindow(fallback_.Get(), SW_SHOW);
    }
}

std::wstring CustomHtmlCtrl::GetFallbackText() const
{
    if (!fallback_ || !IsTextFallback()) return L"";
    const int length = ::GetWindowTextLengthW(fallback_.Get());
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(fallback_.Get(), &text[0], length + 1)));
    return text;
}

void CustomHtmlCtrl::UpdateFallbackLook()
{
    if (!fallback_) return;
    LOGFONTW lf = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    if (fontSize_ > 0) lf.lfHeight = -fontSize_;
    if (!fontFace_.empty() && fontFace_.size() < LF_FACESIZE) {
        wcsncpy_s(lf.lfFaceName, fontFace_.c_str(), _TRUNCATE);
    }
    ScopedFont font(::CreateFontIndirectW(&lf));
    if (font) {
        ::SendMessageW(fallback_.Get(), WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
        fallbackFont_ = std::move(font);
    }
    fallbackBrush_.Reset(::CreateSolidBrush(bgColor_.empty() ? RGB(255, 255, 255)
                                                             : ParseSkinColor(WideToUtf8(bgColor_))));
    ::InvalidateRect(fallback_.Get(), nullptr, TRUE);
    ::InvalidateRect(GetHwnd(), nullptr, TRUE);
}

void CustomHtmlCtrl::LayoutChildren()
{
    RECT rc;
    ::GetClientRect(GetHwnd(), &rc);
    if (view_.GetHwnd() != nullptr) {
        ::SetWindowPos(view_.GetHwnd(), nullptr, 0, 0, rc.right, rc.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (fallback_) {
        ::SetWindowPos(fallback_.Get(), nullptr, 4, 4, rc.right - 8, rc.bottom - 8, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

LRESULT CustomHtmlCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_NCCALCSIZE:
            ::InflateRect(reinterpret_cast<RECT*>(lParam), -1, -1);
            return 0;
        case WM_NCPAINT:
            PaintFlatBorder(GetHwnd(), borderColor_);
            return 0;
        case WM_NCACTIVATE:
            PaintFlatBorder(GetHwnd(), borderColor_);
            return TRUE;
        case WM_SIZE:
            LayoutChildren();
            break;
        case WM_TIMER:
            if (wParam == kFallbackTimer) {
                ::KillTimer(GetHwnd(), kFallbackTimer);
                if (!view_.IsDocumentReady()) {
                    choice_.TimedOut();
                    ApplyChoice();
                }
                return 0;
            }
            break;
        case WM_ERASEBKGND:
        case WM_PRINTCLIENT: {
            RECT rc;
            ::GetClientRect(GetHwnd(), &rc);
            HBRUSH brush = fallbackBrush_ ? fallbackBrush_.Get() : static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
            ::FillRect(reinterpret_cast<HDC>(wParam), &rc, brush);
            return message == WM_ERASEBKGND ? 1 : 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
            if (fallback_ && reinterpret_cast<HWND>(lParam) == fallback_.Get()) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                ::SetTextColor(dc, textColor_.empty() ? ::GetSysColor(COLOR_WINDOWTEXT)
                                                      : ParseSkinColor(WideToUtf8(textColor_)));
                ::SetBkColor(dc, bgColor_.empty() ? RGB(255, 255, 255) : ParseSkinColor(WideToUtf8(bgColor_)));
                if (!fallbackBrush_) fallbackBrush_.Reset(::CreateSolidBrush(RGB(255, 255, 255)));
                return reinterpret_cast<LRESULT>(fallbackBrush_.Get());
            }
            break;
        case WM_DESTROY:
            ::KillTimer(GetHwnd(), kFallbackTimer);
            fallback_.Reset();
            break;
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

}  // namespace Lumen
