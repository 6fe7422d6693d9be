// The page and tray rules as plain functions.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>
#include <utility>

#include "AgentCmdBase.h"
#include "CommandFlow.h"
#include "CrossProcessMessages.h"
#include "InstallProgressText.h"
#include "PavoAgentDlg.h"
#include "LoginRules.h"
#include "MessageViewFlags.h"
#include "ProductRowPool.h"
#include "TrayMenuRules.h"
#include "UiText.h"

using namespace LoginRules;

TEST(LoginRulesTest, TwoCharacterRuleIgnoresSurroundingWhiteSpace)
{
    EXPECT_FALSE(IsLoginEnabled(L"a", L"pw"));
    EXPECT_FALSE(IsLoginEnabled(L"id", L"p"));
    EXPECT_FALSE(IsLoginEnabled(L"  a \t", L"pw"));
    EXPECT_FALSE(IsLoginEnabled(L"id", L" \r\n "));
    EXPECT_TRUE(IsLoginEnabled(L"  ab ", L"pw"));
    EXPECT_TRUE(IsLoginEnabled(L"a b", L"p w"));
    EXPECT_EQ(Trim(L" \t한글 아이디\r\n"), L"한글 아이디");
    EXPECT_EQ(Trim(L"   "), L"");
}

TEST(LoginRulesTest, AutomaticLogin)
{
    // Flag on with both stored: logs in on the first show only.
    AutoLoginDecision d = DecideAutoLogin(true, L"demo", L"pw", false, true);
    EXPECT_TRUE(d.autoLogin);
    EXPECT_TRUE(d.loginNow);
    EXPECT_FALSE(d.clearStoredFlag);
    EXPECT_FALSE(DecideAutoLogin(true, L"demo", L"pw", false, false).loginNow) << "after a log-out the page waits";

    // Flag on with an empty password: the flag is cleared, nobody logs in.
    d = DecideAutoLogin(true, L"demo", L"", false, true);
    EXPECT_TRUE(d.clearStoredFlag);
    EXPECT_FALSE(d.autoLogin);
    EXPECT_FALSE(d.loginNow);

    // An interrupted installation logs in without the flag.
    d = DecideAutoLogin(false, L"demo", L"pw", true, true);
    EXPECT_FALSE(d.autoLogin);
    EXPECT_TRUE(d.loginNow);
    EXPECT_FALSE(DecideAutoLogin(false, L"demo", L"", true, true).loginNow);
    EXPECT_FALSE(DecideAutoLogin(false, L"demo", L"pw", false, true).loginNow);
    EXPECT_FALSE(DecideAutoLogin(true, L"  ", L"pw", false, true).loginNow) << "white space alone is no id";
}

TEST(LoginRulesTest, ErrorTextsAndLayout)
{
    EXPECT_EQ(ErrorKeyFor(-9004), L"아이디 또는 비밀번호 5회 오류로 사용이 제한되었습니다.\n관리자에게 문의해 주세요.");
    EXPECT_EQ(ErrorKeyFor(-9003), L"아이디 또는 비밀번호를 확인해 주세요.");
    EXPECT_EQ(ErrorKeyFor(-2), L"서버 접속에 실패했습니다. (에러코드 : %d)");
    EXPECT_EQ(FormatServerError(L"Server error (code: %d)", -9000), L"Server error (code: -9000)");
    // A translation with other '%' signs is text, never a format.
    EXPECT_EQ(FormatServerError(L"100% failed %s (%d) %n", -3), L"100% failed %s (-3) %n");
    EXPECT_EQ(FormatServerError(L"no code", -3), L"no code");

    const RECT line = {190, 234, 490, 250};  // 16 pixels high
    ErrorLayout one = LayoutError(L"one line", line);
    EXPECT_EQ(one.offset, 20);
    EXPECT_EQ(one.errorRect.top, 234);
    EXPECT_EQ(one.errorRect.bottom, 250);
    ErrorLayout two = LayoutError(L"first\nsecond", line);
    EXPECT_EQ(two.offset, 2 * 16 + 4);
    EXPECT_EQ(two.errorRect.left, 190);
    EXPECT_EQ(two.errorRect.right, 490);
    EXPECT_EQ(two.errorRect.bottom - two.errorRect.top, 32);
    EXPECT_EQ(CountLines(L"a\n\nb\n"), 4u);
}

