#include "PavoAgentDlg.h"

#include <utility>

#include "AgentCmdCheckProduct.h"
#include "AgentCmdLogout.h"
#include "AgentCmdNotifyConfigChange.h"
#include "AgentCmdStopService.h"
#include "CAboutDlg.h"
#include "CommandFlow.h"
#include "ConfigManager.h"
#include "CrossProcessMessages.h"
#include "Lumen/LogManager.h"
#include "MessageViewFlags.h"
#include "UiText.h"
#include "resource.h"

using Lumen::LogManager;

namespace {

// "TaskbarCreated": the shell was (re)started and the tray is new.
UINT g_taskbarCreated = 0;

const wchar_t* const kTrayTip = L"Pavo 통합에이전트";
const wchar_t* const kTestModeSuffix = L"테스트 모드 동작중";

void TranslateMenu(HMENU menu, const Lumen::SkinDialog& dialog)
{
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STRING | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = 128;
        if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info) || (info.fType & MFT_SEPARATOR) != 0) continue;
        const std::wstring translated = dialog.GetString(text);
        MENUITEMINFOW change = {};
        change.cbSize = sizeof(change);
        change.fMask = MIIM_STRING;
        change.dwTypeData = const_cast<wchar_t*>(translated.c_str());
        ::SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &change);
    }
}

}  // namespace

PavoAgentDlg::PavoAgentDlg() : SkinDialog(IDD_PAVOAGENT_DIALOG)
{
    icon_ = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                            0, 0, LR_DEFAULTSIZE | LR_SHARED));
    SetCreationIcons(icon_, icon_);
    if (g_taskbarCreated == 0) g_taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    messageView_.SetCoveredPage(&currentPage_);
}

PavoAgentDlg::~PavoAgentDlg()
{
    if (GetHwnd() != nullptr && ::IsWindow(GetHwnd())) DestroyWindow();
    controller_.Stop();
}

BOOL PavoAgentDlg::OnInitDialog()
{
    const BOOL result = SkinDialog::OnInitDialog();
    UiText::TranslateWindowTexts(*this);
    if (HFONT caption = UiText::CaptionFontInFace(captionFont_.Get(), GetLogFont())) captionFont_.Reset(caption);
    const HWND hwnd = GetHwnd();
    GetTaskbarManager().SetAcceptsMessage(
        CrossProcessMessages::Allow(CrossProcessMessages::Target::MainWindow, hwnd));
    if (HMENU system = ::GetSystemMenu(hwnd, FALSE)) {
        wchar_t about[64] = {};
        if (::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 64) > 0) {
            ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, GetString(about).c_str());
        }
    }
    // Given as the window was made (SetCreationIcons); again only where that did not take.
    if (::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0) != reinterpret_cast<LRESULT>(icon_)) {
        ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    }
    if (::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0) != reinterpret_cast<LRESULT>(icon_)) {
        ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    }

    CreatePages();
    // The window shows once, when this returns, placed and with its first
    // page: no paint of an empty window, no second one after a move.
    EnableUserButton(false);
    CenterOn(nullptr);
    ::ShowWindow(loginView_.GetHwnd(), SW_SHOW);
    // The icon is added right after the first paint (RunAfterFirstPaint).
    tray_.Bind(hwnd, WM_AGENT_TRAY_NOTIFY, icon_, GetString(kTrayTip));
    ConfigManager::GetInstance()->RegisterChangeHandler(this);
    controller_.SetProgressTarget(hwnd, kInstallProgress);
    // The controller's thread starts once the first page is painted
    // (RunAfterFirstPaint): a command queued before then waits for it.
    ::PostMessageW(hwnd, WM_AGENT_SHOW_LOGIN, 0, 0);
    return result;
}

template <class Page>
bool PavoAgentDlg::CreateChildPage(Page& page, UINT templateId)
{
    if (!page.Create(templateId, GetHwnd())) return false;
    ::SetWindowLongPtrW(page.GetHwnd(), GWLP_ID, static_cast<LONG_PTR>(templateId));
    ::ShowWindow(page.GetHwnd(), SW_HIDE);
    return true;
}

