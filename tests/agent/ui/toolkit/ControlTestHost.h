#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace ToolkitTest {

// The known colour a test host paints behind its children (0xRRGGBB).
constexpr unsigned kHostColour = 0x3366AA;

// A visible top-level window that paints kHostColour, also for
// WM_PRINTCLIENT, so that children that show their parent's background can
// be checked pixel by pixel.
class ControlTestHost {
public:
    ControlTestHost(int width = 400, int height = 300);
    ~ControlTestHost();
    HWND Get() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// Runs the thread's messages until `condition` holds; false after `timeoutMs`.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);
// Runs the messages that are waiting now.
void PumpPending();

}  // namespace ToolkitTest
