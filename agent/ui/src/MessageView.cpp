#include "MessageView.h"

#include "BufferDC.h"
#include "GdiHandles.h"
#include "KeyboardNavigation.h"
#include "MessageViewFlags.h"
#include "UiText.h"
#include "WindowPrinter.h"
#include "resource.h"

using namespace MessageViewFlags;

MessageView::MessageView() : SkinDialog(IDD_MESSAGE_VIEW) {}

BOOL MessageView::OnInitDialog()
{
    const HWND hwnd = GetHwnd();
    textStatic_.SubclassDlgItem(IDC_STATIC_MSG_TEXT, hwnd);
    product_.SubclassDlgItem(IDC_STATIC_MSG_PRODUCT, hwnd);
    step_.SubclassDlgItem(IDC_STATIC_MSG_STEP, hwnd);
    count_.SubclassDlgItem(IDC_STATIC_MSG_COUNT, hwnd);
    ok_.SubclassDlgItem(IDC_BUTTON_MSG_OK, hwnd);
    cancel_.SubclassDlgItem(IDC_BUTTON_MSG_CANCEL, hwnd);
    continue_.SubclassDlgItem(IDC_BUTTON_MSG_CONTINUE, hwnd);
    info_.SubclassDlgItem(IDC_STATIC_MSG_INFO, hwnd);
    success_.SubclassDlgItem(IDC_STATIC_MSG_SUCCESS, hwnd);
    failure_.SubclassDlgItem(IDC_STATIC_MSG_FAILURE, hwnd);
    // The animation is ours, not the template's: made before the skin is
    // applied so that its entry reaches it.
    const RECT rect = {0, 0, 48, 48};
    if (loading_.CreateControl(rect, hwnd, IDC_LOADING_GIF)) {
        ::ShowWindow(loading_.GetHwnd(), SW_HIDE);
    }
    const BOOL result = SkinDialog::OnInitDialog();
    UiText::TranslateWindowTexts(*this);
    ::SetWindowLongW(hwnd, GWL_STYLE, ::GetWindowLongW(hwnd, GWL_STYLE) & ~WS_CLIPCHILDREN);
    ::SetWindowLongW(hwnd, GWL_EXSTYLE, ::GetWindowLongW(hwnd, GWL_EXSTYLE) & ~WS_EX_TRANSPARENT);
    HideAllChildren();
    return result;
}

