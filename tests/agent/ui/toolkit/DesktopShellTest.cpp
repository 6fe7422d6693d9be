// Addresses leave the elevated agent only through the user's desktop shell,
// and only web and mail addresses. A stand-in shell, registered for the
// shell windows' class in this apartment, records what reaches it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "DesktopShell.h"
#include "FakeDesktopShell.h"
#include "HtmlDialog.h"
#include "HyperLink.h"
#include "Lumen/LogManager.h"
#include "Lumen/StringUtils.h"
#include "ShellAddress.h"
#include "TestSupport.h"

using Lumen::DesktopShell;
using Lumen::ShellAddress;
using ToolkitTest::FakeDesktopShell;

TEST(ShellAddress, OnlyWebAndMailAddressesAreOpenable)
{
    for (const wchar_t* address :
         {L"http://example.test", L"HTTPS://example.test/a?b=c&d=%20e#f", L"https://127.0.0.1:18480/remote-assist",
          L"mailto:help@example.test", L"MailTo:help@example.test?subject=Agent help"}) {
        EXPECT_TRUE(ShellAddress::IsOpenable(address)) << Lumen::WideToUtf8(address);
    }
    const std::wstring tooLong = L"https://example.test/" + std::wstring(ShellAddress::kMaxLength, L'a');
    for (const std::wstring& address :
         {std::wstring(L""), std::wstring(L"file:///C:/Windows/system32/calc.exe"), std::wstring(L"FILE://host/share/x"),
          std::wstring(L"\\\\host\\share\\setup.exe"), std::wstring(L"//host/share"),
          std::wstring(L"C:\\Windows\\notepad.exe"), std::wstring(L"notepad.exe"), std::wstring(L"javascript:alert(1)"),
          std::wstring(L"ms-settings:"), std::wstring(L"httpx://example.test/"), std::wstring(L"http:example.test"),
          std::wstring(L"http://"), std::wstring(L"https:///path"), std::wstring(L"http://\\\\host\\share"),
          std::wstring(L"mailto:"), std::wstring(L" http://example.test"), std::wstring(L"http://example.test "),
          std::wstring(L"http://example.test/\r\nx"), std::wstring(L"http://example.test/\tx"),
          std::wstring(L"http://example.test/\x0085x"), std::wstring(L"http://example.test/\" --new-arg"),
          std::wstring(L"http://a\0b", 10), tooLong}) {
        EXPECT_FALSE(ShellAddress::IsOpenable(address)) << Lumen::WideToUtf8(address);
    }
}

TEST(DesktopShellTest, EveryOpenerHandsTheAddressToTheDesktopShell)
{
    FakeDesktopShell shell;
    ASSERT_TRUE(shell.IsRegistered());

    EXPECT_TRUE(DesktopShell::Open(L"https://example.test/help?x=1"));
    EXPECT_TRUE(Lumen::HtmlDialog::OpenExternal(L"mailto:help@example.test"));
    Lumen::HyperLink link;
    link.SetUrl(L"http://example.test/link");
    EXPECT_TRUE(link.Open());
    EXPECT_TRUE(link.IsVisited());
    ASSERT_EQ(shell.Calls().size(), 3u);
    EXPECT_EQ(shell.Calls()[0].file, L"https://example.test/help?x=1");
    EXPECT_EQ(shell.Calls()[0].operation, L"open");
    EXPECT_EQ(shell.Calls()[1].file, L"mailto:help@example.test");
    EXPECT_EQ(shell.Calls()[2].file, L"http://example.test/link");

    // Refused addresses never reach the shell, and a link stays unvisited.
    EXPECT_FALSE(DesktopShell::Open(L"\\\\host\\share\\x.exe"));
    EXPECT_FALSE(Lumen::HtmlDialog::OpenExternal(L"file:///C:/Windows/system32/calc.exe"));
    Lumen::HyperLink local;
    local.SetUrl(L"C:\\Windows\\notepad.exe");
    EXPECT_FALSE(local.Open());
    EXPECT_FALSE(local.IsVisited());
    EXPECT_EQ(shell.Calls().size(), 3u);
}

TEST(DesktopShellTest, WithoutADesktopNothingIsOpenedAndTheLogSaysWhy)
{
    auto* log = Lumen::LogManager::GetInstance();
    log->Initialize(Lumen::LogProcessKind::Agent);
    std::wstring path = Lumen::Utf8ToWide(log->GetImpl()->GetLogFilePath());
    path = path.substr(0, path.rfind(L".log")) + L"_" + PavoTest::TodayForLogName() + L".log";
    {
        FakeDesktopShell shell(false);
        ASSERT_TRUE(shell.IsRegistered());
        EXPECT_FALSE(DesktopShell::Open(L"https://example.test/no-desktop"));
        EXPECT_TRUE(shell.Calls().empty());
    }
    EXPECT_FALSE(DesktopShell::Open(L"javascript:alert('refused')"));
    log->Release();
    const std::string text = PavoTest::ReadFileBytes(path);
    EXPECT_NE(text.find("https://example.test/no-desktop"), std::string::npos) << text;
    EXPECT_NE(text.find(Lumen::WideToUtf8(L"데스크톱 셸이 없어")), std::string::npos) << text;
    EXPECT_NE(text.find("javascript:alert('refused')"), std::string::npos) << text;
}

