#pragma once

#include <memory>
#include <string>
#include <vector>

#include "IAgentCmdResponseHandler.h"
#include "IPage.h"
#include "SkinButton.h"
#include "SkinDialog.h"
#include "SkinEditWithClear.h"
#include "SkinLinkCtrl.h"
#include "SkinStatic.h"

// The login page: id and password, automatic login, the error line.
// UI thread only.
class LoginView : public Lumen::SkinDialog,
                  public IPage,
                  public IAgentCmdResponseHandler,
                  public Lumen::EditWithClear::IEditChangeHandler {
public:
    LoginView();

    // IPage
    HWND GetPageWindow() override { return GetHwnd(); }
    void OnPageShow() override;
    void OnPageHide() override {}
    void FocusFirstControl() override { id_.SetEditFocus(); }

    // IAgentCmdResponseHandler
    void OnCommandStart(std::shared_ptr<AgentCmdBase> command) override;
    void OnCommandComplete(std::shared_ptr<AgentCmdBase> command) override;
    void OnCommandCancel() override {}

    // IEditChangeHandler
    void OnEditChanged(Lumen::EditWithClear* edit) override;
    void OnEditTab(Lumen::EditWithClear* edit) override;
    void OnEditReturn(Lumen::EditWithClear* edit) override;

    bool PreTranslateMessage(MSG* msg) override;
    // ID, password, "Log in", automatic login, remote support.
    std::vector<HWND> GetTabOrder() override;

    // Shows `text` (already translated) on the error line, moving the
    // controls below it down.
    void ShowError(const std::wstring& text);
    bool IsFirstShow() const { return firstShow_; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    // Logs in with the fields' texts; an empty one is reported in a message box.
    void Login();
    void QueueLogin(const std::wstring& id, const std::wstring& password);
    void UpdateLoginButton();
    void RestoreLayout();
    bool IsWithin(HWND hwnd, const Lumen::Window& control) const;

    Lumen::SkinEditWithClear id_;
    Lumen::SkinEditWithClear password_;
    Lumen::SkinButton login_;
    Lumen::SkinButton autoLogin_;
    Lumen::SkinLinkCtrl remoteAssist_;
    Lumen::SkinStatic error_;
    Lumen::SkinStatic phoneLabel_;
    Lumen::SkinStatic phone_;
    bool firstShow_ = true;
};
