#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "ParentBackground.h"
#include "Window.h"

namespace Gdiplus {
class Image;
}

namespace Lumen {

// A window playing an animated picture (GIF) loaded with GDI+. Every frame
// is shown for the same interval; the delays stored in the file are not
// used. The picture is drawn at its own size at the top-left corner over the
// parent's background. UI thread only.
class AnimatedGif : public Window {
public:
    static constexpr UINT_PTR kFrameTimer = 1;

    AnimatedGif();
    ~AnimatedGif() override;

    // Creates the window (its own class, registered once per process).
    bool CreateControl(const RECT& rect, HWND parent, UINT id);

    // Loads the picture; on failure the previous one is kept and false returned.
    bool Load(const std::wstring& path);
    // Loads `path` when the picture is first needed: played, painted or asked
    // about. A skin names the animation of a window that is hidden at first;
    // decoding it through GDI+ would only delay the first page.
    void LoadWhenNeeded(const std::wstring& path);
    bool HasImage();
    // Frames of the picture's first frame dimension (0 without a picture).
    UINT GetFrameCount();
    UINT GetCurrentFrame() const { return frame_; }
    bool IsPlaying() const { return playing_; }

    // Shows the window and plays the frames, one per `intervalMs`.
    void Play(UINT intervalMs);
    // Hides the window and stops the frames.
    void Stop();
    // Discards the kept parent background (after the parent changed).
    void DiscardBackgroundSnapshot() { background_.Discard(); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void LoadPending();
    void SelectFrame(UINT frame);
    void Paint(HDC dc);

    std::wstring pendingPath_;
    std::unique_ptr<Gdiplus::Image> image_;
    GUID dimension_{};
    UINT frameCount_ = 0;
    UINT frame_ = 0;
    bool playing_ = false;
    ParentBackground background_;
};

}  // namespace Lumen
