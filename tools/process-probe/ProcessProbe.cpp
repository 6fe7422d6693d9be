#include "ProcessProbe.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cwctype>
#include <map>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Lumen/StringUtils.h"
#include "Lumen/UniqueHandle.h"

namespace ProbeTool {

namespace {

bool ParseUnsigned(const std::wstring& text, unsigned long* value)
{
    if (text.empty() || text.size() > 9) return false;
    unsigned long result = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        result = result * 10 + static_cast<unsigned long>(c - L'0');
    }
    *value = result;
    return true;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// Thread counts of every process from one thread snapshot.
std::map<DWORD, DWORD> CountThreads()
{
    std::map<DWORD, DWORD> counts;
    Lumen::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return counts;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more; more = ::Thread32Next(snapshot.Get(), &entry))
        ++counts[entry.th32OwnerProcessID];
    return counts;
}

// Process ids and executable names from one process snapshot.
std::map<DWORD, std::wstring> ListProcesses()
{
    std::map<DWORD, std::wstring> processes;
    Lumen::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return processes;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry))
        processes[entry.th32ProcessID] = entry.szExeFile;
    return processes;
}

// SystemHandleInformation (class 16): every open handle of the system with
// its owner's process id.
struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    void* object;
    ULONG access;
};
using QuerySystemFunction = LONG(WINAPI*)(int, void*, ULONG, ULONG*);

DWORD CountHandlesInSystemTable(DWORD pid)
{
    const auto query = reinterpret_cast<QuerySystemFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return 0;
    std::vector<unsigned char> buffer(1 << 16);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            ULONG count = 0;
            std::memcpy(&count, buffer.data(), sizeof(count));
            const size_t first = sizeof(ULONG_PTR);  // the entries are pointer-aligned
            const size_t fits = (buffer.size() - first) / sizeof(SystemHandleEntry);
            DWORD owned = 0;
            for (size_t i = 0; i < count && i < fits; ++i) {
                SystemHandleEntry entry;
                std::memcpy(&entry, buffer.data() + first + i * sizeof(entry), sizeof(entry));
                if (entry.ownerPid == pid) ++owned;
            }
            return owned;
        }
        // STATUS_INFO_LENGTH_MISMATCH: the table grew; try a larger buffer.
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
    }
    return 0;
}

// Wine's GDI handle table, which the process's PEB points to: 0x10000
// entries of 24 bytes; an entry in use has a nonzero type byte.
constexpr size_t kGdiTableEntries = 0x10000;
constexpr size_t kGdiEntryBytes = 24;
constexpr size_t kGdiEntryTypeOffset = 14;
constexpr size_t kPebGdiTableOffset = 0xF8;  // GdiSharedHandleTable in the 64-bit PEB

struct ProcessBasicInformation {
    LONG exitStatus;
    void* pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR parentProcessId;
};
using QueryProcessFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

bool CountGdiTableEntries(HANDLE process, DWORD* count)
{
    const auto query = reinterpret_cast<QueryProcessFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    ProcessBasicInformation basic = {};
    if (query == nullptr || query(process, 0, &basic, sizeof(basic), nullptr) != 0 || basic.pebBaseAddress == nullptr)
        return false;
    void* table = nullptr;
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, static_cast<char*>(basic.pebBaseAddress) + kPebGdiTableOffset, &table,
                             sizeof(table), &read) ||
        read != sizeof(table) || table == nullptr) {
        return false;
    }
    std::vector<unsigned char> entries(kGdiTableEntries * kGdiEntryBytes);
    if (!::ReadProcessMemory(process, table, entries.data(), entries.size(), &read) || read != entries.size())
        return false;
    DWORD used = 0;
    for (size_t i = 0; i < kGdiTableEntries; ++i) used += entries[i * kGdiEntryBytes + kGdiEntryTypeOffset] != 0;
    *count = used;
    return true;
}

