#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "Dialog.h"
#include "SkinAnimatedGif.h"
#include "SkinButton.h"
#include "SkinCustomHtmlCtrl.h"
#include "SkinCustomWindowList.h"
#include "SkinEditWithClear.h"
#include "SkinLinkCtrl.h"
#include "SkinManager.h"
#include "SkinStatic.h"

// The gallery: every skinned control of the toolkit in one dialog, bound to
// the template's children and dressed by the skin's entries. The hover and
// pressed buttons are put into their states by synthesised input.
class GalleryDialog : public Lumen::Dialog {
public:
    explicit GalleryDialog(Lumen::SkinManager* skin);

    // True once the HTML control shows its page (as HTML or as text).
    bool IsPageShown() const;
    // Puts the demonstration buttons into their hover and pressed states.
    void ShowStates();

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ApplySkin();
    void FillList();

    Lumen::SkinManager* skin_;
    std::map<int, Lumen::SkinHelper*> helpers_;
    std::vector<std::unique_ptr<Lumen::SkinStatic>> statics_;
    std::vector<std::unique_ptr<Lumen::SkinButton>> buttons_;
    Lumen::SkinLinkCtrl link_;
    Lumen::SkinEditWithClear edit_;
    Lumen::SkinEditWithClear editHint_;
    Lumen::SkinCustomWindowList list_;
    Lumen::SkinCustomHtmlCtrl html_;
    Lumen::SkinAnimatedGif spinner_;
    std::vector<std::unique_ptr<Lumen::StaticEx>> cards_;
    HBRUSH background_;
};
