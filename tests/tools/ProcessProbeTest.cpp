#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "Lumen/Event.h"
#include "ProcessProbe.h"

using namespace ProbeTool;

namespace {

ProbeOptions Parse(const std::vector<std::wstring>& args, bool expectOk, std::string* error = nullptr)
{
    ProbeOptions options;
    std::string message;
    EXPECT_EQ(ParseProbeArguments(args, &options, &message), expectOk) << message;
    if (error != nullptr) *error = message;
    return options;
}

DWORD WINAPI WaitForEvent(void* event)
{
    ::WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

}  // namespace

TEST(ProcessProbeArguments, NamesIdsAndRounds)
{
    const ProbeOptions options = Parse({L"--every", L"10", L"PavoService.exe", L"1234", L"--rounds", L"3"}, true);
    EXPECT_EQ(options.everySeconds, 10u);
    EXPECT_EQ(options.rounds, 3u);
    ASSERT_EQ(options.names.size(), 1u);
    EXPECT_EQ(options.names[0], L"PavoService.exe");
    ASSERT_EQ(options.ids.size(), 1u);
    EXPECT_EQ(options.ids[0], 1234u);
    EXPECT_FALSE(options.regions);
    EXPECT_TRUE(Parse({L"--regions", L"x.exe"}, true).regions);
}

TEST(ProcessProbeArguments, MalformedCommandLinesAreRefused)
{
    std::string error;
    Parse({}, false, &error);
    EXPECT_EQ(error, "no process named");
    Parse({L"--every"}, false, &error);
    EXPECT_EQ(error, "--every needs a whole number");
    Parse({L"--rounds", L"-1", L"a.exe"}, false);
    Parse({L"--rounds", L"0", L"a.exe"}, false);
    Parse({L"--every", L"12345678901", L"a.exe"}, false);
    Parse({L"--verbose", L"a.exe"}, false, &error);
    EXPECT_EQ(error, "unknown option --verbose");
}

TEST(ProcessProbeFormat, OneCsvLinePerSampleWithTheHeadersColumns)
{
    ProcessSample sample;
    sample.pid = 42;
    sample.name = L"a,b.exe";
    sample.handles = 7;
    sample.threads = 3;
    sample.privateBytes = 4096;
    sample.workingSet = 8192;
    sample.kernelMs = 5;
    sample.userMs = 6;
    sample.gdiObjects = 11;
    sample.userObjects = 12;
    sample.guiCountsKnown = true;
    EXPECT_EQ(FormatSample(100, sample), "100,42,a_b.exe,ok,7,3,4096,8192,5,6,11,12");
    sample.countersReliable = false;
    sample.guiCountsKnown = false;
    EXPECT_EQ(FormatSample(100, sample), "100,42,a_b.exe,ok,7,3,na,8192,na,na,na,na");
    int columns = 1;
    for (char c : ProbeHeader()) columns += c == ',';
    EXPECT_EQ(columns, 12);

    FILETIME time = {};
    time.dwLowDateTime = 123456789;
    time.dwHighDateTime = 1;
    EXPECT_EQ(FileTimeToMs(time), ((1ull << 32) + 123456789) / 10000);
}

TEST(ProcessProbeSampling, SeesItsOwnProcessAndItsThreads)
{
    Lumen::Event release;
    HANDLE thread = ::CreateThread(nullptr, 0, WaitForEvent, release.GetHandle(), 0, nullptr);
    ASSERT_NE(thread, nullptr);

    ProbeOptions options;
    options.ids.push_back(::GetCurrentProcessId());
    options.names.push_back(L"no-such-program-here.exe");
    const std::vector<ProcessSample> samples = SampleProcesses(options);
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0].status, "gone");
    EXPECT_EQ(samples[0].name, L"no-such-program-here.exe");
    const ProcessSample& own = samples[1];
    EXPECT_EQ(own.status, "ok");
    EXPECT_EQ(own.pid, ::GetCurrentProcessId());
    EXPECT_GE(own.threads, 2u);
    EXPECT_GT(own.handles, 0u);
    EXPECT_GT(own.privateBytes, 0u);
    EXPECT_TRUE(own.countersReliable);

    const std::vector<MemoryRegion> regions = ListRegions(::GetCurrentProcessId());
    const std::string ownStack = "stack " + std::to_string(::GetCurrentThreadId());
    bool stackFound = false, imageFound = false, heapFound = false;
    int dummy = 0;
    const auto local = reinterpret_cast<unsigned long long>(&dummy);
    for (const MemoryRegion& region : regions) {
        const bool ownLabel = region.label == ownStack || region.label.compare(0, ownStack.size() + 1, ownStack + " ") == 0;
        if (ownLabel && local >= region.base &&
            local < region.base + region.size)
            stackFound = true;
        if (region.label == "image ProcessProbeTest.exe") imageFound = true;
        if (region.label == "heap") heapFound = true;
    }
    EXPECT_TRUE(stackFound) << "a local variable lies in this thread's labelled stack";
    EXPECT_TRUE(imageFound);
    EXPECT_TRUE(heapFound);

    release.Set();
    ::WaitForSingleObject(thread, 10000);
    ::CloseHandle(thread);
}

// Objects made and freed here show in the counts read for this process the
// way they are read for another one.
TEST(ProcessProbeSampling, CountsGdiAndUserObjectsAsTheyComeAndGo)
{
    ProbeOptions options;
    options.ids.push_back(::GetCurrentProcessId());
    const auto sample = [&options] { return SampleProcesses(options).at(0); };
    const ProcessSample before = sample();
    ASSERT_TRUE(before.guiCountsKnown);

    std::vector<HBRUSH> brushes;
    for (int i = 0; i < 20; ++i) brushes.push_back(::CreateSolidBrush(RGB(i, 0, 0)));
    std::vector<HWND> windows;
    for (int i = 0; i < 3; ++i) {
        windows.push_back(::CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                            nullptr));
    }
    const ProcessSample during = sample();
    for (HBRUSH brush : brushes) ::DeleteObject(brush);
    for (HWND window : windows) ::DestroyWindow(window);
    const ProcessSample after = sample();

    EXPECT_GE(during.gdiObjects, before.gdiObjects + 20);
    EXPECT_GE(during.userObjects, before.userObjects + 3);
    EXPECT_LE(after.gdiObjects, during.gdiObjects - 20);
    EXPECT_LE(after.userObjects, during.userObjects - 3);
}