// Top-level, child and message-only windows of one process.
DWORD CountWindows(DWORD pid)
{
    struct Counter {
        DWORD pid;
        DWORD count;
        static BOOL CALLBACK Visit(HWND hwnd, LPARAM parameter)
        {
            auto* counter = reinterpret_cast<Counter*>(parameter);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (owner == counter->pid) ++counter->count;
            return TRUE;
        }
        static BOOL CALLBACK VisitTree(HWND hwnd, LPARAM parameter)
        {
            Visit(hwnd, parameter);
            ::EnumChildWindows(hwnd, Visit, parameter);
            return TRUE;
        }
    } counter{pid, 0};
    ::EnumWindows(Counter::VisitTree, reinterpret_cast<LPARAM>(&counter));
    for (HWND hwnd = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); hwnd != nullptr;
         hwnd = ::FindWindowExW(HWND_MESSAGE, hwnd, nullptr, nullptr)) {
        Counter::VisitTree(hwnd, reinterpret_cast<LPARAM>(&counter));
    }
    return counter.count;
}

void CountGuiObjects(HANDLE process, DWORD pid, ProcessSample* sample)
{
    if (!RunningUnderWine()) {
        sample->gdiObjects = ::GetGuiResources(process, GR_GDIOBJECTS);
        sample->userObjects = ::GetGuiResources(process, GR_USEROBJECTS);
        sample->guiCountsKnown = true;
        return;
    }
    sample->guiCountsKnown = CountGdiTableEntries(process, &sample->gdiObjects);
    sample->userObjects = CountWindows(pid);
}

ProcessSample Sample(DWORD pid, const std::wstring& name, const std::map<DWORD, DWORD>& threads)
{
    ProcessSample sample;
    sample.pid = pid;
    sample.name = name;
    Lumen::ScopedHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) process.Reset(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) {
        sample.status = ::GetLastError() == ERROR_ACCESS_DENIED ? "denied" : "gone";
        return sample;
    }
    // Wine answers its own process's counters only through the pseudo-handle.
    const HANDLE query = pid == ::GetCurrentProcessId() ? ::GetCurrentProcess() : process.Get();
    ::GetProcessHandleCount(query, &sample.handles);
    const auto found = threads.find(pid);
    sample.threads = found == threads.end() ? 0 : found->second;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    if (::GetProcessMemoryInfo(query, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
        // The commit charge; Wine leaves PrivateUsage 0 and fills only
        // PagefileUsage, which Windows documents as the same figure.
        sample.privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
        sample.workingSet = memory.WorkingSetSize;
    }
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (::GetProcessTimes(query, &created, &exited, &kernel, &user)) {
        sample.kernelMs = FileTimeToMs(kernel);
        sample.userMs = FileTimeToMs(user);
    }
    DWORD code = 0;
    if (::GetExitCodeProcess(process.Get(), &code) && code != STILL_ACTIVE) sample.status = "gone";
    sample.countersReliable = !RunningUnderWine() || pid == ::GetCurrentProcessId();
    if (RunningUnderWine()) sample.handles = CountHandlesInSystemTable(pid);
    CountGuiObjects(query, pid, &sample);
    return sample;
}

}  // namespace

bool ParseProbeArguments(const std::vector<std::wstring>& args, ProbeOptions* options, std::string* error)
{
    *options = ProbeOptions();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--regions") {
            options->regions = true;
            continue;
        }
        if (arg == L"--every" || arg == L"--rounds") {
            unsigned long value = 0;
            if (i + 1 >= args.size() || !ParseUnsigned(args[i + 1], &value)) {
                *error = Lumen::WideToUtf8(arg) + " needs a whole number";
                return false;
            }
            ++i;
            if (arg == L"--every") options->everySeconds = static_cast<unsigned>(value);
            else options->rounds = static_cast<unsigned>(value);
            continue;
        }
        if (arg.empty() || arg[0] == L'-') {
            *error = "unknown option " + Lumen::WideToUtf8(arg);
            return false;
        }
        unsigned long pid = 0;
        if (ParseUnsigned(arg, &pid)) options->ids.push_back(static_cast<DWORD>(pid));
        else options->names.push_back(arg);
    }
    if (options->names.empty() && options->ids.empty()) {
        *error = "no process named";
        return false;
    }
    if (options->rounds == 0) {
        *error = "--rounds must be at least 1";
        return false;
    }
    return true;
}

std::string ProbeHeader()
{
    return "elapsed_ms,pid,name,status,handles,threads,private_bytes,working_set,kernel_ms,user_ms,gdi_objects,"
           "user_objects";
}

