#include "LoginView.h"

#include "AgentCmdLogin.h"
#include "AgentController.h"
#include "ConfigManager.h"
#include "IMainWindow.h"
#include "LoginRules.h"
#include "UiText.h"
#include "resource.h"

namespace {

RECT ChildRect(HWND parent, HWND child)
{
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void MoveTo(HWND hwnd, const RECT& rect)
{
    ::MoveWindow(hwnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, FALSE);
}

RECT Shifted(RECT rect, int dy)
{
    ::OffsetRect(&rect, 0, dy);
    return rect;
}

}  // namespace

LoginView::LoginView() : SkinDialog(IDD_LOGIN_VIEW) {}

BOOL LoginView::OnInitDialog()
{
    const HWND hwnd = GetHwnd();
    id_.SubclassDlgItem(IDC_EDIT_ID, hwnd);
    password_.SubclassDlgItem(IDC_EDIT_PASSWORD, hwnd);
    login_.SubclassDlgItem(IDC_BUTTON_LOGIN, hwnd);
    autoLogin_.SubclassDlgItem(IDC_CHECK_AUTO_LOGIN, hwnd);
    remoteAssist_.SubclassDlgItem(IDC_LINK_REMOTE_ASSIST, hwnd);
    error_.SubclassDlgItem(IDC_STATIC_LOGIN_ERROR, hwnd);
    phoneLabel_.SubclassDlgItem(IDC_STATIC_PHONE_LABEL, hwnd);
    phone_.SubclassDlgItem(IDC_STATIC_PHONE, hwnd);
    const BOOL result = SkinDialog::OnInitDialog();
    UiText::TranslateWindowTexts(*this);
    // The hints are the skin's "hint_text", in the user's language like every
    // other skin text; the link keeps the skin's "url".
    id_.SetHint(GetString(id_.Edit().GetHint()));
    password_.SetHint(GetString(password_.Edit().GetHint()));

    id_.SetEditChangeHandler(this);
    password_.SetEditChangeHandler(this);
    ::SendMessageW(password_.Edit().GetHwnd(), EM_SETPASSWORDCHAR, L'*', 0);
    UpdateLoginButton();

    auto& layout = GetChildLayout();
    layout.clear();
    for (HWND child = ::GetWindow(hwnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        layout[child] = ChildRect(hwnd, child);
    }
    return result;
}

void LoginView::RestoreLayout()
{
    const auto& layout = GetChildLayout();
    if (layout.empty()) return;
    // Only what an error message moved goes back, and the page is repainted
    // only then: on the first show nothing has moved, and repainting every
    // control's frame and background would come on top of the window's own
    // first paint.
    bool moved = false;
    for (const auto& [child, rect] : layout) {
        if (!::IsWindow(child)) continue;
        const RECT now = ChildRect(GetHwnd(), child);
        if (::EqualRect(&now, &rect)) continue;
        MoveTo(child, rect);
        moved = true;
    }
    if (moved) ::RedrawWindow(GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void LoginView::OnPageShow()
{
    ::ShowWindow(error_.GetHwnd(), SW_HIDE);
    RestoreLayout();

    ConfigManager* config = ConfigManager::GetInstance();
    const std::wstring password = config->GetPassword();
    const std::wstring id = config->GetUserId();
    const LoginRules::AutoLoginDecision decision =
        LoginRules::DecideAutoLogin(config->IsAutoLogin(), id, password, config->IsInstalling(), firstShow_);
    if (decision.clearStoredFlag) config->SetAutoLogin(false);

    // Only a field that differs is set: setting one notifies a change and
    // repaints the field and the login button, on the first show for nothing.
    if (id_.GetText() != id) id_.SetText(id);
    if (password_.GetText() != password) password_.SetText(password);
    ::SendMessageW(autoLogin_.GetHwnd(), BM_SETCHECK, decision.autoLogin ? BST_CHECKED : BST_UNCHECKED, 0);
    UpdateLoginButton();

    if (decision.loginNow) {
        const std::wstring readId = LoginRules::Trim(id_.GetText());
        const std::wstring readPassword = LoginRules::Trim(password_.GetText());
        if (!readId.empty() && !readPassword.empty()) {
            QueueLogin(readId, readPassword);
            return;
        }
    }
    id_.SetEditFocus();
}

void LoginView::Login()
{
    const std::wstring id = LoginRules::Trim(id_.GetText());
    const std::wstring password = LoginRules::Trim(password_.GetText());
    const HWND owner = ::GetAncestor(GetHwnd(), GA_ROOT);
    const std::wstring caption = GetString(UiText::kAgentTitle);
    if (id.empty()) {
        ::MessageBoxW(owner, GetString(L"아이디를 입력하세요.").c_str(), caption.c_str(), MB_ICONERROR);
        return;
    }
    if (password.empty()) {
        ::MessageBoxW(owner, GetString(L"비밀번호를 입력하세요.").c_str(), caption.c_str(), MB_ICONERROR);
        return;
    }
    QueueLogin(id, password);
}

void LoginView::QueueLogin(const std::wstring& id, const std::wstring& password)
{
    if (mainWindow_ == nullptr) return;
    auto command = std::make_shared<AgentCmdLogin>(id, password);
    command->SetResponseHandler(this);
    mainWindow_->GetController().PushCommand(command);
}

void LoginView::UpdateLoginButton()
{
    ::EnableWindow(login_.GetHwnd(), LoginRules::IsLoginEnabled(id_.GetText(), password_.GetText()));
}

void LoginView::OnCommandStart(std::shared_ptr<AgentCmdBase> command)
{
    if (command && command->GetType() == AgentCmdBase::kLogin) ::EnableWindow(login_.GetHwnd(), FALSE);
}

void LoginView::OnCommandComplete(std::shared_ptr<AgentCmdBase> command)
{
    if (!command || command->GetType() != AgentCmdBase::kLogin) return;
    ::EnableWindow(login_.GetHwnd(), TRUE);
    const int result = command->GetResult();
    if (result < 0) {
        const std::wstring key = LoginRules::ErrorKeyFor(result);
        // The generic text carries the code; it is never used as a format.
        ShowError(LoginRules::FormatServerError(GetString(key), result));
        return;
    }
    const auto& login = static_cast<const AgentCmdLogin&>(*command);
    ConfigManager* config = ConfigManager::GetInstance();
    config->SetUserId(login.GetUserId());
    config->SetPassword(login.GetPassword());
    config->SetAutoLogin(::SendMessageW(autoLogin_.GetHwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED);
    firstShow_ = false;
    if (mainWindow_ != nullptr) mainWindow_->ShowInspectionPage();
}

void LoginView::ShowError(const std::wstring& text)
{
    const auto& layout = GetChildLayout();
    const auto recorded = layout.find(error_.GetHwnd());
    if (recorded == layout.end()) return;
    const LoginRules::ErrorLayout placed = LoginRules::LayoutError(text, recorded->second);
    for (HWND moved : {login_.GetHwnd(), autoLogin_.GetHwnd(), remoteAssist_.GetHwnd()}) {
        const auto found = layout.find(moved);
        if (found != layout.end()) MoveTo(moved, Shifted(found->second, placed.offset));
    }
    MoveTo(error_.GetHwnd(), placed.errorRect);
    ::SetWindowTextW(error_.GetHwnd(), text.c_str());
    error_.DiscardBackgroundSnapshot();
    ::ShowWindow(error_.GetHwnd(), SW_SHOW);
    ::RedrawWindow(GetHwnd(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void LoginView::OnEditChanged(Lumen::EditWithClear*)
{
    UpdateLoginButton();
}

void LoginView::OnEditTab(Lumen::EditWithClear* edit)
{
    if (edit == &id_) {
        password_.SetEditFocus();
    } else if (edit == &password_) {
        ::SetFocus(login_.GetHwnd());
    }
}

void LoginView::OnEditReturn(Lumen::EditWithClear* edit)
{
    if (edit == &id_) {
        password_.SetEditFocus();
    } else if (edit == &password_) {
        if (!LoginRules::Trim(id_.GetText()).empty() && !LoginRules::Trim(password_.GetText()).empty()) Login();
    }
}

bool LoginView::IsWithin(HWND hwnd, const Lumen::Window& control) const
{
    return hwnd != nullptr && control.GetHwnd() != nullptr &&
           (hwnd == control.GetHwnd() || ::IsChild(control.GetHwnd(), hwnd));
}

bool LoginView::PreTranslateMessage(MSG* msg)
{
    // The base swallows Enter for the whole dialog: the page routes it here.
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
        if (msg->hwnd == login_.GetHwnd()) {
            if (::IsWindowEnabled(login_.GetHwnd())) Login();
            return true;
        }
        if (IsWithin(msg->hwnd, id_)) {
            OnEditReturn(&id_);
            return true;
        }
        if (IsWithin(msg->hwnd, password_)) {
            OnEditReturn(&password_);
            return true;
        }
    }
    return SkinDialog::PreTranslateMessage(msg);
}

std::vector<HWND> LoginView::GetTabOrder()
{
    return {id_.GetHwnd(), password_.GetHwnd(), login_.GetHwnd(), autoLogin_.GetHwnd(), remoteAssist_.GetHwnd()};
}

bool LoginView::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_BUTTON_LOGIN && code == BN_CLICKED) {
        Login();
        return true;
    }
    return SkinDialog::OnCommand(id, code, control);
}
