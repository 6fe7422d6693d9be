#pragma once

#include <windows.h>

#include <string>

#include "SkinKeys.h"
#include "StaticEx.h"

namespace Lumen {

// A static that opens an address in the user's browser when its text is
// clicked (or Space or Enter is pressed while it has the focus). The text is
// drawn in the hover colour while the cursor is over it, else in the visited
// colour once the link was opened, else in the normal colour. UI thread only.
class HyperLink : public StaticEx {
public:
    HyperLink();

    void SetUrl(const std::wstring& url) { url_ = url; }
    const std::wstring& GetUrl() const { return url_; }
    void SetLinkColors(const LinkColors& colors);
    const LinkColors& GetLinkColors() const { return colors_; }
    bool IsVisited() const { return visited_; }
    void SetVisited(bool visited);
    bool IsOverText() const { return overText_; }

    // Opens the address through the desktop shell (DesktopShell); the link
    // counts as visited when the shell accepts it.
    bool Open();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    COLORREF CurrentTextColor() const override;
    // The text, then the focus cue round it.
    void Paint(HDC dc) override;

private:
    // The part of the client area the text occupies.
    RECT TextRect() const;
    // Whether a client point lies over the part of the window the text occupies.
    bool HitText(POINT client) const;
    void SetOverText(bool over);

    std::wstring url_;
    LinkColors colors_;
    HCURSOR hand_;
    bool visited_ = false;
    bool overText_ = false;
    bool tracking_ = false;
};

}  // namespace Lumen
