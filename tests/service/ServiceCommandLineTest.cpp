#include <gtest/gtest.h>

#include "ServiceCommandLine.h"

namespace {

ServiceVerb Parse(std::vector<std::wstring> args)
{
    std::vector<wchar_t*> argv;
    for (auto& arg : args) argv.push_back(&arg[0]);
    return ParseServiceVerb(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(ServiceCommandLineTest, VerbsIgnoreSlashesAndCase)
{
    EXPECT_EQ(Parse({L"PavoService.exe"}), ServiceVerb::Run);
    EXPECT_EQ(Parse({L"PavoService.exe", L"install"}), ServiceVerb::Install);
    EXPECT_EQ(Parse({L"PavoService.exe", L"/INSTALL"}), ServiceVerb::Install);
    EXPECT_EQ(Parse({L"PavoService.exe", L"Install", L"now"}), ServiceVerb::Install);
    EXPECT_EQ(Parse({L"PavoService.exe", L"//un/install"}), ServiceVerb::Uninstall);
    EXPECT_EQ(Parse({L"PavoService.exe", L"START"}), ServiceVerb::Start);
    EXPECT_EQ(Parse({L"PavoService.exe", L"stop"}), ServiceVerb::Stop);
    EXPECT_EQ(Parse({L"PavoService.exe", L"-install"}), ServiceVerb::Invalid);
    EXPECT_EQ(Parse({L"PavoService.exe", L""}), ServiceVerb::Invalid);
    EXPECT_EQ(Parse({L"PavoService.exe", L"debugging"}), ServiceVerb::Invalid);
}
