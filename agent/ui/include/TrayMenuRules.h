#pragma once

#include <cstdint>

// Which items of the tray menu are removed or grayed, from the current page,
// the stored notice and the mode.
namespace TrayMenuRules {

enum class Page { None, Login, Inspection };

struct MenuState {
    bool removeLogout = false;   // "로그아웃" (32781)
    bool removeExit = false;     // "종료" (32773)
    bool grayRefresh = false;    // "목록 새로고침" (32778)
    bool grayNotice = false;     // "공지사항" (32779)
};

MenuState StateFor(Page page, int64_t noticeId, bool testMode);

}  // namespace TrayMenuRules