void PavoAgentDlg::SetStartupSteps(std::function<void()> beforePages, std::function<void()> afterFirstPaint)
{
    beforePages_ = std::move(beforePages);
    afterFirstPaint_ = std::move(afterFirstPaint);
}

void PavoAgentDlg::CreatePages()
{
    if (beforePages_) std::exchange(beforePages_, nullptr)();
    if (ConfigManager::GetInstance()->IsTestMode()) SetSubText(GetString(kTestModeSuffix));
    loginView_.SetMainWindow(this);
    CreateChildPage(loginView_, IDD_LOGIN_VIEW);
    inspectionView_.SetMainWindow(this);
}

void PavoAgentDlg::EnsureLaterPages()
{
    if (laterPagesMade_ || shutDown_ || GetHwnd() == nullptr) return;
    laterPagesMade_ = true;
    CreateChildPage(inspectionView_, IDD_INSPECTION_VIEW);
    // The overlay covers whichever page is up: it shows itself on top.
    CreateChildPage(messageView_, IDD_MESSAGE_VIEW);
}

// --- Pages ---

TrayMenuRules::Page PavoAgentDlg::CurrentPageKind() const
{
    if (currentPage_ == static_cast<const IPage*>(&loginView_)) return TrayMenuRules::Page::Login;
    if (currentPage_ == static_cast<const IPage*>(&inspectionView_)) return TrayMenuRules::Page::Inspection;
    return TrayMenuRules::Page::None;
}

void PavoAgentDlg::OnShowLogin()
{
    EnableUserButton(false);
    if (currentPage_ != &loginView_) {
        if (currentPage_ != nullptr) {
            currentPage_->OnPageHide();
            ::ShowWindow(currentWindow_, SW_HIDE);
        }
        // At the start the page is up already, and painted with the window below.
        if (!::IsWindowVisible(loginView_.GetHwnd())) {
            ::ShowWindow(loginView_.GetHwnd(), SW_SHOW);
            ::RedrawWindow(loginView_.GetHwnd(), nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        }
        currentPage_ = &loginView_;
        currentWindow_ = loginView_.GetHwnd();
        loginView_.OnPageShow();
    }
    BringToForeground();
    FocusPage(&loginView_, loginView_.GetHwnd());
    if (!firstPaintDone_) {
        firstPaintDone_ = true;
        // Painted now, so that the work after it waits for no paint message.
        ::UpdateWindow(GetHwnd());
        if (::SetTimer(GetHwnd(), kAfterFirstPaintTimer, kAfterFirstPaintDelayMs, nullptr) == 0) RunAfterFirstPaint();
    }
}

void PavoAgentDlg::FocusPage(IPage* page, HWND window)
{
    if (currentPage_ != page || ::IsWindowVisible(messageView_.GetHwnd())) return;
    const HWND active = ::GetActiveWindow();
    if (active != nullptr && active != GetHwnd()) return;
    const HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(window, focus)) return;
    page->FocusFirstControl();
}

std::vector<HWND> PavoAgentDlg::GetTabOrder()
{
    if (::IsWindowVisible(messageView_.GetHwnd())) return messageView_.GetTabOrder();
    if (currentPage_ == &loginView_) return loginView_.GetTabOrder();
    if (currentPage_ == &inspectionView_) return inspectionView_.GetTabOrder();
    return {};
}

