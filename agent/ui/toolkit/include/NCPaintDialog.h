#pragma once

#include <windows.h>

#include <string>

#include "BaseDialog.h"
#include "FrameGeometry.h"
#include "GdiHandles.h"
#include "SkinImage.h"

namespace Lumen {

// A dialog that draws its own frame and caption from skin pictures: the
// frame, the caption text and second text, and the caption buttons with
// hover and press tracking. Until the frame is skinned (SetFrameSkinned, by
// the skin's "nc_info") and while the window has no border, the system
// draws the frame. UI thread only.
class NCPaintDialog : public BaseDialog {
public:
    // Frame picture slots, in the order of their keys.
    enum FramePart {
        kPartLeft,
        kPartTop,
        kPartRight,
        kPartBottom,
        kPartLeftTop,
        kPartRightTop,
        kPartLeftBottom,
        kPartRightBottom,
        kPartMinimize,
        kPartMaximize,
        kPartRestore,
        kPartClose,
        kPartHelp,
        kPartCustom,
        kPartCount
    };

    explicit NCPaintDialog(UINT templateId = 0);

    // Whether the skinned frame is in effect (skinned and bordered).
    bool IsFrameSkinned() const;
    // Marks the frame skinned and lets the new frame sizes take effect. With
    // `deferWhileHidden`, a hidden window's frame change waits for its next
    // move (TakeFrameChange) or FinishFrameChange: a resize that follows
    // then recomputes the frame as well, instead of being a second move
    // (under Wine each move of a top-level window costs about 2 ms).
    void SetFrameSkinned(bool deferWhileHidden = false);

    // The caption's second text, drawn right-aligned at the caption's end.
    void SetSubText(const std::wstring& text);
    const std::wstring& GetSubText() const { return subText_; }
    // Whether the custom caption button reacts (its picture shows disabled
    // otherwise).
    void EnableUserButton(bool enabled);
    bool IsUserButtonEnabled() const { return userButtonEnabled_; }

    // Paints the frame now.
    void RedrawFrame();

    const SkinImage& GetFramePicture(int part) const { return parts_[part]; }
    // Frame thickness from the pictures: left width, top height, right
    // width, bottom height.
    RECT GetFrameInsets() const;
    const CaptionLayout& GetCaptionLayout() const { return layout_; }
    int GetHoveredButton() const { return hovered_; }
    int GetPressedButton() const { return pressed_; }

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The help and custom caption buttons' actions.
    virtual void OnHelpButton() {}
    virtual void OnCustomButton() {}

    // SWP_FRAMECHANGED when a deferred frame change is waiting (it is then
    // the caller's move that makes it), else 0.
    UINT TakeFrameChange();
    // Makes a deferred frame change that no move has taken.
    void FinishFrameChange();

    // Rebuilds the caption font (the system caption font, 12 pixels high).
    void SetCaptionBold(bool bold);
    void LayoutCaption();

    SkinImage parts_[kPartCount];
    ScopedFont captionFont_;
    COLORREF captionColor_ = RGB(0, 0, 0);
    COLORREF subTextColor_ = RGB(0, 0, 0);
    int captionAlign_ = 0;
    bool iconVisible_ = true;
    POINT iconMargin_ = {7, 0};
    POINT textMargin_ = {0, 0};
    POINT buttonMargin_ = {0, 0};
    int buttonGap_ = 0;
    int sysMenuType_ = 0;
    std::wstring subText_;

private:
    bool HasBorder() const;
    POINT ScreenToWindowPoint(POINT screen) const;
    void PaintFrame();
    void DrawFrame(HDC dc, SIZE size);
    void DrawCaption(HDC dc, SIZE size);
    void ResetRegion(int width, int height);
    void CancelTracking();
    void ActOn(int button);

    bool OnNcMouseMove(POINT screen);
    void OnNcMouseLeave();
    bool OnNcLButtonDown(WPARAM hit, POINT screen);
    void OnLButtonUp(POINT client);
    void OnCaptureChanged();

    bool frameSkinned_ = false;
    bool frameChangeWaiting_ = false;
    bool settingRegion_ = false;
    CaptionLayout layout_;
    int hovered_ = kCaptionNone;
    int pressed_ = kCaptionNone;
    bool tracking_ = false;
    bool pressedFlag_ = false;
    bool userButtonEnabled_ = true;
    SIZE frameMetrics_ = {0, 0};
};

}  // namespace Lumen
