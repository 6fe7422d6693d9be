#include "InspectionView.h"

#include "AgentCmdCheckProduct.h"
#include "AgentCmdContinueInstall.h"
#include "AgentCmdInstallAllProduct.h"
#include "AgentCmdInstallProduct.h"
#include "AgentController.h"
#include "ConfigManager.h"
#include "IMainWindow.h"
#include "UiText.h"
#include "resource.h"

#include <algorithm>

InspectionView::InspectionView() : SkinDialog(IDD_INSPECTION_VIEW) {}

BOOL InspectionView::OnInitDialog()
{
    const HWND hwnd = GetHwnd();
    description_.SubclassDlgItem(IDC_STATIC_DESCRIPTION, hwnd);
    title_.SubclassDlgItem(IDC_STATIC_LIST_TITLE, hwnd);
    remoteAssist_.SubclassDlgItem(IDC_BUTTON_REMOTE_ASSIST, hwnd);
    phone_.SubclassDlgItem(IDC_STATIC_PHONE, hwnd);
    refresh_.SubclassDlgItem(IDC_BUTTON_REFRESH, hwnd);
    installAll_.SubclassDlgItem(IDC_BUTTON_INSTALL_ALL, hwnd);
    list_.SubclassDlgItem(IDC_LIST_PRODUCTS, hwnd);
    const BOOL result = SkinDialog::OnInitDialog();
    UiText::TranslateWindowTexts(*this);
    return result;
}

void InspectionView::Queue(std::shared_ptr<AgentCmdBase> command)
{
    if (mainWindow_ == nullptr) return;
    command->SetResponseHandler(this);
    mainWindow_->GetController().PushCommand(std::move(command));
}

void InspectionView::Refresh()
{
    Queue(std::make_shared<AgentCmdCheckProduct>());
}

std::vector<HWND> InspectionView::GetTabOrder()
{
    std::vector<std::pair<RECT, HWND>> buttons;
    for (const auto& row : pool_.Rows()) {
        const HWND button = row->GetInstallButton();
        if (button == nullptr || ::GetParent(row->GetHwnd()) != list_.GetHwnd()) continue;
        RECT rect = {};
        ::GetWindowRect(button, &rect);
        buttons.emplace_back(rect, button);
    }
    std::stable_sort(buttons.begin(), buttons.end(), [](const auto& a, const auto& b) {
        return a.first.top != b.first.top ? a.first.top < b.first.top : a.first.left < b.first.left;
    });
    std::vector<HWND> order = {remoteAssist_.GetHwnd(), refresh_.GetHwnd(), installAll_.GetHwnd()};
    for (const auto& button : buttons) order.push_back(button.second);
    return order;
}

bool InspectionView::PreTranslateMessage(MSG* msg)
{
    const bool handled = SkinDialog::PreTranslateMessage(msg);
    if (handled && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) ScrollToFocus();
    return handled;
}

void InspectionView::ScrollToFocus()
{
    const HWND listWindow = list_.GetHwnd();
    HWND row = ::GetFocus();
    while (row != nullptr && ::GetParent(row) != listWindow) row = ::GetParent(row);
    if (row == nullptr) return;
    RECT rect = {};
    ::GetWindowRect(row, &rect);
    ::MapWindowPoints(nullptr, listWindow, reinterpret_cast<POINT*>(&rect), 2);
    RECT client = {};
    ::GetClientRect(listWindow, &client);
    const POINT at = list_.GetScrollPosition();
    if (rect.top < client.top) {
        list_.ScrollTo(at.x, at.y - (client.top - rect.top));
    } else if (rect.bottom > client.bottom) {
        list_.ScrollTo(at.x, at.y + (rect.bottom - client.bottom));
    }
}

void InspectionView::OnPageShow()
{
    Refresh();
    if (ConfigManager::GetInstance()->IsInstalling()) Queue(std::make_shared<AgentCmdContinueInstall>());
}

void InspectionView::OnInstallRequested(const PRODUCT_INFO& product)
{
    Queue(std::make_shared<AgentCmdInstallProduct>(product));
}

bool InspectionView::OnCommand(WORD id, WORD code, HWND control)
{
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_BUTTON_REMOTE_ASSIST:
            UiText::OpenRemoteAssistance(GetString(L"REMOTE_ASSIST_URL"));
            return true;
        case IDC_BUTTON_REFRESH:
            Refresh();
            return true;
        case IDC_BUTTON_INSTALL_ALL:
            Queue(std::make_shared<AgentCmdInstallAllProduct>());
            return true;
        default:
            break;
        }
    }
    return SkinDialog::OnCommand(id, code, control);
}

