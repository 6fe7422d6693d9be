#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AgentController.h"
#include "IAgentCmdResponseHandler.h"
#include "IConfigChangeHandler.h"
#include "IMainWindow.h"
#include "ISessionChangeHandler.h"
#include "InspectionView.h"
#include "InstallProgressText.h"
#include "LoginView.h"
#include "Lumen/SynchronizedQueue.h"
#include "MessageView.h"
#include "NoticeView.h"
#include "SkinDialog.h"
#include "TrayIcon.h"
#include "TrayMenuRules.h"
#include "UserInfoView.h"

// The agent's main window: hosts the pages, owns the controller and the
// tray icon, and turns every command's start and completion into what the
// user sees. Window work on the UI thread; OnTokenExpired, OnConfigChanged
// and OnCommandCancel may arrive on other threads and only queue or post.
class PavoAgentDlg : public Lumen::SkinDialog,
                     public IMainWindow,
                     public IAgentCmdResponseHandler,
                     public IConfigChangeHandler,
                     public ISessionChangeHandler {
public:
    static constexpr UINT WM_AGENT_SHOW_LOGIN = 1537;
    static constexpr UINT WM_AGENT_TRAY_NOTIFY = 1538;
    static constexpr UINT WM_AGENT_SHOW_BALLOON = 1539;
    static constexpr UINT_PTR TIMER_TRAY_RETRY = 2001;
    static constexpr UINT_PTR TIMER_BALLOON_CLEAR = 2002;

    PavoAgentDlg();
    ~PavoAgentDlg() override;

    // IMainWindow
    AgentController& GetController() override { return controller_; }
    void ShowInspectionPage() override;
    void ShowLoginPage() override;

    // IAgentCmdResponseHandler
    void OnCommandStart(std::shared_ptr<AgentCmdBase> command) override;
    void OnCommandComplete(std::shared_ptr<AgentCmdBase> command) override;
    void OnCommandCancel() override;

    // IConfigChangeHandler
    void OnConfigChanged(int kind) override;
    // ISessionChangeHandler
    void OnTokenExpired() override;

    // Start-up steps of the program that the window waits for only where it
    // must, each run once on the window's thread: `beforePages` in
    // OnInitDialog before the first page is made (the pages show the
    // configuration), `afterFirstPaint` once the first page is painted.
    void SetStartupSteps(std::function<void()> beforePages, std::function<void()> afterFirstPaint);

    // Queues a balloon tip; shown one per posted message.
    void PushBalloonTip(const std::wstring& title, const std::wstring& text);

    // The tray menu as it would open now (the root menu: destroy it).
    HMENU BuildTrayMenu();

    // For the program's own checks and tests.
    LoginView& GetLoginView() { return loginView_; }
    InspectionView& GetInspectionView()
    {
        EnsureLaterPages();
        return inspectionView_;
    }
    MessageView& GetMessageView()
    {
        EnsureLaterPages();
        return messageView_;
    }
    NoticeView* GetNoticeView() { return noticeView_.get(); }
    UserInfoView* GetUserInfoView() { return userInfoView_.get(); }
    IPage* GetCurrentPage() const { return currentPage_; }
    bool IsTrayIconPresent() const { return trayIconPresent_; }
    int GetBalloonsPushed() const { return balloonsPushed_; }
    TrayMenuRules::Page CurrentPageKind() const;
    // A command notification is running on this thread (perhaps inside a
    // modal loop of its own).
    bool IsInNotification() const { return notificationDepth_ > 0; }

    // The overlay's buttons while it is up, else the current page's controls.
    std::vector<HWND> GetTabOrder() override;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    void OnCustomButton() override;
    void OnHelpButton() override {}

private:
    // Posted to ourselves: work that must not run inside a controller notification.
    static constexpr UINT kRestartAfterLogout = WM_APP + 0x41;
    static constexpr UINT kDestroySelf = WM_APP + 0x42;
    // Posted by the controller's worker: the installation's progress has moved.
    static constexpr UINT kInstallProgress = WM_APP + 0x43;
    // Set once the login page has been painted: the work nobody waits for
    // (the later pages, the tray icon, the application's own step) starts a
    // moment later, when the thread has been idle. Until then the processor
    // is left to whatever puts the first picture on the screen.
    static constexpr UINT_PTR kAfterFirstPaintTimer = 2003;
    static constexpr UINT kAfterFirstPaintDelayMs = 100;

    // Counts the notifications on the stack; the last one out posts again
    // what had to wait for them.
    class NotificationScope {
    public:
        explicit NotificationScope(PavoAgentDlg& dialog) : dialog_(dialog) { ++dialog_.notificationDepth_; }
        ~NotificationScope()
        {
            if (--dialog_.notificationDepth_ == 0) dialog_.PostDeferredEnds();
        }
        NotificationScope(const NotificationScope&) = delete;
        NotificationScope& operator=(const NotificationScope&) = delete;

    private:
        PavoAgentDlg& dialog_;
    };

    // Posts `message` (a restart or the window's end) and refuses every
    // question from now on until it has run.
    void RequestEnd(UINT message);
    // True when a notification is on the stack: `deferred` is set and the
    // overlay's wait is ended, so that the stack unwinds.
    bool DeferWhileNotifying(bool& deferred);
    void PostDeferredEnds();
    void RestartAfterLogout();

    void CreatePages();
    // The product list: made right after the first paint, or at once by
    // whatever needs it first.
    void EnsureLaterPages();
    template <class Page>
    bool CreateChildPage(Page& page, UINT templateId);
    void AddTrayIcon();
    // The work left for after the first paint, once.
    void RunAfterFirstPaint();
    void OnTrayNotify(LPARAM mouseMessage);
    void ShowTrayMenu();
    void ShowNextBalloon();
    void OnShowLogin();
    void SwitchPage(IPage* page, Lumen::SkinDialog& window, DWORD animation);
    void BringToForeground();
    // The page just shown takes the focus unless the overlay covers it or
    // the page has taken it itself.
    void FocusPage(IPage* page, HWND window);
    void OpenMainWindow();
    void Logout();
    void SwitchToTestMode();
    void SwitchToNormalMode();
    void StoreDemoNotice();
    void ShowNoticeWindow();
    void ShowUserInfoWindow();
    void CreatePopups();
    void RunAboutBox();
    void Shutdown();
    void RedrawCaption();
    void OnInstallProgress();
    void ShowTaskbarProgress(const InstallProgressText::TaskbarState& state);

    MessageView messageView_;
    std::unique_ptr<NoticeView> noticeView_;
    std::unique_ptr<UserInfoView> userInfoView_;
    LoginView loginView_;
    InspectionView inspectionView_;
    HWND currentWindow_ = nullptr;
    IPage* currentPage_ = nullptr;
    Lumen::SynchronizedQueue<BALLOON_TIP> balloons_;
    AgentController controller_;
    HICON icon_ = nullptr;
    TrayIcon tray_;
    bool trayIconPresent_ = false;
    bool shutDown_ = false;
    int notificationDepth_ = 0;
    // A restart or the end is posted: synchronous commands are not asked.
    bool endRequested_ = false;
    bool restartDeferred_ = false;
    bool destroyDeferred_ = false;
    bool laterPagesMade_ = false;
    bool firstPaintDone_ = false;
    std::function<void()> beforePages_;
    std::function<void()> afterFirstPaint_;
    std::atomic<int> balloonsPushed_{0};
};
