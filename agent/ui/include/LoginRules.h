#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The login page's rules as plain functions: field validation, automatic
// login, the error texts and the error line's layout.
namespace LoginRules {

// `text` without white space at either end.
std::wstring Trim(const std::wstring& text);

// The login button is enabled exactly when both trimmed texts have at least
// two characters.
bool IsLoginEnabled(const std::wstring& id, const std::wstring& password);

struct AutoLoginDecision {
    // The stored flag was set with an empty id or password: clear it.
    bool clearStoredFlag = false;
    // Automatic login is on (flag set and both texts stored).
    bool autoLogin = false;
    // The page logs in by itself on this show.
    bool loginNow = false;
};
// `firstShow`: no login has succeeded yet in this process. An installation
// cut short by a restart logs in without the automatic-login flag.
AutoLoginDecision DecideAutoLogin(bool storedAutoLogin, const std::wstring& storedId,
                                  const std::wstring& storedPassword, bool installing, bool firstShow);

// The language key of the error shown for a failed login (result < 0).
// The generic key carries one "%d" for the result.
std::wstring ErrorKeyFor(int result);
// The generic error with the result put in place of its one "%d"; any other
// '%' of the translated text stays as it is.
std::wstring FormatServerError(const std::wstring& translated, int result);

struct ErrorLayout {
    // How far the controls below the error line move down.
    int offset = 0;
    // The error line's new rectangle.
    RECT errorRect = {};
};
// The error line shows `text` split at line feeds; its recorded rectangle is
// `errorRect`. Offset: lines × line height + 4; the line's height: lines ×
// line height.
ErrorLayout LayoutError(const std::wstring& text, const RECT& errorRect);
// Lines of `text` split at each line feed (one line for an empty text).
size_t CountLines(const std::wstring& text);

}  // namespace LoginRules