bool RunningUnderWine()
{
    static const bool wine =
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

std::string FormatSample(unsigned long long elapsedMs, const ProcessSample& sample)
{
    const auto counter = [&sample](unsigned long long value) {
        return sample.countersReliable ? std::to_string(value) : std::string("na");
    };
    const auto gui = [&sample](DWORD value) {
        return sample.guiCountsKnown ? std::to_string(value) : std::string("na");
    };
    // Executable names carry no commas on any system this runs on; replace
    // one anyway so that the columns stay put.
    std::string name = Lumen::WideToUtf8(sample.name);
    for (char& c : name)
        if (c == ',' || c == '\n') c = '_';
    return std::to_string(elapsedMs) + "," + std::to_string(sample.pid) + "," + name + "," + sample.status + "," +
           std::to_string(sample.handles) + "," + std::to_string(sample.threads) + "," + counter(sample.privateBytes) +
           "," + std::to_string(sample.workingSet) + "," + counter(sample.kernelMs) + "," + counter(sample.userMs) +
           "," + gui(sample.gdiObjects) + "," + gui(sample.userObjects);
}

unsigned long long FileTimeToMs(const FILETIME& time)
{
    const unsigned long long ticks =
        (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return ticks / 10000;
}

std::vector<ProcessSample> SampleProcesses(const ProbeOptions& options)
{
    const std::map<DWORD, std::wstring> processes = ListProcesses();
    const std::map<DWORD, DWORD> threads = CountThreads();
    std::vector<ProcessSample> samples;
    for (const std::wstring& wanted : options.names) {
        const std::wstring lowered = Lower(wanted);
        bool any = false;
        for (const auto& process : processes) {
            if (Lower(process.second) != lowered) continue;
            samples.push_back(Sample(process.first, process.second, threads));
            any = true;
        }
        if (!any) {
            ProcessSample missing;
            missing.name = wanted;
            missing.status = "gone";
            samples.push_back(missing);
        }
    }
    for (DWORD pid : options.ids) {
        const auto found = processes.find(pid);
        samples.push_back(Sample(pid, found == processes.end() ? L"" : found->second, threads));
    }
    return samples;
}

}  // namespace ProbeTool

namespace ProbeTool {

namespace {

// NtQueryInformationThread's ThreadBasicInformation record (class 0).
struct ThreadBasicInformation {
    LONG exitStatus;
    void* tebBaseAddress;
    HANDLE uniqueProcess;
    HANDLE uniqueThread;
    ULONG_PTR affinityMask;
    LONG priority;
    LONG basePriority;
};
using QueryThreadFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

// Where the 64-bit TEB keeps what the stack ranges need.
constexpr size_t kTebStackBase = 0x08;
constexpr size_t kTebDeallocationStack = 0x1478;
constexpr size_t kTebSize = 0x2000;
// Where the 64-bit PEB keeps the process heap.
constexpr size_t kPebProcessHeap = 0x30;

struct Range {
    unsigned long long begin;
    unsigned long long end;
    std::string label;
};

std::string Hex(unsigned long long value)
{
    char text[24];
    std::snprintf(text, sizeof(text), "0x%llx", value);
    return text;
}

unsigned long long ReadPointer(HANDLE process, unsigned long long address)
{
    unsigned long long value = 0;
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, reinterpret_cast<const void*>(address), &value, sizeof(value), &read) ||
        read != sizeof(value))
        return 0;
    return value;
}

// The stack reservation and the TEB of every thread of the process.
std::vector<Range> ThreadRanges(HANDLE process, DWORD pid)
{
    std::vector<Range> ranges;
    const auto query = reinterpret_cast<QueryThreadFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    if (query == nullptr) return ranges;
    Lumen::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return ranges;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more; more = ::Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        Lumen::ScopedHandle thread(::OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        if (!thread) continue;
        ThreadBasicInformation basic = {};
        if (query(thread.Get(), 0, &basic, sizeof(basic), nullptr) != 0 || basic.tebBaseAddress == nullptr) continue;
        const auto teb = reinterpret_cast<unsigned long long>(basic.tebBaseAddress);
        std::string tid = std::to_string(entry.th32ThreadID);
        // ThreadQuerySetWin32StartAddress (class 9): where the thread began,
        // which tells the program's threads from the system's.
        void* start = nullptr;
        if (query(thread.Get(), 9, &start, sizeof(start), nullptr) == 0 && start != nullptr)
            tid += " start=" + Hex(reinterpret_cast<unsigned long long>(start));
        ranges.push_back({teb, teb + kTebSize, "teb " + tid});
        const unsigned long long top = ReadPointer(process, teb + kTebStackBase);
        const unsigned long long bottom = ReadPointer(process, teb + kTebDeallocationStack);
        if (top > bottom && bottom != 0) ranges.push_back({bottom, top, "stack " + tid});
    }
    return ranges;
}

std::vector<Range> ModuleRanges(HANDLE process)
{
    std::vector<Range> ranges;
    HMODULE modules[512];
    DWORD needed = 0;
    if (!::EnumProcessModulesEx(process, modules, sizeof(modules), &needed, LIST_MODULES_ALL)) return ranges;
    const DWORD count = std::min<DWORD>(needed / sizeof(HMODULE), 512);
    for (DWORD i = 0; i < count; ++i) {
        MODULEINFO info = {};
        wchar_t name[MAX_PATH] = {};
        if (!::GetModuleInformation(process, modules[i], &info, sizeof(info))) continue;
        ::GetModuleBaseNameW(process, modules[i], name, MAX_PATH);
        const auto base = reinterpret_cast<unsigned long long>(info.lpBaseOfDll);
        ranges.push_back({base, base + info.SizeOfImage, "image " + Lumen::WideToUtf8(name)});
    }
    return ranges;
}

std::string TypeName(DWORD type)
{
    switch (type) {
    case MEM_PRIVATE: return "private";
    case MEM_MAPPED: return "mapped";
    case MEM_IMAGE: return "image";
    default: return "none";
    }
}

std::string StateName(DWORD state)
{
    switch (state) {
    case MEM_COMMIT: return "commit";
    case MEM_RESERVE: return "reserve";
    default: return "free";
    }
}

}  // namespace

