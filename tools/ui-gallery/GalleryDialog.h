#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "SkinAnimatedGif.h"
#include "SkinButton.h"
#include "SkinCustomHtmlCtrl.h"
#include "SkinCustomWindowList.h"
#include "SkinDialog.h"
#include "SkinEditWithClear.h"
#include "SkinLinkCtrl.h"
#include "SkinManager.h"
#include "SkinStatic.h"

// The gallery: every skinned control of the toolkit in one skinned dialog,
// bound to the template's children and dressed by the skin's entries. The
// hover and pressed buttons are put into their states by synthesised input.
class GalleryDialog : public Lumen::SkinDialog {
public:
    GalleryDialog();

    // True once the HTML control shows its page (as HTML or as text).
    bool IsPageShown() const;
    // Puts the demonstration buttons into their hover and pressed states.
    void ShowStates();

protected:
    BOOL OnInitDialog() override;

private:
    void FillList();

    std::vector<std::unique_ptr<Lumen::SkinStatic>> statics_;
    std::vector<std::unique_ptr<Lumen::SkinButton>> buttons_;
    Lumen::SkinLinkCtrl link_;
    Lumen::SkinEditWithClear edit_;
    Lumen::SkinEditWithClear editHint_;
    Lumen::SkinCustomWindowList list_;
    Lumen::SkinCustomHtmlCtrl html_;
    Lumen::SkinAnimatedGif spinner_;
    std::vector<std::unique_ptr<Lumen::StaticEx>> cards_;
};
