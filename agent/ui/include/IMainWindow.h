#pragma once

class AgentController;

// The main dialog as its pages see it. UI thread only.
class IMainWindow {
public:
    // The controller the pages queue their commands on.
    virtual AgentController& GetController() = 0;
    // To the product list, only from the login page.
    virtual void ShowInspectionPage() = 0;
    // To the login page, only from the product list.
    virtual void ShowLoginPage() = 0;

protected:
    ~IMainWindow() = default;
};
