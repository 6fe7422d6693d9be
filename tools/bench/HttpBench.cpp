// PavoHttpBench URL OUTPUT_FOLDER [ROUNDS]
// Downloads URL into OUTPUT_FOLDER with a bare WinHTTP read loop (bare.bin)
// and with HttpClient (client.bin), alternating, ROUNDS times each (default 3),
// and prints the bytes and milliseconds of every download as "NAME BYTES MS"
// lines. Exit code 0 only when every download succeeds.
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "HttpClient.h"
#include "Lumen/UniqueHandle.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The plain loop a developer writes without the client: 64 KiB reads straight
// into a file, no size bookkeeping beyond the count.
bool BareDownload(const std::wstring& url, const std::wstring& path)
{
    wchar_t host[260] = {};
    wchar_t urlPath[1300] = {};
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = 260;
    parts.lpszUrlPath = urlPath;
    parts.dwUrlPathLength = 1300;
    if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return false;
    Lumen::ScopedInternetHandle session(::WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
    Lumen::ScopedInternetHandle connection(::WinHttpConnect(session.Get(), host, parts.nPort, 0));
    Lumen::ScopedInternetHandle request(
        ::WinHttpOpenRequest(connection.Get(), L"GET", urlPath, nullptr, nullptr, nullptr, 0));
    if (!request || !::WinHttpSendRequest(request.Get(), nullptr, 0, nullptr, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.Get(), nullptr))
        return false;
    Lumen::ScopedHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!::WinHttpReadData(request.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read)) return false;
        if (read == 0) return true;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer.data(), read, &written, nullptr) || written != read) return false;
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: PavoHttpBench URL OUTPUT_FOLDER [ROUNDS]\n");
        return 2;
    }
    const std::wstring url = argv[1];
    std::wstring folder = argv[2];
    const int rounds = argc == 4 ? _wtoi(argv[3]) : 3;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    const std::wstring clientPath = folder + L"client.bin";
    const std::wstring barePath = folder + L"bare.bin";

    bool allOk = true;
    for (int round = 0; round < rounds; ++round) {
        Clock::time_point start = Clock::now();
        const bool bareOk = BareDownload(url, barePath);
        const double bareMs = MillisecondsSince(start);
        std::printf("bare-winhttp %llu %.1f\n", static_cast<unsigned long long>(FileSize(barePath)), bareMs);
        if (!bareOk) std::fprintf(stderr, "the bare loop failed, error %lu\n", ::GetLastError());

        // The client appends: start from no file.
        ::DeleteFileW(clientPath.c_str());
        Lumen::HttpClient client;
        client.SetUserAgent(L"PavoAgent/1.0");
        client.SetUrl(url);
        client.SetDownloadPath(clientPath);
        start = Clock::now();
        const bool clientOk = client.Request(L"GET");
        const double clientMs = MillisecondsSince(start);
        std::printf("httpclient %llu %.1f\n", static_cast<unsigned long long>(FileSize(clientPath)), clientMs);
        if (!clientOk) std::fprintf(stderr, "HttpClient failed, error %lu\n", client.GetLastErrorCode());
        std::fflush(stdout);
        allOk = allOk && bareOk && clientOk;
    }
    return allOk ? 0 : 1;
}
