#pragma once

#include <windows.h>

#include <string>

#include "GdiHandles.h"

namespace Lumen {

class Window;

// Font mix-in of the skinned dialogs and controls: owns one GDI font for
// the window it serves and rebuilds it from bold, underline and height.
// The window may not exist yet when the helper is built (controls are bound
// to their windows later): it is looked up at each Apply.
// UI thread only.
class FontHelper {
public:
    // Starts from the system's DEFAULT_GUI_FONT, then applies.
    explicit FontHelper(const Window* window);
    virtual ~FontHelper() = default;

    FontHelper(const FontHelper&) = delete;
    FontHelper& operator=(const FontHelper&) = delete;

    // Called after a new font was sent to the window; controls re-layout.
    virtual void OnFontChanged() {}

    // Whether a font family named `face` is installed (DEFAULT_CHARSET).
    // A face longer than LOGFONT's 32-character field is never installed.
    static bool IsInstalled(const std::wstring& face);

    // Rebuilds the font at `points` (points at 96 dots per inch) with the
    // current face: the text keeps its pixel size at every screen scaling.
    void SetPointSize(int points);
    // The height SetPointSize gives `points` on this screen.
    static LONG HeightForPoints(int points);
    // Rebuilds the font from `font` with the kept weight, underline and
    // height; sends it to the window and repaints it when the window exists.
    void Apply(LOGFONTW font);

    // The LOGFONT of the current font (the default GUI font when none).
    LOGFONTW GetLogFont() const;
    HFONT GetFont() const { return font_.Get(); }

    bool IsBold() const { return bold_; }
    bool IsUnderline() const { return underline_; }
    LONG GetHeight() const { return height_; }
    void SetBold(bool bold) { bold_ = bold; }
    void SetUnderline(bool underline) { underline_ = underline; }
    void SetHeight(LONG height) { height_ = height; }

    // The LOGFONT height (negative: character height in pixels) of a
    // `points` font made for 96 dots per inch, on a screen of `dpiX` by
    // `dpiY` dots per inch. Equal screens give the same height at any scaling.
    static LONG PointSizeToHeight(int points, int dpiX, int dpiY);

protected:
    const Window* fontWindow_;
    ScopedFont font_;
    bool bold_ = false;
    bool underline_ = false;
    LONG height_ = 0;
};

}  // namespace Lumen
