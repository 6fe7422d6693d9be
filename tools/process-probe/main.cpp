// Prints, for each named process (executable name or id), its handle count,
// thread count, private bytes, working set and CPU times as CSV, once or
// every N seconds for M rounds:
//   PavoProcessProbe.exe [--every SECONDS] [--rounds M] NAME|PID...
//   PavoProcessProbe.exe --regions NAME|PID...
// The second form prints every reserved or committed region of the address
// space, labelled (thread stacks, TEBs, the process heap, module images).
// Under Wine, another process's handle count, private bytes and CPU times
// are printed as "na": Wine does not report them (take them from /proc).
// Exit code 0; 2 for a malformed command line.
#include <windows.h>

#include <cstdio>

#include "ProcessProbe.h"

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> args(argv + 1, argv + argc);
    ProbeTool::ProbeOptions options;
    std::string error;
    if (!ProbeTool::ParseProbeArguments(args, &options, &error)) {
        std::fprintf(stderr, "process-probe: %s\nusage: PavoProcessProbe.exe [--every SECONDS] [--rounds M] | --regions NAME|PID...\n",
                     error.c_str());
        return 2;
    }
    if (options.regions) {
        std::printf("%s\n", ProbeTool::RegionHeader().c_str());
        for (DWORD pid : ProbeTool::MatchingProcessIds(options))
            for (const ProbeTool::MemoryRegion& region : ProbeTool::ListRegions(pid))
                std::printf("%s\n", ProbeTool::FormatRegion(pid, region).c_str());
        return 0;
    }
    std::printf("%s\n", ProbeTool::ProbeHeader().c_str());
    const ULONGLONG start = ::GetTickCount64();
    for (unsigned round = 0; round < options.rounds; ++round) {
        if (round > 0) ::Sleep(options.everySeconds * 1000);
        const ULONGLONG now = ::GetTickCount64() - start;
        for (const ProbeTool::ProcessSample& sample : ProbeTool::SampleProcesses(options))
            std::printf("%s\n", ProbeTool::FormatSample(now, sample).c_str());
        std::fflush(stdout);
    }
    return 0;
}
