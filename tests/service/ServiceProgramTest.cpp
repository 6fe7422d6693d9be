#include <gtest/gtest.h>

#include "Lumen/PathUtils.h"
#include "Lumen/SessionUtils.h"
#include "Lumen/StringUtils.h"
#include "TestSupport.h"

using namespace PavoTest;
using Lumen::ScopedHandle;
using Lumen::WideToUtf8;

namespace {

const std::wstring kServiceName = L"PavoService";

struct Outcome {
    int exitCode = 0;
    std::string output;  // standard output, UTF-8
};

// Runs the program with its standard output on a pipe.
Outcome RunProgram(const std::wstring& program, const std::wstring& args)
{
    Outcome outcome;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return outcome;
    ScopedHandle reader(readEnd);
    ScopedHandle writer(writeEnd);
    ::SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.Get();
    startup.hStdError = writer.Get();
    startup.hStdInput = nullptr;
    std::wstring commandLine = L"\"" + program + L"\" " + args;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process)) {
        outcome.exitCode = 12345;
        return outcome;
    }
    ::CloseHandle(process.hThread);
    ScopedHandle child(process.hProcess);
    writer.Reset();
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(reader.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) outcome.output.append(buffer, read);
    ::WaitForSingleObject(child.Get(), 60000);
    DWORD code = 0;
    ::GetExitCodeProcess(child.Get(), &code);
    outcome.exitCode = static_cast<int>(code);
    return outcome;
}

std::string Line(const wchar_t* text)
{
    return WideToUtf8(text) + "\r\n";
}

bool WaitForState(DWORD state)
{
    return WaitUntil([&] { return QueryServiceState(kServiceName) == state; }, 30000);
}

std::wstring BinaryPathOfService()
{
    Lumen::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    Lumen::ScopedServiceHandle service(::OpenServiceW(manager.Get(), kServiceName.c_str(), SERVICE_QUERY_CONFIG));
    if (!service) return {};
    DWORD needed = 0;
    ::QueryServiceConfigW(service.Get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service.Get(), config, needed, &needed)) return {};
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
    return config->lpBinaryPathName;
}

}  // namespace

// The service program installed under a folder whose path has spaces, with
// its language folder beside it, against the prefix's service manager.
class ServiceProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = MakeTempDirectory(L"Program Files") + L"Pavo Agent\\";
        ::CreateDirectoryW(directory_.c_str(), nullptr);
        program_ = CopyProgram(L"PavoService.exe", directory_, L"PavoService.exe");
        ASSERT_FALSE(program_.empty());
        ::CreateDirectoryW((directory_ + L"language").c_str(), nullptr);
        for (const wchar_t* file : {L"language\\eng.json", L"language\\kor.json"})
            ASSERT_TRUE(::CopyFileW((BinDirectory() + file).c_str(), (directory_ + file).c_str(), FALSE));
    }
    void TearDown() override { RemoveService(kServiceName); }

    std::string LogText()
    {
        return ReadFileBytes(directory_ + L"Log\\PavoService.exe_" + TodayForLogName() + L".log");
    }

    std::wstring directory_;
    std::wstring program_;
};