void PavoAgentDlg::SwitchPage(IPage* page, Lumen::SkinDialog& window, DWORD animation)
{
    currentPage_->OnPageHide();
    ::ShowWindow(currentWindow_, SW_HIDE);
    if (!::AnimateWindow(window.GetHwnd(), 150, AW_SLIDE | animation)) ::ShowWindow(window.GetHwnd(), SW_SHOW);
    ::RedrawWindow(window.GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Current before OnPageShow: the page's first command covers it with the overlay.
    currentPage_ = page;
    currentWindow_ = window.GetHwnd();
    page->OnPageShow();
    FocusPage(page, window.GetHwnd());
}

void PavoAgentDlg::ShowInspectionPage()
{
    EnsureLaterPages();
    if (currentPage_ != &loginView_) return;
    SwitchPage(&inspectionView_, inspectionView_, AW_HOR_NEGATIVE);
}

void PavoAgentDlg::ShowLoginPage()
{
    if (currentPage_ != &inspectionView_) return;
    EnableUserButton(false);
    SwitchPage(&loginView_, loginView_, AW_HOR_POSITIVE);
}

void PavoAgentDlg::BringToForeground()
{
    const HWND hwnd = GetHwnd();
    const HWND foreground = ::GetForegroundWindow();
    if (foreground == hwnd) return;
    const DWORD ours = ::GetCurrentThreadId();
    const DWORD theirs = foreground != nullptr ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
    if (theirs != 0 && theirs != ours) {
        if (::AttachThreadInput(ours, theirs, TRUE)) {
            ::SetForegroundWindow(hwnd);
            ::BringWindowToTop(hwnd);
            ::AttachThreadInput(ours, theirs, FALSE);
        }
        return;
    }
    // The foreground is ours already (or none): no input to attach.
    ::SetForegroundWindow(hwnd);
    ::BringWindowToTop(hwnd);
}

void PavoAgentDlg::OpenMainWindow()
{
    const HWND hwnd = GetHwnd();
    if (::IsIconic(hwnd)) {
        ::ShowWindow(hwnd, SW_RESTORE);
    } else {
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
    }
    BringToForeground();
    ::FlashWindow(hwnd, TRUE);
}

// --- Tray ---

void PavoAgentDlg::AddTrayIcon()
{
    trayIconPresent_ = tray_.Add();
    if (!trayIconPresent_) ::SetTimer(GetHwnd(), TIMER_TRAY_RETRY, 1000, nullptr);
}

void PavoAgentDlg::OnTrayNotify(LPARAM mouseMessage)
{
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_CONTEXTMENU:
    case WM_RBUTTONUP:
        ShowTrayMenu();
        break;
    case WM_LBUTTONDBLCLK:
        OpenMainWindow();
        break;
    default:
        break;
    }
}

HMENU PavoAgentDlg::BuildTrayMenu()
{
    HMENU root = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_TRAY));
    if (root == nullptr) return nullptr;
    HMENU popup = ::GetSubMenu(root, 0);
    if (popup == nullptr) return root;
    const TrayMenuRules::MenuState state =
        TrayMenuRules::StateFor(CurrentPageKind(), ConfigManager::GetInstance()->GetNotice().id,
                                ConfigManager::GetInstance()->IsTestMode());
    if (state.removeLogout) ::DeleteMenu(popup, ID_TRAY_LOGOUT, MF_BYCOMMAND);
    if (state.removeExit) ::DeleteMenu(popup, ID_TRAY_EXIT, MF_BYCOMMAND);
    if (state.grayRefresh) ::EnableMenuItem(popup, ID_TRAY_REFRESH, MF_BYCOMMAND | MF_GRAYED);
    if (state.grayNotice) ::EnableMenuItem(popup, ID_TRAY_NOTICE, MF_BYCOMMAND | MF_GRAYED);
    TranslateMenu(popup, *this);
    return root;
}

void PavoAgentDlg::ShowTrayMenu()
{
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    ::SetForegroundWindow(GetHwnd());
    HMENU root = BuildTrayMenu();
    if (root == nullptr) return;
    if (HMENU popup = ::GetSubMenu(root, 0)) {
        ::TrackPopupMenu(popup, TPM_LEFTALIGN, cursor.x, cursor.y, 0, GetHwnd(), nullptr);
    }
    ::DestroyMenu(root);
}

void PavoAgentDlg::PushBalloonTip(const std::wstring& title, const std::wstring& text)
{
    balloons_.Push(BALLOON_TIP{title, text});
    ++balloonsPushed_;
    if (GetHwnd() != nullptr) ::PostMessageW(GetHwnd(), WM_AGENT_SHOW_BALLOON, 0, 0);
}

