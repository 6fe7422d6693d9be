#include "LoginRules.h"

#include <cwctype>

namespace LoginRules {

std::wstring Trim(const std::wstring& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::iswspace(text[begin])) ++begin;
    while (end > begin && std::iswspace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool IsLoginEnabled(const std::wstring& id, const std::wstring& password)
{
    return Trim(id).size() >= 2 && Trim(password).size() >= 2;
}

AutoLoginDecision DecideAutoLogin(bool storedAutoLogin, const std::wstring& storedId,
                                  const std::wstring& storedPassword, bool installing, bool firstShow)
{
    AutoLoginDecision decision;
    const bool bothStored = !storedId.empty() && !storedPassword.empty();
    decision.autoLogin = storedAutoLogin && bothStored;
    decision.clearStoredFlag = storedAutoLogin && !bothStored;
    decision.loginNow = firstShow && (decision.autoLogin || installing) && !Trim(storedId).empty() &&
                        !Trim(storedPassword).empty();
    return decision;
}

std::wstring ErrorKeyFor(int result)
{
    if (result == -9004) return L"아이디 또는 비밀번호 5회 오류로 사용이 제한되었습니다.\n관리자에게 문의해 주세요.";
    if (result == -9003) return L"아이디 또는 비밀번호를 확인해 주세요.";
    return L"서버 접속에 실패했습니다. (에러코드 : %d)";
}

std::wstring FormatServerError(const std::wstring& translated, int result)
{
    const size_t at = translated.find(L"%d");
    if (at == std::wstring::npos) return translated;
    return translated.substr(0, at) + std::to_wstring(result) + translated.substr(at + 2);
}

size_t CountLines(const std::wstring& text)
{
    size_t lines = 1;
    for (wchar_t c : text) {
        if (c == L'\n') ++lines;
    }
    return lines;
}

ErrorLayout LayoutError(const std::wstring& text, const RECT& errorRect)
{
    const int lines = static_cast<int>(CountLines(text));
    const int height = errorRect.bottom - errorRect.top;
    ErrorLayout layout;
    layout.offset = lines * height + 4;
    layout.errorRect = RECT{errorRect.left, errorRect.top, errorRect.right, errorRect.top + lines * height};
    return layout;
}

}  // namespace LoginRules
