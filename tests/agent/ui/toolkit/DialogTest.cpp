#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <stdexcept>

#include "BaseDialog.h"
#include "Dialog.h"
#include "FrameTestResource.h"
#include "Lumen/UniqueHandle.h"
#include "MessageLoop.h"

namespace {

constexpr UINT kMarker = WM_APP + 100;

// Posts `keys` as key-downs to `target`, then runs the loop until the
// dialog has seen the marker posted after them.
template <typename D>
void PostKeysAndPump(D& dialog, HWND target, std::initializer_list<WPARAM> keys)
{
    dialog.markers = 0;
    for (WPARAM key : keys) {
        ::PostMessageW(target, WM_KEYDOWN, key, 1);
        ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    }
    ::PostMessageW(dialog.GetHwnd(), kMarker, 0, 0);
    ASSERT_TRUE(Lumen::MessageLoop::RunUntil([&dialog] { return dialog.markers > 0; }));
}

template <typename Base>
class CountingDialog : public Base {
public:
    explicit CountingDialog(UINT id) : Base(id) {}
    int oks = 0;
    int cancels = 0;
    int markers = 0;
    WORD lastCommand = 0;
    std::function<void(CountingDialog&)> onInit;
    std::function<void(CountingDialog&, WPARAM)> onApp;

protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = Base::OnInitDialog();
        if (onInit) onInit(*this);
        return result;
    }
    void OnOK() override
    {
        ++oks;
        Base::OnOK();
    }
    void OnCancel() override
    {
        ++cancels;
        Base::OnCancel();
    }
    bool OnCommand(WORD id, WORD, HWND) override
    {
        if (id == 0x7777) throw std::runtime_error("command failed");
        if (id < IDOK || id > IDNO) lastCommand = id;
        return false;
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == kMarker) {
            ++markers;
            return true;
        }
        if (message == WM_APP && onApp) {
            onApp(*this, wParam);
            return true;
        }
        return Base::OnMessage(message, wParam, lParam, result);
    }
};

using PlainDialog = CountingDialog<Lumen::Dialog>;
using SkinnedBase = CountingDialog<Lumen::BaseDialog>;

TEST(DialogTest, BindsFromInitialisationToDestructionAndContainsExceptions)
{
    PlainDialog dialog(IDD_PLAIN_TEST);
    ASSERT_TRUE(dialog.Create(nullptr));
    const HWND hwnd = dialog.GetHwnd();
    EXPECT_EQ(&dialog, Lumen::Dialog::FromHandle(hwnd));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&dialog), ::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    EXPECT_FALSE(dialog.Create(nullptr));  // one window per object
    ::SendMessageW(hwnd, WM_COMMAND, 0x7777, 0);  // the handler throws
    EXPECT_TRUE(::IsWindow(hwnd));
    ::DestroyWindow(hwnd);
    EXPECT_EQ(nullptr, dialog.GetHwnd());
    EXPECT_EQ(nullptr, Lumen::Dialog::FromHandle(hwnd));

    PlainDialog missing(6999);  // no such template
    EXPECT_FALSE(missing.Create(nullptr));
    EXPECT_EQ(-1, missing.DoModal(nullptr));
}

TEST(DialogTest, EnterAndEscapeCloseAPlainDialogButNeverABaseDialog)
{
    PlainDialog plain(IDD_PLAIN_TEST);
    ASSERT_TRUE(plain.Create(nullptr));
    ::ShowWindow(plain.GetHwnd(), SW_SHOW);
    const HWND plainEdit = plain.GetDlgItem(IDC_FRAME_EDIT);
    ::SetFocus(plainEdit);
    PostKeysAndPump(plain, plainEdit, {VK_ESCAPE});
    EXPECT_EQ(1, plain.cancels);  // the framework's own filter presses cancel
    EXPECT_FALSE(::IsWindowVisible(plain.GetHwnd()));  // a modeless dialog is hidden, not destroyed
    EXPECT_TRUE(::IsWindow(plain.GetHwnd()));

    SkinnedBase skinned(IDD_FRAME_TEST);
    ASSERT_TRUE(skinned.Create(nullptr));
    ::ShowWindow(skinned.GetHwnd(), SW_SHOW);
    const HWND edit = skinned.GetDlgItem(IDC_FRAME_EDIT);
    ::SetFocus(edit);
    PostKeysAndPump(skinned, edit, {VK_RETURN, VK_ESCAPE});
    PostKeysAndPump(skinned, skinned.GetHwnd(), {VK_RETURN, VK_ESCAPE});
    EXPECT_EQ(0, skinned.oks);
    EXPECT_EQ(0, skinned.cancels);
    EXPECT_TRUE(::IsWindowVisible(skinned.GetHwnd()));
}

