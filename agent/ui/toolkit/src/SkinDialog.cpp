#include "SkinDialog.h"

#include "GdiHandles.h"
#include "Lumen/StringResManager.h"
#include "SkinKeys.h"
#include "SkinManager.h"
#include "Window.h"

namespace Lumen {

namespace {

SkinManager* g_defaultSkin = nullptr;
const StringResManager* g_defaultStrings = nullptr;

// A pair of margins that is used only when both are present.
void ReadMarginPair(const Json::Value& ncInfo, const char* keyX, const char* keyY, POINT* out)
{
    SkinPoint pair;
    if (ReadIntPair(ncInfo, keyX, keyY, true, &pair)) *out = POINT{pair.x, pair.y};
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param)
{
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    return TRUE;
}

}  // namespace

SkinDialog::SkinDialog(UINT templateId) : NCPaintDialog(templateId), FontHelper(this) {}

void SkinDialog::SetDefaultResources(SkinManager* skin, const StringResManager* strings)
{
    g_defaultSkin = skin;
    g_defaultStrings = strings;
}

void SkinDialog::BindResources()
{
    skin_ = g_defaultSkin;
    strings_ = g_defaultStrings;
}

std::wstring SkinDialog::GetString(const std::wstring& key) const
{
    return strings_ != nullptr ? strings_->GetString(key) : key;
}

bool SkinDialog::GetSkinnedFrameInsets(SIZE* insets) const
{
    if (!IsFrameSkinned() || !parts_[kPartLeft].IsValid() || !parts_[kPartTop].IsValid()) return false;
    if (insets != nullptr) *insets = SIZE{parts_[kPartLeft].Width(), parts_[kPartTop].Height()};
    return true;
}

BOOL SkinDialog::OnInitDialog()
{
    const BOOL result = NCPaintDialog::OnInitDialog();
    GetTaskbarManager().SetWindow(GetHwnd());
    BindResources();
    RebuildHelperMap();
    ApplyDialogSkin();
    return result;
}

void SkinDialog::RebuildHelperMap()
{
    helpers_.clear();
    helpers_[static_cast<int>(GetTemplateId())] = this;
    std::vector<HWND> children;
    ::EnumChildWindows(GetHwnd(), CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (::GetParent(child) != GetHwnd()) continue;  // direct children only
        SkinHelper* helper = SkinHelper::FromHwnd(child);
        if (helper == nullptr) continue;
        helpers_[::GetDlgCtrlID(child)] = helper;
        ::ShowWindow(child, SW_HIDE);
    }
}

void SkinDialog::ApplyDialogSkin()
{
    if (skin_ != nullptr) {
        Json::Value list;
        if (skin_->LoadSkin(static_cast<int>(GetTemplateId()), list) && list.isArray()) {
            for (const Json::Value& entry : list) {
                std::wstring name;
                if (!entry.isObject() || !ReadSkinText(entry, "id", &name)) continue;
                const int id = skin_->IdentifierByName(name);
                const auto found = helpers_.find(id);
                if (id == 0 || found == helpers_.end()) continue;
                found->second->ApplySkin(skin_, entry);
            }
        }
    }
    RedrawIfVisible(GetHwnd(), RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW | RDW_UPDATENOW);
}

void SkinDialog::ApplyNcInfo(SkinManager* skin, const Json::Value& ncInfo)
{
    static const char* const kPartKeys[kPartCount] = {
        "nc_part_left",        "nc_part_top",          "nc_part_right",        "nc_part_bottom",
        "nc_part_left_top",    "nc_part_right_top",    "nc_part_left_bottom",  "nc_part_right_bottom",
        "nc_part_btn_minimize", "nc_part_btn_maximize", "nc_part_btn_restore", "nc_part_btn_close",
        "nc_part_btn_help",    "nc_part_btn_custom"};
    for (int part = 0; part < kPartCount; ++part) {
        std::wstring name;
        if (ReadSkinText(ncInfo, kPartKeys[part], &name)) LoadSkinImage(skin, name, &parts_[part]);
    }
    bool flag = false;
    if (ReadSkinBool(ncInfo, "nc_icon_visible", &flag)) iconVisible_ = flag;
    ReadMarginPair(ncInfo, "nc_icon_margin_x", "nc_icon_margin_y", &iconMargin_);
    ReadMarginPair(ncInfo, "nc_txt_margin_x", "nc_txt_margin_y", &textMargin_);
    ReadMarginPair(ncInfo, "nc_btn_margin_x", "nc_btn_margin_y", &buttonMargin_);
    if (ReadSkinBool(ncInfo, "nc_txt_bold", &flag)) SetCaptionBold(flag);
    ReadSkinColor(ncInfo, "nc_txt_color", &captionColor_);
    ReadSkinColor(ncInfo, "nc_sub_txt_color", &subTextColor_);
    ReadSkinInt(ncInfo, "nc_txt_align", &captionAlign_);
    ReadSkinInt(ncInfo, "nc_btn_gap", &buttonGap_);
    ReadSkinInt(ncInfo, "sys_menu_type", &sysMenuType_);
    if (GetHwnd() != nullptr) SetFrameSkinned(true);
}

void SkinDialog::ApplyPositionAndState(SkinManager* skin, const Json::Value& entry)
{
    SkinHelper::ApplyPositionAndState(skin, entry);
    FinishFrameChange();
}

void SkinDialog::ApplyTextAndFont(SkinManager* skin, const Json::Value& entry)
{
    ApplyFontKeys(skin, entry, this);
    std::wstring text;
    if (ReadSkinText(entry, "text", &text) && GetHwnd() != nullptr) ::SetWindowTextW(GetHwnd(), text.c_str());
    if (ReadSkinText(entry, "sub_text", &text)) SetSubText(text);
}

void SkinDialog::ApplyBackground(SkinManager* skin, const Json::Value& entry)
{
    COLORREF color = 0;
    if (ReadSkinColor(entry, "bg_color", &color)) SetBackgroundColor(color);
    std::wstring name;
    if (ReadSkinText(entry, "bg_image", &name)) LoadSkinImage(skin, name, &GetBackgroundImage());
}

RECT SkinDialog::ToClientRect(int left, int top, int width, int height) const
{
    // Like a "main_window" position: relative to the main window's outer
    // corner, less its skinned frame.
    const HWND hwnd = GetHwnd();
    SkinHelper* main = SkinHelper::FindMainWindow(hwnd);
    POINT point{left, top};
    if (main != nullptr && hwnd != nullptr) {
        SIZE insets{0, 0};
        if (main->GetSkinnedFrameInsets(&insets)) {
            point.x -= insets.cx;
            point.y -= insets.cy;
        }
        ::ClientToScreen(main->GetSkinHwnd(), &point);
        ::ScreenToClient(hwnd, &point);
    }
    return RECT{point.x, point.y, point.x + width, point.y + height};
}

void SkinDialog::ApplyAdditionalBgImages(SkinManager* skin, const Json::Value& images)
{
    if (!images.isArray()) return;
    images_.clear();
    for (const Json::Value& item : images) {
        if (!item.isObject()) continue;
        BackgroundImage image;
        const SkinRect rect = ReadItemRect(item);
        image.rect = ToClientRect(rect.left, rect.top, rect.width, rect.height);
        image.image = std::make_shared<SkinImage>();
        std::wstring name;
        if (ReadSkinText(item, "image", &name)) LoadSkinImage(skin, name, image.image.get());
        images_.push_back(std::move(image));
    }
}

void SkinDialog::ApplyShapeItems(SkinManager*, const Json::Value& items)
{
    if (!items.isArray()) return;
    shapes_.clear();
    for (const Json::Value& item : items) {
        if (!item.isObject()) continue;
        ShapeItem shape;
        std::wstring type;
        if (item.isMember("type") && item["type"].isString()) shape.type = item["type"].asString();
        ReadSkinColor(item, "border_color", &shape.border);
        ReadSkinColor(item, "bg_color", &shape.fill);
        const SkinRect rect = ReadItemRect(item);
        shape.rect = RECT{rect.left, rect.top, rect.left + rect.width, rect.top + rect.height};
        shapes_.push_back(std::move(shape));
    }
}

bool SkinDialog::GetLayeredParts(std::vector<RECT>* parts)
{
    if (!NCPaintDialog::GetLayeredParts(parts)) return false;
    for (const ShapeItem& shape : shapes_) {
        if (shape.type == "ractangle") parts->push_back(shape.rect);
    }
    for (const BackgroundImage& image : images_) {
        if (image.image && image.image->IsValid()) parts->push_back(image.rect);
    }
    return true;
}

void SkinDialog::DrawBackground(HDC dc)
{
    NCPaintDialog::DrawBackground(dc);
    for (const ShapeItem& shape : shapes_) {
        if (shape.type != "ractangle") continue;  // the only type that is drawn, spelt as the skins spell it
        ScopedBrush fill(::CreateSolidBrush(shape.fill));
        ScopedPen pen(::CreatePen(PS_SOLID, 1, shape.border));
        if (!fill || !pen) continue;
        const HGDIOBJ oldBrush = ::SelectObject(dc, fill.Get());
        const HGDIOBJ oldPen = ::SelectObject(dc, pen.Get());
        ::Rectangle(dc, shape.rect.left, shape.rect.top, shape.rect.right, shape.rect.bottom);
        ::SelectObject(dc, oldPen);
        ::SelectObject(dc, oldBrush);
    }
    for (const BackgroundImage& image : images_) {
        if (image.image && image.image->IsValid()) image.image->Draw(dc, image.rect);
    }
}

}  // namespace Lumen
