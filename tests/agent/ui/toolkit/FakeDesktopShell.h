#pragma once

#include <memory>
#include <string>
#include <vector>

namespace ToolkitTest {

// A desktop shell for the calling thread's COM apartment: a class object
// registered for CLSID_ShellWindows whose desktop window leads, by the
// documented path, to a shell object that records each ShellExecute
// instead of running it. Without a desktop (hasDesktop false) FindWindowSW
// answers S_FALSE, as the shell does when there is no desktop window.
// Registered for the object's lifetime; UI thread of the test only.
class FakeDesktopShell {
public:
    struct Call {
        std::wstring file;
        std::wstring operation;
    };

    explicit FakeDesktopShell(bool hasDesktop = true);
    ~FakeDesktopShell();
    FakeDesktopShell(const FakeDesktopShell&) = delete;
    FakeDesktopShell& operator=(const FakeDesktopShell&) = delete;

    bool IsRegistered() const { return cookie_ != 0; }
    const std::vector<Call>& Calls() const;

    struct State;

private:
    std::shared_ptr<State> state_;
    unsigned long cookie_ = 0;
    bool comInitialized_ = false;
};

}  // namespace ToolkitTest