TEST(CommandFlowTest, StartAndCompletionTable)
{
    using namespace CommandFlow;
    EXPECT_EQ(PlanFor(AgentCmdBase::kCheckProduct).start, StartAction::ShowProgress);
    EXPECT_EQ(PlanFor(AgentCmdBase::kCheckProduct).complete, CompleteAction::HideAndCheck);
    EXPECT_EQ(PlanFor(AgentCmdBase::kCheckProduct).progressKey,
              L"보안 소프트웨어 목록을 조회 중입니다.\n잠시만 기다려주세요.");
    for (int type : {static_cast<int>(AgentCmdBase::kInstallProduct), static_cast<int>(AgentCmdBase::kInstallAllProduct)}) {
        EXPECT_EQ(PlanFor(type).start, StartAction::AskThenProgress);
        EXPECT_EQ(PlanFor(type).complete, CompleteAction::InstallResult);
        EXPECT_EQ(PlanFor(type).progressKey, L"보안 소프트웨어를 설치 중입니다.\n잠시만 기다려주세요.");
    }
    EXPECT_EQ(PlanFor(AgentCmdBase::kContinueInstall).start, StartAction::ShowProgress);
    EXPECT_EQ(PlanFor(AgentCmdBase::kContinueInstall).complete, CompleteAction::InstallResult);
    EXPECT_EQ(PlanFor(AgentCmdBase::kLogout).start, StartAction::None);
    EXPECT_EQ(PlanFor(AgentCmdBase::kLogout).complete, CompleteAction::RestartToLogin);
    EXPECT_EQ(PlanFor(AgentCmdBase::kNotifyConfigChange).start, StartAction::CreatePopups);
    EXPECT_EQ(PlanFor(AgentCmdBase::kNotifyConfigChange).complete, CompleteAction::ConfigChanged);
    EXPECT_EQ(PlanFor(AgentCmdBase::kStopTray).complete, CompleteAction::Shutdown);
    for (int type : {static_cast<int>(AgentCmdBase::kStopService), static_cast<int>(AgentCmdBase::kSendTrayInfo), static_cast<int>(AgentCmdBase::kLogin), 1234}) {
        EXPECT_EQ(PlanFor(type).start, StartAction::None) << type;
        EXPECT_EQ(PlanFor(type).complete, CompleteAction::None) << type;
    }

    ResultMessage m = InstallResultMessage(AgentCmdBase::kInstallProduct, 0);
    EXPECT_TRUE(m.show);
    EXPECT_EQ(m.flags, 33);
    EXPECT_EQ(m.key, L"소프트웨어 설치가 완료되었습니다.");
    m = InstallResultMessage(AgentCmdBase::kInstallProduct, -2);
    EXPECT_EQ(m.flags, 65);
    EXPECT_EQ(m.key, L"소프트웨어 설치에 실패했습니다.\n해당 프로그램을 재설치 해주세요.");
    EXPECT_FALSE(InstallResultMessage(AgentCmdBase::kInstallProduct, -1).show) << "declined: no message";
    m = InstallResultMessage(AgentCmdBase::kContinueInstall, -9007);
    EXPECT_EQ(m.key, L"일부 소프트웨어 설치에 실패했습니다.\n해당 프로그램을 재설치 해주세요.");
    m = InstallResultMessage(AgentCmdBase::kInstallAllProduct, 3);
    EXPECT_EQ(m.key, L"모든 소프트웨어 설치가 완료되었습니다.");
    EXPECT_EQ(m.flags, 33);
}

TEST(TrayMenuRulesTest, ItemsPerPageNoticeAndMode)
{
    using namespace TrayMenuRules;
    MenuState s = StateFor(Page::Login, 7, false);
    EXPECT_TRUE(s.removeLogout && s.removeExit);
    EXPECT_TRUE(s.grayRefresh && s.grayNotice);
    s = StateFor(Page::None, 0, true);
    EXPECT_FALSE(s.removeLogout || s.removeExit);
    EXPECT_TRUE(s.grayRefresh && s.grayNotice);
    s = StateFor(Page::Inspection, 0, false);
    EXPECT_FALSE(s.grayRefresh);
    EXPECT_TRUE(s.grayNotice) << "no notice stored";
    s = StateFor(Page::Inspection, 3, true);
    EXPECT_FALSE(s.grayRefresh || s.grayNotice || s.removeLogout || s.removeExit);
}