struct AcceleratorTraits {
    using Type = HACCEL;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DestroyAcceleratorTable(h); }
};

// The dialog manager focuses a new dialog's first control even while the
// dialog is hidden: a window made in the background takes no keys away.
TEST(DialogTest, AHiddenNewDialogLeavesTheFocusWhereItWas)
{
    PlainDialog shown(IDD_PLAIN_TEST);
    ASSERT_TRUE(shown.Create(nullptr));
    ::ShowWindow(shown.GetHwnd(), SW_SHOW);
    ::SetForegroundWindow(shown.GetHwnd());
    const HWND edit = shown.GetDlgItem(IDC_FRAME_EDIT);
    ::SetFocus(edit);
    ASSERT_EQ(::GetFocus(), edit);
    SkinnedBase hidden(IDD_FRAME_TEST);
    ASSERT_TRUE(hidden.Create(shown.GetHwnd()));
    EXPECT_FALSE(::IsWindowVisible(hidden.GetHwnd()));
    EXPECT_EQ(::GetFocus(), edit);
}

TEST(DialogTest, CreationIconsAreInPlaceBeforeInitialisationOnTheDialogAlone)
{
    const HICON big = ::LoadIconW(nullptr, IDI_APPLICATION);
    const HICON small = ::LoadIconW(nullptr, IDI_INFORMATION);
    PlainDialog dialog(IDD_PLAIN_TEST);
    dialog.SetCreationIcons(big, small);
    LRESULT atInitBig = 0;
    LRESULT atInitSmall = 0;
    LRESULT controlIcon = -1;
    dialog.onInit = [&](PlainDialog& self) {
        atInitBig = ::SendMessageW(self.GetHwnd(), WM_GETICON, ICON_BIG, 0);
        atInitSmall = ::SendMessageW(self.GetHwnd(), WM_GETICON, ICON_SMALL, 0);
        controlIcon = ::SendMessageW(self.GetDlgItem(IDC_FRAME_EDIT), WM_GETICON, ICON_BIG, 0);
    };
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_EQ(reinterpret_cast<LRESULT>(big), atInitBig);
    EXPECT_EQ(reinterpret_cast<LRESULT>(small), atInitSmall);
    EXPECT_EQ(0, controlIcon);  // its controls are made after it, without icons

    // A window made later on the thread is not given them: the hook is gone.
    PlainDialog later(IDD_PLAIN_TEST);
    ASSERT_TRUE(later.Create(nullptr));
    EXPECT_EQ(0, ::SendMessageW(later.GetHwnd(), WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(0, ::SendMessageW(later.GetHwnd(), WM_GETICON, ICON_SMALL, 0));
    ::DestroyWindow(later.GetHwnd());
    ::DestroyWindow(dialog.GetHwnd());
}

TEST(DialogTest, TheApplicationFilterTranslatesAcceleratorsFirst)
{
    SkinnedBase dialog(IDD_PLAIN_TEST);
    ASSERT_TRUE(dialog.Create(nullptr));
    ::ShowWindow(dialog.GetHwnd(), SW_SHOW);
    ACCEL accel{FVIRTKEY, VK_F5, 32786};
    Lumen::UniqueHandle<AcceleratorTraits> table(::CreateAcceleratorTableW(&accel, 1));
    ASSERT_TRUE(table);
    Lumen::MessageLoop::SetAccelerators(dialog.GetHwnd(), table.Get());
    PostKeysAndPump(dialog, dialog.GetDlgItem(IDC_FRAME_EDIT), {VK_F5});
    Lumen::MessageLoop::SetAccelerators(nullptr, nullptr);
    EXPECT_EQ(32786, dialog.lastCommand);
}

TEST(DialogTest, ModalRunDisablesTheOwnerAndIgnoresEnterAndEscape)
{
    SkinnedBase owner(IDD_PLAIN_TEST);
    ASSERT_TRUE(owner.Create(nullptr));
    ::ShowWindow(owner.GetHwnd(), SW_SHOW);

    SkinnedBase box(IDD_MODAL_TEST);
    bool ownerEnabledDuringRun = true;
    box.onInit = [](SkinnedBase& self) { ::PostMessageW(self.GetHwnd(), WM_APP, 1, 0); };
    box.onApp = [&](SkinnedBase& self, WPARAM step) {
        if (step == 1) {
            ownerEnabledDuringRun = ::IsWindowEnabled(owner.GetHwnd()) != FALSE;
            for (WPARAM key : {VK_RETURN, VK_ESCAPE}) ::PostMessageW(self.GetDlgItem(IDOK), WM_KEYDOWN, key, 1);
            ::PostMessageW(self.GetHwnd(), WM_APP, 2, 0);
        } else {
            self.EndDialog(42);
        }
    };
    EXPECT_EQ(42, box.DoModal(owner.GetHwnd()));
    EXPECT_FALSE(ownerEnabledDuringRun);
    EXPECT_TRUE(::IsWindowEnabled(owner.GetHwnd()));
    EXPECT_EQ(0, box.oks);
    EXPECT_EQ(0, box.cancels);
    EXPECT_EQ(nullptr, box.GetHwnd());  // destroyed after the run
}

TEST(DialogTest, ClosingTheOwnerEndsItsOpenModalBox)
{
    SkinnedBase owner(IDD_PLAIN_TEST);
    ASSERT_TRUE(owner.Create(nullptr));
    ::ShowWindow(owner.GetHwnd(), SW_SHOW);

    SkinnedBase box(IDD_MODAL_TEST);
    box.onInit = [&owner](SkinnedBase&) { ::PostMessageW(owner.GetHwnd(), WM_CLOSE, 0, 0); };
    EXPECT_EQ(IDCANCEL, box.DoModal(owner.GetHwnd()));
    EXPECT_EQ(1, owner.cancels);  // the owner itself took the close as cancel
    EXPECT_TRUE(::IsWindowEnabled(owner.GetHwnd()));
}

TEST(DialogTest, ModalLoopOnAModelessWindowEndsByValueDestructionOrQuit)
{
    SkinnedBase overlay(IDD_MODAL_TEST);
    ASSERT_TRUE(overlay.Create(nullptr));
    overlay.onApp = [](SkinnedBase& self, WPARAM step) {
        if (step == 1) self.EndModalLoop(4);
        if (step == 2) ::DestroyWindow(self.GetHwnd());
        if (step == 3) ::PostQuitMessage(9);
    };
    ::PostMessageW(overlay.GetHwnd(), WM_APP, 1, 0);
    EXPECT_EQ(4, overlay.RunModalLoop());
    EXPECT_FALSE(overlay.IsInModalLoop());

    // WM_QUIT ends the loop and is posted again for the outer loop.
    ::PostMessageW(overlay.GetHwnd(), WM_APP, 3, 0);
    EXPECT_EQ(-1, overlay.RunModalLoop());
    MSG msg = {};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(9u, msg.wParam);

    ::PostMessageW(overlay.GetHwnd(), WM_APP, 2, 0);
    EXPECT_EQ(-1, overlay.RunModalLoop());
    EXPECT_EQ(nullptr, overlay.GetHwnd());
}

TEST(DialogTest, EndDialogDuringInitialisationEndsTheRunAtOnce)
{
    SkinnedBase box(IDD_MODAL_TEST);
    box.onInit = [](SkinnedBase& self) { self.EndDialog(7); };
    EXPECT_EQ(7, box.DoModal(nullptr));
}

}  // namespace