void InspectionView::OnCommandStart(std::shared_ptr<AgentCmdBase> command)
{
    if (!command) return;
    const int type = command->GetType();
    // An install-all arrives here once the reboot question is answered; a
    // continued one was agreed to before the restart that interrupted it.
    const bool agreed = type == AgentCmdBase::kContinueInstall ||
                        (type == AgentCmdBase::kInstallAllProduct && command->GetResult() >= 0);
    if (agreed) {
        // A restart in the middle continues the installation after the next login.
        ConfigManager::GetInstance()->SetInstalling(true);
        ConfigManager::GetInstance()->SaveConfig();
    }
}

void InspectionView::OnCommandComplete(std::shared_ptr<AgentCmdBase> command)
{
    if (!command) return;
    const int result = command->GetResult();
    switch (command->GetType()) {
    case AgentCmdBase::kCheckProduct:
        if (result >= 0) FillList(static_cast<AgentCmdCheckProduct&>(*command).GetProducts());
        break;
    case AgentCmdBase::kInstallAllProduct:
    case AgentCmdBase::kContinueInstall:
        ConfigManager::GetInstance()->SetInstalling(false);
        ConfigManager::GetInstance()->SaveConfig();
        if (result != -1) Refresh();
        break;
    case AgentCmdBase::kInstallProduct:
        if (result != -1) Refresh();
        break;
    default:
        break;
    }
}

void InspectionView::FillList(const std::vector<PRODUCT_INFO>& products)
{
    const HWND listWindow = list_.GetHwnd();
    // The list alone stops painting while its rows move (LockWindowUpdate
    // would lock for the whole desktop and could end another program's
    // lock). A hidden list paints nothing anyway, and turning drawing back
    // on would show it.
    struct RedrawHold {
        HWND hwnd;
        ~RedrawHold()
        {
            if (hwnd != nullptr) ::SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
        }
    };
    RedrawHold hold{(::GetWindowLongW(listWindow, GWL_STYLE) & WS_VISIBLE) != 0 ? listWindow : nullptr};
    if (hold.hwnd != nullptr) ::SendMessageW(listWindow, WM_SETREDRAW, FALSE, 0);
    list_.RemoveAllItems();
    pool_.Prepare(
        products.size(),
        [](ProductItemView& row) {
            const HWND hwnd = row.GetHwnd();
            if (hwnd == nullptr) return;
            ::ShowWindow(hwnd, SW_HIDE);
            ::SetParent(hwnd, nullptr);
            const LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
            ::SetWindowLongW(hwnd, GWL_STYLE, (style & ~WS_CHILD) | WS_POPUP);
        },
        [this]() -> std::shared_ptr<ProductItemView> {
            auto row = std::make_shared<ProductItemView>();
            row->SetHandler(this);
            // Top-level, owned by the main window: a row is never an
            // application window of its own (a shell that lists every
            // unowned top-level window would give it a taskbar button), and
            // a pooled row goes with the main window.
            if (!row->Create(IDD_PRODUCT_ITEM_VIEW, GetHwnd())) return nullptr;
            return row;
        });
    const auto& rows = pool_.Rows();
    for (size_t i = 0; i < products.size() && i < rows.size(); ++i) {
        const ProductGroup group = GroupForProduct(products[i].installed);
        Lumen::CWL_ITEM item;
        item.state = group.state;
        item.text = GetString(group.textKey);
        item.window = rows[i]->GetHwnd();
        item.owner = rows[i];
        rows[i]->SetProduct(products[i]);
        list_.AddItem(item);
    }
    list_.Layout();
    if (hold.hwnd != nullptr) {
        ::SendMessageW(listWindow, WM_SETREDRAW, TRUE, 0);
        hold.hwnd = nullptr;
    }
    if (!::IsWindowVisible(listWindow)) ::ShowWindow(listWindow, SW_SHOW);
    ::RedrawWindow(listWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW | RDW_UPDATENOW |
                                                     RDW_ALLCHILDREN);
}

void InspectionView::OnDestroy()
{
    SkinDialog::OnDestroy();
    for (const auto& row : pool_.Rows()) {
        if (row->GetHwnd() != nullptr && ::IsWindow(row->GetHwnd())) row->DestroyWindow();
    }
    pool_.Clear();
}