TEST(MessageViewFlagsTest, FlagCombinationsInUse)
{
    using namespace MessageViewFlags;
    EXPECT_EQ(ButtonsOf(16), Buttons::None);
    EXPECT_EQ(PictureOf(16), Picture::Loading);
    EXPECT_FALSE(Waits(16));
    EXPECT_EQ(ButtonsOf(18), Buttons::ContinueCancel);
    EXPECT_EQ(PictureOf(18), Picture::Loading);
    EXPECT_EQ(ButtonsOf(33), Buttons::Ok);
    EXPECT_EQ(PictureOf(33), Picture::Success);
    EXPECT_EQ(ButtonsOf(65), Buttons::Ok);
    EXPECT_EQ(PictureOf(65), Picture::Failure);
    EXPECT_EQ(PictureOf(48), Picture::Info);
    EXPECT_EQ(ButtonsOf(3), Buttons::None);
    EXPECT_EQ(ResultOfWait(kEndCancel), -1);
    EXPECT_EQ(ResultOfWait(kEndContinue), 0);
    EXPECT_EQ(ResultOfWait(kEndOk), 0);
    EXPECT_EQ(ResultOfWait(-1), -1) << "a wait that ended without a button never continues an installation";
}

namespace {
struct FakeRow {
    bool attached = true;
    int id = 0;
};
}  // namespace

TEST(ProductRowPoolTest, ReusesRowsAndCreatesOnlyTheMissingOnes)
{
    ProductRowPool<FakeRow> pool;
    int made = 0;
    auto create = [&] {
        auto row = std::make_shared<FakeRow>();
        row->id = ++made;
        return row;
    };
    int detached = 0;
    auto detach = [&](FakeRow& row) {
        row.attached = false;
        ++detached;
    };
    EXPECT_EQ(pool.Prepare(3, detach, create), 3u);
    EXPECT_EQ(detached, 0);
    EXPECT_EQ(pool.Prepare(1, detach, create), 0u) << "fewer products: nothing new, nothing dropped";
    EXPECT_EQ(pool.Size(), 3u);
    EXPECT_EQ(detached, 3);
    EXPECT_EQ(pool.Prepare(5, detach, create), 2u);
    EXPECT_EQ(pool.Size(), 5u);
    EXPECT_EQ(pool.Rows()[0]->id, 1) << "the first rows are the old ones";
    EXPECT_EQ(pool.Rows()[4]->id, 5);
    // A row that cannot be made ends the growth without a null row.
    EXPECT_EQ(pool.Prepare(7, detach, [] { return std::shared_ptr<FakeRow>(); }), 0u);
    EXPECT_EQ(pool.Size(), 5u);

    EXPECT_EQ(GroupForProduct(true).state, 1);
    EXPECT_STREQ(GroupForProduct(true).textKey, L"설치 완료");
    EXPECT_EQ(GroupForProduct(false).state, 0);
    EXPECT_STREQ(GroupForProduct(false).textKey, L"설치 가능");
}

namespace {

std::vector<std::pair<HWND, UINT>> g_allowed;
UINT g_refused = 0;

BOOL WINAPI RecordFilter(HWND hwnd, UINT message, DWORD action, PCHANGEFILTERSTRUCT)
{
    if (action != MSGFLT_ALLOW || message == g_refused) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    g_allowed.emplace_back(hwnd, message);
    return TRUE;
}

}  // namespace

// The elevated agent hears the medium-integrity shell only through its
// windows' message filters. Wine has no such isolation (the filter call
// always succeeds), so the calls are recorded instead.
TEST(CrossProcessMessagesTest, EachShellMessageIsAllowedOnTheMainWindow)
{
    const HWND main = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    const std::set<UINT> expected = {::RegisterWindowMessageW(L"TaskbarCreated"),
                                     ::RegisterWindowMessageW(L"TaskbarButtonCreated"),
                                     PavoAgentDlg::WM_AGENT_TRAY_NOTIFY};
    g_allowed.clear();
    g_refused = 0;
    EXPECT_TRUE(CrossProcessMessages::Allow(CrossProcessMessages::Target::MainWindow, main, RecordFilter));
    std::set<UINT> allowed;
    for (const auto& call : g_allowed) {
        EXPECT_EQ(call.first, main);
        EXPECT_TRUE(allowed.insert(call.second).second) << "allowed twice: " << call.second;
    }
    EXPECT_EQ(allowed, expected);
    for (const auto& entry : CrossProcessMessages::List()) EXPECT_NE(entry.message, 0u) << entry.name;

    // One refused message is reported; the others are still allowed.
    g_allowed.clear();
    g_refused = PavoAgentDlg::WM_AGENT_TRAY_NOTIFY;
    EXPECT_FALSE(CrossProcessMessages::Allow(CrossProcessMessages::Target::MainWindow, main, RecordFilter));
    EXPECT_EQ(g_allowed.size(), expected.size() - 1);
    EXPECT_FALSE(CrossProcessMessages::Allow(CrossProcessMessages::Target::MainWindow, main, nullptr));
}

