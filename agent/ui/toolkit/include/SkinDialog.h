#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <json/value.h>

#include "FontHelper.h"
#include "NCPaintDialog.h"
#include "SkinHelper.h"
#include "SkinImage.h"

namespace Lumen {

class SkinManager;
class StringResManager;

// Every window of the agent: a dialog whose look comes from its skin
// description (the description named after its template identifier). At
// initialisation it binds its resources, hides and registers its skinned
// children, and applies each skin entry to the child (or to itself) that the
// entry names. UI thread only.
class SkinDialog : public NCPaintDialog, public FontHelper, public SkinHelper {
public:
    explicit SkinDialog(UINT templateId);

    // The resources every skinned dialog binds unless it overrides
    // BindResources: set once at start-up by the resource manager.
    static void SetDefaultResources(SkinManager* skin, const StringResManager* strings);

    SkinManager* GetSkinManager() const { return skin_; }
    const StringResManager* GetStrings() const { return strings_; }
    // The text of `key` from the bound string table (the key without one).
    std::wstring GetString(const std::wstring& key) const;

    // Applies the dialog's skin description again.
    void ApplyDialogSkin();
    // Registers `helper` under `controlId` (controls created at run time).
    void AddSkinHelper(int controlId, SkinHelper* helper) { helpers_[controlId] = helper; }

    // SkinHelper
    HWND GetSkinHwnd() const override { return GetHwnd(); }
    bool IsSkinnedDialog() const override { return true; }
    bool GetSkinnedFrameInsets(SIZE* insets) const override;
    void ApplyNcInfo(SkinManager* skin, const Json::Value& ncInfo) override;
    // The skin's size of a hidden window carries its new frame (one move for
    // both); without a size the frame change is made on its own.
    void ApplyPositionAndState(SkinManager* skin, const Json::Value& entry) override;
    UINT MainWindowMoveFlags() override { return TakeFrameChange(); }
    void ApplyTextAndFont(SkinManager* skin, const Json::Value& entry) override;
    void ApplyBackground(SkinManager* skin, const Json::Value& entry) override;
    void ApplyAdditionalBgImages(SkinManager* skin, const Json::Value& images) override;
    void ApplyShapeItems(SkinManager* skin, const Json::Value& items) override;

    void DrawBackground(HDC dc) override;
    bool GetLayeredParts(std::vector<RECT>* parts) override;

protected:
    BOOL OnInitDialog() override;
    // Stores the skin manager and the string table (the defaults above).
    virtual void BindResources();

private:
    struct ShapeItem {
        std::string type;
        COLORREF border = 0;
        COLORREF fill = 0;
        RECT rect = {};
    };
    struct BackgroundImage {
        RECT rect = {};
        std::shared_ptr<SkinImage> image;
    };

    void RebuildHelperMap();
    // A "main_window" rectangle in this dialog's client coordinates.
    RECT ToClientRect(int left, int top, int width, int height) const;

    SkinManager* skin_ = nullptr;
    const StringResManager* strings_ = nullptr;
    std::map<int, SkinHelper*> helpers_;
    std::vector<ShapeItem> shapes_;
    std::vector<BackgroundImage> images_;
};

}  // namespace Lumen
