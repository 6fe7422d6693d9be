#include "TrayMenuRules.h"

namespace TrayMenuRules {

MenuState StateFor(Page page, int64_t noticeId, bool testMode)
{
    MenuState state;
    state.removeLogout = !testMode;
    state.removeExit = !testMode;
    if (page == Page::Inspection) {
        state.grayNotice = noticeId == 0;
    } else {
        state.grayRefresh = true;
        state.grayNotice = true;
    }
    return state;
}

}  // namespace TrayMenuRules