void MessageView::HideAllChildren()
{
    for (HWND child = ::GetWindow(GetHwnd(), GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::ShowWindow(child, SW_HIDE);
    }
}

HWND MessageView::CoveredWindow() const
{
    if (currentPage_ == nullptr || *currentPage_ == nullptr) return nullptr;
    return (*currentPage_)->GetPageWindow();
}

void MessageView::SnapshotCoveredPage()
{
    const HWND covered = CoveredWindow();
    if (covered == nullptr || !::IsWindowVisible(covered)) return;
    RECT rect = {};
    ::GetClientRect(covered, &rect);
    if (rect.right <= 0 || rect.bottom <= 0) return;
    Lumen::ScopedGetDC screen(covered);
    Lumen::ScopedCreatedDC memory(::CreateCompatibleDC(screen.Get()));
    Lumen::ScopedBitmap bitmap(::CreateCompatibleBitmap(screen.Get(), rect.right, rect.bottom));
    if (!memory || !bitmap) return;
    const HGDIOBJ old = ::SelectObject(memory.Get(), bitmap.Get());
    // Children are printed only while they are shown: the page is still up.
    Lumen::WindowPrinter::Print(covered, memory.Get());
    ::SelectObject(memory.Get(), old);
    pageSnapshot_ = std::move(bitmap);
    snapshotSize_ = SIZE{rect.right, rect.bottom};
}

std::vector<HWND> MessageView::GetTabOrder()
{
    return {ok_.GetHwnd(), continue_.GetHwnd(), cancel_.GetHwnd()};
}

bool MessageView::OwnsActivation() const
{
    const HWND active = ::GetActiveWindow();
    return active == nullptr || active == ::GetAncestor(GetHwnd(), GA_ROOT);
}

void MessageView::TakeFocus(bool firstShow, HWND focusBefore)
{
    if (firstShow) focusBefore_ = focusBefore;
    if (!OwnsActivation()) return;
    const HWND first = Lumen::KeyboardNavigation::FirstStop(GetTabOrder());
    ::SetFocus(first != nullptr ? first : GetHwnd());
}

bool MessageView::HoldsFocus() const
{
    const HWND focus = ::GetFocus();
    return focus == nullptr || focus == GetHwnd() || ::IsChild(GetHwnd(), focus) ||
           focus == ::GetAncestor(GetHwnd(), GA_ROOT);
}

void MessageView::ReturnFocus(HWND covered, bool heldFocus)
{
    const HWND before = focusBefore_;
    focusBefore_ = nullptr;
    // Only a focus the overlay held goes back to the page.
    if (covered == nullptr || !heldFocus || !OwnsActivation()) return;
    if (before != nullptr && ::IsChild(covered, before) && Lumen::KeyboardNavigation::CanTakeFocus(before)) {
        ::SetFocus(before);
    } else if (currentPage_ != nullptr && *currentPage_ != nullptr) {
        (*currentPage_)->FocusFirstControl();
    }
}

int MessageView::ShowMessage(const std::wstring& text, int flags)
{
    const bool firstShow = (::GetWindowLongW(GetHwnd(), GWL_STYLE) & WS_VISIBLE) == 0;
    const HWND focusBefore = ::GetFocus();
    const HWND covered = CoveredWindow();
    // The focus is about to move to the overlay: the page is pictured as it
    // looks without it, or its focus cue would show a second focused control
    // behind the overlay, one that no key can reach.
    if (covered != nullptr && focusBefore != nullptr && ::IsChild(covered, focusBefore) && OwnsActivation()) {
        ::SetFocus(nullptr);
    }
    SnapshotCoveredPage();
    if (covered != nullptr) ::ShowWindow(covered, SW_HIDE);
    flags_ = flags;
    text_ = text;
    ::ShowWindow(GetHwnd(), SW_SHOW);
    ::SetWindowPos(GetHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    HideAllChildren();
    if (!text_.empty()) {
        ::SetWindowTextW(textStatic_.GetHwnd(), text_.c_str());
        textStatic_.DiscardBackgroundSnapshot();
        ::ShowWindow(textStatic_.GetHwnd(), SW_SHOW);
    }
    switch (ButtonsOf(flags)) {
    case Buttons::Ok:
        ::ShowWindow(ok_.GetHwnd(), SW_SHOW);
        break;
    case Buttons::ContinueCancel:
        ::ShowWindow(continue_.GetHwnd(), SW_SHOW);
        ::ShowWindow(cancel_.GetHwnd(), SW_SHOW);
        break;
    case Buttons::None:
        break;
    }
    switch (PictureOf(flags)) {
    case Picture::Loading:
        loading_.DiscardBackgroundSnapshot();
        loading_.Play(kFrameIntervalMs);
        break;
    case Picture::Success:
        ::ShowWindow(success_.GetHwnd(), SW_SHOW);
        break;
    case Picture::Info:
        ::ShowWindow(info_.GetHwnd(), SW_SHOW);
        break;
    case Picture::Failure:
        ::ShowWindow(failure_.GetHwnd(), SW_SHOW);
        break;
    case Picture::None:
        break;
    }
    TakeFocus(firstShow, focusBefore);
    ::RedrawWindow(GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (!Waits(flags)) return 0;
    waiting_ = true;
    const int end = RunModalLoop();
    waiting_ = false;
    return ResultOfWait(end);
}

void MessageView::HideMessage()
{
    if (loading_.IsPlaying()) loading_.Stop();
    const bool shown = (::GetWindowLongW(GetHwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
    const bool heldFocus = shown && HoldsFocus();
    ::ShowWindow(GetHwnd(), SW_HIDE);
    pageSnapshot_.Reset();
    const HWND covered = CoveredWindow();
    if (covered != nullptr) {
        ::ShowWindow(covered, SW_SHOW);
        ::RedrawWindow(covered, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    ReturnFocus(covered, heldFocus);
}

void MessageView::SetProgressLine(Lumen::SkinStatic& line, const std::wstring& text)
{
    const HWND hwnd = line.GetHwnd();
    if (hwnd == nullptr) return;
    if (text.empty()) {
        ::ShowWindow(hwnd, SW_HIDE);
        return;
    }
    wchar_t shown[128] = {};
    ::GetWindowTextW(hwnd, shown, 128);
    const bool changed = text != shown;
    if (changed) ::SetWindowTextW(hwnd, text.c_str());
    if (!::IsWindowVisible(hwnd)) {
        ::ShowWindow(hwnd, SW_SHOW);
    } else if (!changed) {
        return;
    }
    // Painted now: the worker's next state may be a tenth of a second away.
    line.DiscardBackgroundSnapshot();
}

void MessageView::ShowProgress(const std::wstring& product, const std::wstring& step, const std::wstring& count)
{
    if (!::IsWindowVisible(GetHwnd())) return;
    SetProgressLine(product_, product);
    SetProgressLine(step_, step);
    SetProgressLine(count_, count);
}

void MessageView::EndWaitFromAnyThread()
{
    if (GetHwnd() != nullptr) ::PostMessageW(GetHwnd(), kEndWaitMessage, 0, 0);
}

bool MessageView::OnCommand(WORD id, WORD code, HWND control)
{
    if (code != BN_CLICKED) return SkinDialog::OnCommand(id, code, control);
    switch (id) {
    case IDC_BUTTON_MSG_OK:
        if (waiting_) EndModalLoop(kEndOk);
        return true;
    case IDC_BUTTON_MSG_CANCEL:
        if (waiting_) EndModalLoop(kEndCancel);
        return true;
    case IDC_BUTTON_MSG_CONTINUE:
        if (waiting_) EndModalLoop(kEndContinue);
        return true;
    default:
        return SkinDialog::OnCommand(id, code, control);
    }
}

bool MessageView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == kEndWaitMessage) {
        if (waiting_) EndModalLoop(kEndCancel);
        result = 0;
        return true;
    }
    return SkinDialog::OnMessage(message, wParam, lParam, result);
}

void MessageView::DrawBackground(HDC dc)
{
    RECT client = {};
    ::GetClientRect(GetHwnd(), &client);
    // First layer: the covered page as it looked when the overlay came up.
    bool drewPage = false;
    if (pageSnapshot_) {
        Lumen::ScopedCreatedDC memory(::CreateCompatibleDC(dc));
        if (memory) {
            const HGDIOBJ old = ::SelectObject(memory.Get(), pageSnapshot_.Get());
            ::BitBlt(dc, 0, 0, snapshotSize_.cx, snapshotSize_.cy, memory.Get(), 0, 0, SRCCOPY);
            ::SelectObject(memory.Get(), old);
            drewPage = true;
        }
    }
    if (!drewPage && GetBackgroundBrush() != nullptr) ::FillRect(dc, &client, GetBackgroundBrush());
    // Second layer: the overlay's picture, blended when it has alpha.
    if (GetBackgroundImage().IsValid()) GetBackgroundImage().Draw(dc, client);
}