TEST_F(ServiceProgramTest, VerbsAgainstTheServiceManager)
{
    // Tests run on an English locale: the texts come from eng.json.
    Outcome installed = RunProgram(program_, L"install");
    EXPECT_EQ(installed.exitCode, 0);
    EXPECT_EQ(installed.output, Line(L"The service has been installed."));
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING));
    EXPECT_EQ(BinaryPathOfService(), L"\"" + program_ + L"\"") << "the path must be quoted";

    // Reinstall over the running service.
    Outcome again = RunProgram(program_, L"/INSTALL");
    EXPECT_EQ(again.exitCode, 0) << again.output;
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING));

    Outcome startRunning = RunProgram(program_, L"start");
    EXPECT_EQ(startRunning.exitCode, -1);
    EXPECT_EQ(startRunning.output, Line(L"Invalid parameter. Check the command and try again."));

    Outcome stopped = RunProgram(program_, L"STOP");
    EXPECT_EQ(stopped.exitCode, 0);
    EXPECT_EQ(stopped.output, Line(L"The service has been stopped."));
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED));

    Outcome stopStopped = RunProgram(program_, L"stop");
    EXPECT_EQ(stopStopped.exitCode, -1);

    Outcome started = RunProgram(program_, L"start");
    EXPECT_EQ(started.exitCode, 0);
    EXPECT_EQ(started.output, Line(L"The service has started."));
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING));

    Outcome removed = RunProgram(program_, L"uninstall");
    EXPECT_EQ(removed.exitCode, 0);
    EXPECT_EQ(removed.output, Line(L"The service has been removed."));
    EXPECT_TRUE(WaitUntil([] { return QueryServiceState(kServiceName) == 0; }, 20000));

    Outcome removeMissing = RunProgram(program_, L"uninstall");
    EXPECT_EQ(removeMissing.exitCode, -3);
    EXPECT_EQ(removeMissing.output.rfind("The service could not be removed., error : ", 0), 0u)
        << removeMissing.output;

    // The service ran twice and logged its start and its orderly stops.
    const std::string log = LogText();
    EXPECT_NE(log.find("[PavoService] [info] " + WideToUtf8(L"서비스가 시작되었습니다.")), std::string::npos) << log;
    EXPECT_NE(log.find(WideToUtf8(L"ServiceController thread를 종료합니다.")), std::string::npos) << log;
    EXPECT_NE(log.find(WideToUtf8(L"서비스를 종료합니다.\n\n")), std::string::npos) << log;
}

TEST_F(ServiceProgramTest, UninstallOfAServiceThatDoesNotStopSaysSo)
{
    // Under the service's name, a service that refuses the stop control.
    const std::wstring stubborn = CopyProgram(L"PavoTestService.exe", directory_, L"PavoTestService-no-stop.exe");
    ASSERT_FALSE(stubborn.empty());
    ASSERT_TRUE(InstallService(kServiceName, stubborn));
    ASSERT_TRUE(Lumen::SessionUtils::StartInstalledService());
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING));

    Outcome outcome = RunProgram(program_, L"uninstall");
    EXPECT_EQ(outcome.exitCode, -3);
    // Only marked for deletion while it runs: not "removed".
    EXPECT_EQ(outcome.output, Line(L"The service could not be removed., error : 1052")) << outcome.output;

    // Once its process is gone the deletion completes.
    for (;;) {
        ScopedHandle process = Lumen::SessionUtils::FindProcessByName(L"PavoTestService-no-stop.exe");
        if (!process) break;
        ::TerminateProcess(process.Get(), 0);
        ::WaitForSingleObject(process.Get(), 5000);
    }
    EXPECT_TRUE(WaitUntil([] { return QueryServiceState(kServiceName) == 0; }, 20000));
}

TEST_F(ServiceProgramTest, OnlyTheFirstArgumentCounts)
{
    Outcome installed = RunProgram(program_, L"Install now");
    EXPECT_EQ(installed.exitCode, 0) << installed.output;
    EXPECT_TRUE(WaitForState(SERVICE_RUNNING));
    Outcome bad = RunProgram(program_, L"-install");
    EXPECT_EQ(bad.exitCode, -1);
}

TEST_F(ServiceProgramTest, WithoutLanguageFileEveryVerbEndsWithMinusSix)
{
    ::DeleteFileW((directory_ + L"language\\eng.json").c_str());
    ::DeleteFileW((directory_ + L"language\\kor.json").c_str());
    for (const wchar_t* args : {L"install", L"stop", L"", L"nonsense"}) {
        Outcome outcome = RunProgram(program_, args);
        EXPECT_EQ(outcome.exitCode, -6) << WideToUtf8(args);
        EXPECT_EQ(outcome.output, "fail to Initialize Resource.\r\n") << WideToUtf8(args);
    }
    EXPECT_EQ(QueryServiceState(kServiceName), 0u) << "nothing may have been installed";
}

TEST_F(ServiceProgramTest, RunFromAConsoleFailsWithMinusSeven)
{
    Outcome outcome = RunProgram(program_, L"");
    EXPECT_EQ(outcome.exitCode, -7);
    EXPECT_EQ(outcome.output, "") << "a service has no console: the text goes to the debug output";
}
