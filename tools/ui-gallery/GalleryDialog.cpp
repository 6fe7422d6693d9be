#include "GalleryDialog.h"

#include "GalleryIds.h"

using namespace Lumen;

namespace {

const wchar_t kNotice[] =
    L"<h1>\xACF5\xC9C0\xC0AC\xD56D</h1><p>The toolkit shows server pages &amp; notices.</p>"
    L"<ul><li>Scripts are off</li><li>Links open outside</li></ul>"
    L"<a href=\"https://example.test/notice\">More</a>";

}  // namespace

GalleryDialog::GalleryDialog() : SkinDialog(IDD_GALLERY) {}

BOOL GalleryDialog::OnInitDialog()
{
    // The controls are bound before the skinned dialog looks for them.
    HWND hwnd = GetHwnd();
    for (int id : {IDC_TITLE, IDC_LABEL_PICTURES, IDC_LABEL_BUTTONS, IDC_LABEL_FIELDS, IDC_LABEL_LIST,
                   IDC_LABEL_HTML, IDC_ALPHA_PICTURE, IDC_OPAQUE_PICTURE}) {
        auto control = std::make_unique<SkinStatic>();
        control->SubclassDlgItem(id, hwnd);
        statics_.push_back(std::move(control));
    }
    for (int id : {IDC_BUTTON_NORMAL, IDC_BUTTON_HOVER, IDC_BUTTON_PRESSED, IDC_BUTTON_DISABLED, IDC_CHECK}) {
        auto control = std::make_unique<SkinButton>();
        control->SubclassDlgItem(id, hwnd);
        buttons_.push_back(std::move(control));
    }
    link_.SubclassDlgItem(IDC_LINK, hwnd);
    edit_.SubclassDlgItem(IDC_EDIT, hwnd);
    editHint_.SubclassDlgItem(IDC_EDIT_HINT, hwnd);
    list_.SubclassDlgItem(IDC_LIST, hwnd);
    html_.SubclassDlgItem(IDC_HTML, hwnd);
    spinner_.CreateControl(RECT{0, 0, 40, 40}, hwnd, IDC_SPINNER);

    const BOOL result = SkinDialog::OnInitDialog();
    FillList();
    html_.SetHtml(L"<html> <head> " + html_.GetStyleBlock() + L" </head> <body> " + kNotice + L" </body> </html>");
    spinner_.Play(80);
    return result;
}

void GalleryDialog::FillList()
{
    // Cards of two groups, as the product list arranges them.
    const struct {
        int state;
        const wchar_t* group;
        const wchar_t* name;
        COLORREF colour;
    } kCards[] = {{0, L"\xC124\xCE58 \xAC00\xB2A5", L"Viewer", RGB(0xDB, 0xEA, 0xFE)},
                  {0, L"\xC124\xCE58 \xAC00\xB2A5", L"Guard", RGB(0xDB, 0xEA, 0xFE)},
                  {0, L"\xC124\xCE58 \xAC00\xB2A5", L"Sync", RGB(0xDB, 0xEA, 0xFE)},
                  {1, L"\xC124\xCE58 \xC644\xB8CC", L"Office", RGB(0xDC, 0xFC, 0xE7)}};
    for (const auto& card : kCards) {
        auto item = std::make_unique<StaticEx>();
        if (!item->CreateStatic(card.name, SS_CENTER | SS_CENTERIMAGE, RECT{0, 0, 60, 30}, GetHwnd(), 0)) continue;
        ::SendMessageW(item->GetHwnd(), WM_SETFONT, ::SendMessageW(list_.GetHwnd(), WM_GETFONT, 0, 0), FALSE);
        item->SetBackgroundColor(card.colour);
        item->SetTextColor(RGB(0x11, 0x18, 0x27));
        list_.AddItem(CWL_ITEM{card.state, card.group, item->GetHwnd(), nullptr});
        cards_.push_back(std::move(item));
    }
    list_.Layout();
}

void GalleryDialog::ShowStates()
{
    HWND hover = GetDlgItem(IDC_BUTTON_HOVER);
    ::SendMessageW(hover, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    ::SendMessageW(hover, WM_MOUSEHOVER, 0, MAKELPARAM(4, 4));
    ::SendMessageW(GetDlgItem(IDC_BUTTON_PRESSED), BM_SETSTATE, TRUE, 0);
    ::SendMessageW(GetDlgItem(IDC_CHECK), BM_SETCHECK, BST_CHECKED, 0);
    edit_.SetText(L"\xD64D\xAE38\xB3D9");
    link_.SetVisited(false);
    // The caption's close button under the cursor.
    const RECT close = GetCaptionLayout().close;
    if (close.right > close.left) {
        RECT window;
        ::GetWindowRect(GetHwnd(), &window);
        const POINT at{window.left + (close.left + close.right) / 2, window.top + (close.top + close.bottom) / 2};
        ::SetCursorPos(at.x, at.y);
        ::SendMessageW(GetHwnd(), WM_NCMOUSEMOVE, HTCLOSE, MAKELPARAM(at.x, at.y));
    }
}

bool GalleryDialog::IsPageShown() const
{
    return html_.IsTextFallback();
}
