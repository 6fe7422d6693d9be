#pragma once

#include <string>

// What the main dialog does when a command starts and when it completes, as
// plain data, so that the table can be checked without windows.
namespace CommandFlow {

enum class StartAction {
    None,
    ShowProgress,     // the progress text with the loading animation; its value is the result
    AskThenProgress,  // the reboot question, then the installing text unless declined
    CreatePopups,     // the notice and user-information windows, once
};

enum class CompleteAction {
    None,
    HideAndCheck,    // hide the overlay; a negative result logs out
    InstallResult,   // the result message of an installation, then hide
    RestartToLogin,  // restart the controller, then the login page
    ConfigChanged,   // kind 0: user button on; kind 1: the notice window
    Shutdown,        // end the program
};

struct Plan {
    StartAction start = StartAction::None;
    CompleteAction complete = CompleteAction::None;
    // The progress text key of ShowProgress and AskThenProgress.
    std::wstring progressKey;
};

Plan PlanFor(int commandType);

// The reboot question of AskThenProgress.
const wchar_t* RebootQuestionKey();

struct ResultMessage {
    bool show = false;
    std::wstring key;
    int flags = 0;
};
// The message after an installation command of `commandType` ended with
// `result`: success (flags 33) for 0 or more, failure (65) below, nothing
// for -1 (the user declined).
ResultMessage InstallResultMessage(int commandType, int result);

}  // namespace CommandFlow
