#include <gtest/gtest.h>

#include <stdexcept>

#include "Window.h"

namespace {

// Counts the messages it sees, from the very first one of its creation.
class ProbeWindow : public Lumen::Window {
public:
    int creates = 0;
    int finals = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CREATE) ++creates;
        if (message == WM_APP) throw std::runtime_error("handler failed");
        return DefaultProc(message, wParam, lParam);
    }
    void OnFinalMessage() override { ++finals; }
};

TEST(WindowTest, BindsFromCreationUntilDestructionAndContainsExceptions)
{
    ASSERT_TRUE(Lumen::RegisterWindowClassOnce(L"PavoProbeWindow"));
    ASSERT_TRUE(Lumen::RegisterWindowClassOnce(L"PavoProbeWindow"));  // second time: no effect
    ProbeWindow probe;
    const RECT rect{0, 0, 100, 100};
    ASSERT_TRUE(probe.Create(L"PavoProbeWindow", L"probe", WS_OVERLAPPEDWINDOW, 0, rect, nullptr, 0));
    EXPECT_EQ(1, probe.creates);
    const HWND hwnd = probe.GetHwnd();
    EXPECT_EQ(&probe, Lumen::Window::FromHandle(hwnd));
    // An exception inside a handler stays inside the window procedure.
    ::SendMessageW(hwnd, WM_APP, 0, 0);
    ::DestroyWindow(hwnd);
    EXPECT_EQ(nullptr, probe.GetHwnd());
    EXPECT_EQ(1, probe.finals);
    EXPECT_EQ(nullptr, Lumen::Window::FromHandle(hwnd));
}

TEST(WindowTest, SubclassesAnExistingWindowOnlyOnce)
{
    const RECT rect{0, 0, 50, 20};
    ProbeWindow parent;
    ASSERT_TRUE(parent.Create(L"STATIC", L"", WS_POPUP, 0, rect, nullptr, 0));
    HWND child = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, parent.GetHwnd(),
                                   reinterpret_cast<HMENU>(42), nullptr, nullptr);
    ASSERT_NE(nullptr, child);
    ProbeWindow first;
    ProbeWindow second;
    EXPECT_TRUE(first.SubclassDlgItem(42, parent.GetHwnd()));
    EXPECT_FALSE(second.SubclassDlgItem(42, parent.GetHwnd()));
    first.Detach();
    EXPECT_EQ(nullptr, Lumen::Window::FromHandle(child));
    EXPECT_TRUE(second.Subclass(child));
    parent.DestroyWindow();
    EXPECT_EQ(1, second.finals);
}

// A foreign subclass put on top of ours, the classic way.
WNDPROC g_beneath = nullptr;
int g_foreignMessages = 0;
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ++g_foreignMessages;
    return ::CallWindowProcW(g_beneath, hwnd, message, wParam, lParam);
}

TEST(WindowTest, AnObjectThatLetsGoUnderAnotherSubclassLeavesTheChainWhole)
{
    const RECT rect{0, 0, 50, 20};
    ProbeWindow parent;
    ASSERT_TRUE(parent.Create(L"STATIC", L"", WS_POPUP, 0, rect, nullptr, 0));
    const HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, parent.GetHwnd(),
                                        reinterpret_cast<HMENU>(43), nullptr, nullptr);
    ASSERT_NE(nullptr, edit);
    {
        ProbeWindow gone;
        ASSERT_TRUE(gone.Subclass(edit));
        g_beneath = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignProc)));
        ASSERT_NE(nullptr, g_beneath);
    }  // the object dies under the foreign subclass
    EXPECT_EQ(nullptr, Lumen::Window::FromHandle(edit));
    // Messages still run through the whole chain to the edit control.
    ::SetWindowTextW(edit, L"kept");
    wchar_t text[16] = {};
    ::GetWindowTextW(edit, text, 16);
    EXPECT_STREQ(L"kept", text);
    EXPECT_GT(g_foreignMessages, 0);
    // The place in the chain can be taken over by a new object.
    ProbeWindow next;
    EXPECT_TRUE(next.Subclass(edit));
    EXPECT_EQ(&next, Lumen::Window::FromHandle(edit));
    parent.DestroyWindow();
    EXPECT_EQ(1, next.finals);
    EXPECT_EQ(nullptr, Lumen::Window::FromHandle(edit));
}

}  // namespace
