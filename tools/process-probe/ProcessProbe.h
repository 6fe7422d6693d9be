#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ProbeTool {

// What the probe was asked for: processes by executable name or by id, and
// how often to sample them.
struct ProbeOptions {
    std::vector<std::wstring> names;  // matched case-insensitively against the executable name
    std::vector<DWORD> ids;
    unsigned everySeconds = 0;  // 0: one round
    unsigned rounds = 1;
    bool regions = false;  // --regions: the address-space map instead of the counters
};

// One process at one moment. `status` is "ok", or "gone" / "denied" when the
// process could not be opened (then only the id and the name are filled).
struct ProcessSample {
    DWORD pid = 0;
    std::wstring name;
    std::string status = "ok";
    DWORD handles = 0;
    DWORD threads = 0;
    unsigned long long privateBytes = 0;
    unsigned long long workingSet = 0;
    unsigned long long kernelMs = 0;
    unsigned long long userMs = 0;
    // GDI and USER objects (GetGuiResources). Wine's GetGuiResources is a
    // stub that answers 0: there the GDI objects are the used entries of the
    // process's GDI handle table, and the USER objects its windows (menus,
    // icons and cursors are not counted). "na" when neither could be read.
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    bool guiCountsKnown = false;
    // False where the system does not report the private bytes and the CPU
    // times of another process (Wine answers 0 and the caller's own times):
    // printed as "na". Wine's GetProcessHandleCount always answers 0, so
    // there the handles are counted in the system's handle table instead.
    bool countersReliable = true;
};

// True under Wine, whose ntdll exports its version.
bool RunningUnderWine();

// Parses "[--every SECONDS] [--rounds M] NAME|PID...". A word of digits only
// is a process id. False with `error` set on a malformed command line.
bool ParseProbeArguments(const std::vector<std::wstring>& args, ProbeOptions* options, std::string* error);

// The CSV header and one CSV line (no line end); `elapsedMs` is the time since
// the first round.
std::string ProbeHeader();
std::string FormatSample(unsigned long long elapsedMs, const ProcessSample& sample);

// 100-ns FILETIME units to milliseconds.
unsigned long long FileTimeToMs(const FILETIME& time);

// One region of a process's address space as VirtualQueryEx reports it, with
// what it is: "stack <tid>" (a thread's stack reservation, from its TEB),
// "teb <tid>", "heap" (the process heap's first allocation), "image <module>",
// or the memory type ("private", "mapped", "image").
struct MemoryRegion {
    unsigned long long base = 0;
    unsigned long long size = 0;
    unsigned long long allocationBase = 0;
    DWORD state = 0;
    DWORD type = 0;
    std::string label;
};

std::string RegionHeader();
std::string FormatRegion(DWORD pid, const MemoryRegion& region);

// The committed and reserved regions of one process, labelled; empty when
// the process cannot be opened.
std::vector<MemoryRegion> ListRegions(DWORD pid);

// Process ids of the processes that --regions and the counters look at.
std::vector<DWORD> MatchingProcessIds(const ProbeOptions& options);

// Samples every process that matches the options (a name may match several,
// an id that matches nothing gives a "gone" line).
std::vector<ProcessSample> SampleProcesses(const ProbeOptions& options);

}  // namespace ProbeTool