std::string RegionHeader()
{
    return "pid,base,size,allocation_base,state,type,label";
}

std::string FormatRegion(DWORD pid, const MemoryRegion& region)
{
    return std::to_string(pid) + "," + Hex(region.base) + "," + std::to_string(region.size) + "," +
           Hex(region.allocationBase) + "," + StateName(region.state) + "," + TypeName(region.type) + "," +
           region.label;
}

std::vector<MemoryRegion> ListRegions(DWORD pid)
{
    std::vector<MemoryRegion> regions;
    Lumen::ScopedHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return regions;
    std::vector<Range> known = ThreadRanges(process.Get(), pid);
    const std::vector<Range> modules = ModuleRanges(process.Get());
    known.insert(known.end(), modules.begin(), modules.end());
    unsigned long long heap = 0;
    {
        struct {
            LONG exitStatus;
            void* pebBaseAddress;
            ULONG_PTR rest[4];
        } basic = {};
        using QueryProcessFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
        const auto query = reinterpret_cast<QueryProcessFunction>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
        if (query != nullptr && query(process.Get(), 0, &basic, sizeof(basic), nullptr) == 0)
            heap = ReadPointer(process.Get(), reinterpret_cast<unsigned long long>(basic.pebBaseAddress) + kPebProcessHeap);
    }

    unsigned long long address = 0;
    MEMORY_BASIC_INFORMATION info = {};
    while (::VirtualQueryEx(process.Get(), reinterpret_cast<const void*>(address), &info, sizeof(info)) ==
           sizeof(info)) {
        const auto base = reinterpret_cast<unsigned long long>(info.BaseAddress);
        if (info.RegionSize == 0 || base + info.RegionSize <= address) break;
        if (info.State != MEM_FREE) {
            MemoryRegion region;
            region.base = base;
            region.size = info.RegionSize;
            region.allocationBase = reinterpret_cast<unsigned long long>(info.AllocationBase);
            region.state = info.State;
            region.type = info.Type;
            region.label = TypeName(info.Type);
            if (heap != 0 && region.allocationBase == heap) region.label = "heap";
            for (const Range& range : known)
                if (base >= range.begin && base < range.end) region.label = range.label;
            regions.push_back(region);
        }
        address = base + info.RegionSize;
    }
    return regions;
}

std::vector<DWORD> MatchingProcessIds(const ProbeOptions& options)
{
    std::vector<DWORD> ids;
    for (const ProcessSample& sample : SampleProcesses(options))
        if (sample.status == "ok") ids.push_back(sample.pid);
    return ids;
}

}  // namespace ProbeTool