void PavoAgentDlg::ShowNextBalloon()
{
    if (balloons_.Size() == 0) return;
    BALLOON_TIP tip;
    if (!balloons_.Pop(tip)) return;
    ::KillTimer(GetHwnd(), TIMER_BALLOON_CLEAR);
    if (!trayIconPresent_) AddTrayIcon();
    if (tray_.ShowBalloon(tip.title, tip.text)) ::SetTimer(GetHwnd(), TIMER_BALLOON_CLEAR, 4000, nullptr);
}

void PavoAgentDlg::OnTimer(UINT_PTR id)
{
    if (id == TIMER_TRAY_RETRY) {
        ::KillTimer(GetHwnd(), TIMER_TRAY_RETRY);
        AddTrayIcon();
    } else if (id == TIMER_BALLOON_CLEAR) {
        ::KillTimer(GetHwnd(), TIMER_BALLOON_CLEAR);
        tray_.ClearBalloon();
    } else if (id == kAfterFirstPaintTimer) {
        ::KillTimer(GetHwnd(), kAfterFirstPaintTimer);
        RunAfterFirstPaint();
    }
}

void PavoAgentDlg::RunAfterFirstPaint()
{
    if (!shutDown_ && !controller_.Start(this, this)) {
        LogManager::GetInstance()->Error(L"[%s, %d] 에이전트 컨트롤러 시작에 실패했습니다.", L"PavoAgentDlg::OnInitDialog",
                                         __LINE__);
    }
    EnsureLaterPages();
    if (!shutDown_ && !trayIconPresent_) AddTrayIcon();
    if (afterFirstPaint_) std::exchange(afterFirstPaint_, nullptr)();
}

// --- Commands of the menu and the accelerators ---

bool PavoAgentDlg::OnCommand(WORD id, WORD, HWND)
{
    switch (id) {
    case ID_TRAY_OPEN:
        OpenMainWindow();
        return true;
    case ID_TRAY_REMOTE_ASSIST:
        UiText::OpenRemoteAssistance(GetString(L"REMOTE_ASSIST_URL"));
        return true;
    case ID_TRAY_REFRESH: {
        EnsureLaterPages();
        OpenMainWindow();
        auto check = std::make_shared<AgentCmdCheckProduct>();
        check->SetResponseHandler(&inspectionView_);
        controller_.PushCommand(check);
        return true;
    }
    case ID_TRAY_NOTICE:
        ShowNoticeWindow();
        return true;
    case ID_TRAY_ABOUT:
        RunAboutBox();
        return true;
    case ID_TRAY_LOGOUT:
        LogManager::GetInstance()->Info(L"사용자가 로그아웃을 시도합니다.");
        Logout();
        return true;
    case ID_TRAY_EXIT:
        OnCommandCancel();
        controller_.PushCommand(std::make_shared<AgentCmdStopService>());
        return true;
    case ID_ACCEL_TEST_MODE:
        SwitchToTestMode();
        return true;
    case ID_ACCEL_NORMAL_MODE:
        SwitchToNormalMode();
        return true;
    case ID_ACCEL_DEMO_NOTICE:
        StoreDemoNotice();
        return true;
    default:
        return false;
    }
}

void PavoAgentDlg::RunAboutBox()
{
    CAboutDlg about;
    about.DoModal(GetHwnd());
}

void PavoAgentDlg::Logout()
{
    LogManager::GetInstance()->Info(L"로그아웃을 진행합니다.");
    controller_.PushCommand(std::make_shared<AgentCmdLogout>());
}

void PavoAgentDlg::OnTokenExpired()
{
    LogManager::GetInstance()->Info(L"서버 접속 토큰이 만료되었습니다.");
    Logout();
}

void PavoAgentDlg::OnConfigChanged(int kind)
{
    controller_.PushCommand(std::make_shared<AgentCmdNotifyConfigChange>(kind));
}