TEST(UiTextTest, InstallButtonNamesItsProductLiterally)
{
    EXPECT_EQ(UiText::FillName(L"%s 설치하기", L"Pavo Guard"), L"Pavo Guard 설치하기");
    EXPECT_EQ(UiText::FillName(L"Install %s", L"Pavo Guard"), L"Install Pavo Guard");
    // A name from the server is text, never a format, and only the first
    // place holder is filled.
    EXPECT_EQ(UiText::FillName(L"Install %s (%s)", L"100% %s %n"), L"Install 100% %s %n (%s)");
    EXPECT_EQ(UiText::FillName(L"Install", L"X"), L"Install X") << "a table entry without a place";
    EXPECT_EQ(UiText::FillName(L"", L"X"), L"X");
}

TEST(InstallProgressTextTest, SizesWithAndWithoutALength)
{
    using InstallProgressText::SizeText;
    const uint64_t mb = 1024 * 1024;
    EXPECT_EQ(SizeText(mb / 2, mb * 12 / 10, true), L"41% \u00B7 0.5 / 1.2 MB");
    EXPECT_EQ(SizeText(0, 50 * mb, true), L"0% \u00B7 0.0 / 50.0 MB");
    EXPECT_EQ(SizeText(50 * mb, 50 * mb, true), L"100% \u00B7 50.0 / 50.0 MB");
    EXPECT_EQ(SizeText(50 * mb - 1, 50 * mb, true).substr(0, 3), L"99%") << "100 % only when complete";
    // Small installers count in kilobytes, rounded up so that a started download never reads 0.
    EXPECT_EQ(SizeText(100, 300 * 1024, true), L"0% \u00B7 1 / 300 KB");
    // More bytes than announced never pass 100 %; an empty body is complete.
    EXPECT_EQ(SizeText(2000, 1000, true), L"100% \u00B7 1 / 1 KB");
    EXPECT_EQ(SizeText(0, 0, true), L"100% \u00B7 0 / 0 KB");
    // Without a length: the bytes alone.
    EXPECT_EQ(SizeText(3 * mb / 2, 0, false), L"1.5 MB");
    EXPECT_EQ(SizeText(512 * 1024, 0, false), L"512 KB");
}

TEST(InstallProgressTextTest, StepsCountsAndTheTaskbarButton)
{
    using namespace InstallProgressText;
    EXPECT_STREQ(StepKey(InstallProgress::Step::Downloading), L"다운로드 중");
    EXPECT_STREQ(StepKey(InstallProgress::Step::Installing), L"설치 중");
    EXPECT_STREQ(StepKey(InstallProgress::Step::Waiting), L"설치 완료를 기다리는 중");
    EXPECT_STREQ(StepKey(InstallProgress::Step::None), L"");
    EXPECT_EQ(CountText(2, 3), L"2 / 3");
    EXPECT_EQ(CountText(0, 0), L"") << "a single product has no count";

    InstallProgress progress;
    progress.step = InstallProgress::Step::Downloading;
    progress.received = 700;
    progress.total = 500;
    progress.hasTotal = true;
    TaskbarState state = TaskbarFor(progress);
    EXPECT_EQ(state.flag, TBPF_NORMAL);
    EXPECT_EQ(state.completed, 500u);
    EXPECT_EQ(state.total, 500u);
    progress.hasTotal = false;
    EXPECT_EQ(TaskbarFor(progress).flag, TBPF_INDETERMINATE) << "no length: busy, not a bar";
    progress.hasTotal = true;
    progress.total = 0;
    EXPECT_EQ(TaskbarFor(progress).flag, TBPF_INDETERMINATE);
    progress.step = InstallProgress::Step::Installing;
    EXPECT_EQ(TaskbarFor(progress).flag, TBPF_INDETERMINATE);
    progress.step = InstallProgress::Step::Waiting;
    EXPECT_EQ(TaskbarFor(progress).flag, TBPF_INDETERMINATE);
    EXPECT_EQ(TaskbarForResult(-9007).flag, TBPF_ERROR);
    EXPECT_EQ(TaskbarForResult(-2).flag, TBPF_ERROR);
    EXPECT_EQ(TaskbarForResult(-1).flag, TBPF_NOPROGRESS) << "the user's cancellation is no failure";
    EXPECT_EQ(TaskbarForResult(0).flag, TBPF_NOPROGRESS);
}