void PavoAgentDlg::RedrawCaption()
{
    ::RedrawWindow(GetHwnd(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void PavoAgentDlg::SwitchToTestMode()
{
    ConfigManager* config = ConfigManager::GetInstance();
    if (config->IsTestMode()) return;
    config->SetTestMode(true);
    SetSubText(GetString(kTestModeSuffix));
    RedrawCaption();
    PushBalloonTip(GetString(kTrayTip), GetString(L"테스트 모드로 전환됩니다."));
}

void PavoAgentDlg::SwitchToNormalMode()
{
    ConfigManager* config = ConfigManager::GetInstance();
    if (!config->IsTestMode()) return;
    config->SetTestMode(false);
    SetSubText(GetString(L""));
    RedrawCaption();
    PushBalloonTip(GetString(kTrayTip), GetString(L"일반 모드로 전환됩니다."));
}

void PavoAgentDlg::StoreDemoNotice()
{
    ConfigManager* config = ConfigManager::GetInstance();
    if (!config->IsTestMode()) return;
    NOTICE_INFO notice;
    notice.title = GetString(L"데모용 공지 사항입니다.");
    notice.body = L"<h1>" + GetString(L"데모용 공지 사항입니다.") +
                  L"</h1><br><a href=\"https://www.example.com/\" target=\"_blank\">www.example.com</a>";
    notice.id = 1;
    notice.date = L"2023-07-10 오후 02:00";
    config->SetNotice(notice);
}

// --- Popups ---

void PavoAgentDlg::CreatePopups()
{
    if (!userInfoView_) {
        auto view = std::make_unique<UserInfoView>();
        if (view->Create(IDD_USERINFO_VIEW, GetHwnd())) {
            ::SetWindowLongPtrW(view->GetHwnd(), GWLP_ID, IDD_USERINFO_VIEW);
            userInfoView_ = std::move(view);
        }
    }
    if (!noticeView_) {
        auto view = std::make_unique<NoticeView>();
        if (view->Create(IDD_NOTICE_VIEW, GetHwnd())) {
            ::SetWindowLongPtrW(view->GetHwnd(), GWLP_ID, IDD_NOTICE_VIEW);
            noticeView_ = std::move(view);
        }
    }
}

void PavoAgentDlg::ShowNoticeWindow()
{
    if (!noticeView_ || ::IsWindowVisible(noticeView_->GetHwnd())) return;
    noticeView_->SetNotice(ConfigManager::GetInstance()->GetNotice());
    noticeView_->CenterOn(GetHwnd());
    ::ShowWindow(noticeView_->GetHwnd(), SW_SHOW);
    ::SetFocus(noticeView_->GetDlgItem(IDOK));
    // Painted now, frame and children alike: the window may come up while
    // other windows are busy with the overlay.
    ::RedrawWindow(noticeView_->GetHwnd(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void PavoAgentDlg::ShowUserInfoWindow()
{
    if (!userInfoView_ || ::IsWindowVisible(userInfoView_->GetHwnd())) return;
    ConfigManager* config = ConfigManager::GetInstance();
    userInfoView_->SetUserInfo(config->GetCompanyName(), config->GetCustomerId(), config->GetCustomerName());
    userInfoView_->CenterOn(GetHwnd());
    ::ShowWindow(userInfoView_->GetHwnd(), SW_SHOW);
    ::SetFocus(userInfoView_->GetDlgItem(IDOK));
}

void PavoAgentDlg::OnCustomButton()
{
    if (IsUserButtonEnabled()) ShowUserInfoWindow();
}

// --- Command start and completion ---

void PavoAgentDlg::OnCommandStart(std::shared_ptr<AgentCmdBase> command)
{
    if (!command) return;
    EnsureLaterPages();
    const NotificationScope scope(*this);
    if (endRequested_ && command->IsSynchronous()) {
        // A restart or the end is on its way: nothing is asked, nothing runs.
        LogManager::GetInstance()->Info(L"종료 대기 중이라 명령을 취소합니다. type : %d", command->GetType());
        command->SetResult(-1);
        return;
    }
    const CommandFlow::Plan plan = CommandFlow::PlanFor(command->GetType());
    IAgentCmdResponseHandler* own = command->GetResponseHandler();
    // A page hears of a command that asks first only with the answer: what
    // it keeps for the command must not be kept before the user agreed.
    const bool asks = plan.start == CommandFlow::StartAction::AskThenProgress;
    if (own != nullptr && !asks) own->OnCommandStart(command);
    int answer = command->GetResult();
    switch (plan.start) {
    case CommandFlow::StartAction::ShowProgress:
        answer = messageView_.ShowMessage(GetString(plan.progressKey), MessageViewFlags::kLoading);
        break;
    case CommandFlow::StartAction::AskThenProgress:
        answer = messageView_.ShowMessage(GetString(CommandFlow::RebootQuestionKey()),
                                          MessageViewFlags::kLoadingQuestion);
        if (answer >= 0) answer = messageView_.ShowMessage(GetString(plan.progressKey), MessageViewFlags::kLoading);
        break;
    case CommandFlow::StartAction::CreatePopups:
        CreatePopups();
        return;
    case CommandFlow::StartAction::None:
        return;
    }
    // Only a synchronous command waits for this handler: the worker of any
    // other one may have stored its own result already.
    if (command->IsSynchronous()) command->SetResult(answer);
    if (own != nullptr && asks) own->OnCommandStart(command);
}

void PavoAgentDlg::OnCommandComplete(std::shared_ptr<AgentCmdBase> command)
{
    if (!command) return;
    const NotificationScope scope(*this);
    EnsureLaterPages();
    const CommandFlow::Plan plan = CommandFlow::PlanFor(command->GetType());
    const int result = command->GetResult();
    switch (plan.complete) {
    case CommandFlow::CompleteAction::HideAndCheck:
        messageView_.HideMessage();
        if (result < 0) {
            LogManager::GetInstance()->Error(L"[%s, %d] 에이전트 명령 실행 오류, result : %d",
                                             L"PavoAgentDlg::OnCheckProductHandler", __LINE__, result);
            Logout();
        }
        break;
    case CommandFlow::CompleteAction::InstallResult: {
        const CommandFlow::ResultMessage message = CommandFlow::InstallResultMessage(command->GetType(), result);
        // The taskbar button says how it ended for as long as the message does.
        ShowTaskbarProgress(InstallProgressText::TaskbarForResult(result));
        if (message.show) messageView_.ShowMessage(GetString(message.key), message.flags);
        messageView_.HideMessage();
        ShowTaskbarProgress(InstallProgressText::TaskbarState());
        break;
    }
    case CommandFlow::CompleteAction::RestartToLogin:
        RequestEnd(kRestartAfterLogout);
        break;
    case CommandFlow::CompleteAction::ConfigChanged: {
        const int kind = static_cast<AgentCmdNotifyConfigChange&>(*command).GetKind();
        if (kind == IConfigChangeHandler::kCustomerChanged) {
            EnableUserButton(true);
            RedrawFrame();
        } else if (kind == IConfigChangeHandler::kNoticeChanged) {
            ShowNoticeWindow();
        }
        break;
    }
    case CommandFlow::CompleteAction::Shutdown:
        RequestEnd(kDestroySelf);
        break;
    case CommandFlow::CompleteAction::None:
        break;
    }
    if (IAgentCmdResponseHandler* own = command->GetResponseHandler()) own->OnCommandComplete(command);
}

void PavoAgentDlg::RequestEnd(UINT message)
{
    endRequested_ = true;
    ::PostMessageW(GetHwnd(), message, 0, 0);
}

bool PavoAgentDlg::DeferWhileNotifying(bool& deferred)
{
    if (notificationDepth_ == 0) return false;
    // Stopping the controller or destroying the window under a notification
    // would pull the windows and the worker from under its frames.
    deferred = true;
    messageView_.EndWaitFromAnyThread();
    return true;
}

void PavoAgentDlg::PostDeferredEnds()
{
    if (restartDeferred_) {
        restartDeferred_ = false;
        ::PostMessageW(GetHwnd(), kRestartAfterLogout, 0, 0);
    }
    if (destroyDeferred_) {
        destroyDeferred_ = false;
        ::PostMessageW(GetHwnd(), kDestroySelf, 0, 0);
    }
}

void PavoAgentDlg::RestartAfterLogout()
{
    controller_.Stop();
    endRequested_ = false;
    controller_.Start(this, this);
    ShowLoginPage();
}

void PavoAgentDlg::OnInstallProgress()
{
    InstallProgress progress;
    if (!controller_.TakeProgress(&progress)) return;
    std::wstring step = GetString(InstallProgressText::StepKey(progress.step));
    // Before the answer's headers there is no size to show yet.
    if (progress.step == InstallProgress::Step::Downloading && (progress.received > 0 || progress.hasTotal))
        step += L" " + InstallProgressText::SizeText(progress.received, progress.total, progress.hasTotal);
    messageView_.ShowProgress(GetString(progress.productCode), step,
                              InstallProgressText::CountText(progress.index, progress.count));
    ShowTaskbarProgress(InstallProgressText::TaskbarFor(progress));
}

void PavoAgentDlg::ShowTaskbarProgress(const InstallProgressText::TaskbarState& state)
{
    Lumen::TaskbarManager& taskbar = GetTaskbarManager();
    if (state.total != 0) {
        taskbar.SetProgressValue(state.completed, state.total);
        if (state.flag != TBPF_NORMAL) taskbar.SetProgressState(state.flag);
    } else {
        taskbar.SetProgressState(state.flag);
    }
}

void PavoAgentDlg::OnCommandCancel()
{
    messageView_.EndWaitFromAnyThread();
}

// --- Messages ---

bool PavoAgentDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            RunAboutBox();
            result = 0;
            return true;
        }
        result = DefaultProc(message, wParam, lParam);
        if (::IsWindow(GetHwnd())) RedrawFrame();
        return true;
    case WM_PAINT:
        if (::IsIconic(GetHwnd())) {
            PAINTSTRUCT paint = {};
            HDC dc = ::BeginPaint(GetHwnd(), &paint);
            ::SendMessageW(GetHwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            RECT client = {};
            ::GetClientRect(GetHwnd(), &client);
            const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
            const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
            ::DrawIcon(dc, x, y, icon_);
            ::EndPaint(GetHwnd(), &paint);
            result = 0;
            return true;
        }
        break;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(icon_);
        return true;
    case WM_DESTROY:
        SkinDialog::OnMessage(message, wParam, lParam, result);
        Shutdown();
        result = 0;
        return true;
    case WM_AGENT_SHOW_LOGIN:
        OnShowLogin();
        result = 0;
        return true;
    case WM_AGENT_TRAY_NOTIFY:
        OnTrayNotify(lParam);
        result = 0;
        return true;
    case WM_AGENT_SHOW_BALLOON:
        ShowNextBalloon();
        result = 0;
        return true;
    case kRestartAfterLogout:
        if (!DeferWhileNotifying(restartDeferred_)) RestartAfterLogout();
        result = 0;
        return true;
    case kInstallProgress:
        OnInstallProgress();
        result = 0;
        return true;
    case kDestroySelf:
        if (!DeferWhileNotifying(destroyDeferred_)) ::DestroyWindow(GetHwnd());
        result = 0;
        return true;
    default:
        if (message == g_taskbarCreated && g_taskbarCreated != 0) {
            AddTrayIcon();
            result = 1;
            return true;
        }
        break;
    }
    return SkinDialog::OnMessage(message, wParam, lParam, result);
}

void PavoAgentDlg::Shutdown()
{
    if (shutDown_) return;
    shutDown_ = true;
    GetTaskbarManager().Release();
    ::KillTimer(GetHwnd(), TIMER_TRAY_RETRY);
    ::KillTimer(GetHwnd(), TIMER_BALLOON_CLEAR);
    ::KillTimer(GetHwnd(), kAfterFirstPaintTimer);
    tray_.Delete();
    trayIconPresent_ = false;
    if (noticeView_ && noticeView_->IsCreated()) noticeView_->DestroyWindow();
    if (userInfoView_ && userInfoView_->IsCreated()) userInfoView_->DestroyWindow();
    if (messageView_.IsCreated()) messageView_.DestroyWindow();
    if (loginView_.IsCreated()) loginView_.DestroyWindow();
    if (inspectionView_.IsCreated()) inspectionView_.DestroyWindow();
    currentPage_ = nullptr;
    currentWindow_ = nullptr;
    controller_.Stop();
    ::PostQuitMessage(0);
}
