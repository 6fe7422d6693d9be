#include "ZipTestSupport.h"

#include <windows.h>

#include <atomic>

// clang-format off
#include <minizip/zip.h>
#include <minizip/iowin32.h>
// clang-format on

#include "DirectoryUtils.h"
#include "Lumen/FileUtils.h"
#include "Lumen/PathUtils.h"
#include "Lumen/StringUtils.h"
#include "Lumen/UniqueHandle.h"

namespace ToolkitTest {

bool WriteZip(const std::wstring& path, const std::vector<ZipEntry>& entries)
{
    zlib_filefunc64_def functions = {};
    fill_win32_filefunc64W(&functions);
    zipFile zip = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (zip == nullptr) return false;
    bool ok = true;
    for (const ZipEntry& entry : entries) {
        zip_fileinfo info = {};
        info.tmz_date.tm_year = 2024;
        info.tmz_date.tm_mon = 5;  // June
        info.tmz_date.tm_mday = 1;
        info.tmz_date.tm_hour = 12;
        info.external_fa = entry.directory ? 0x10 : 0x20;
        // Bit 11: the name is UTF-8.
        if (zipOpenNewFileInZip4_64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                    Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                    nullptr, 0, 0, 0x800, 0) != ZIP_OK) {
            ok = false;
            break;
        }
        if (!entry.content.empty() &&
            zipWriteInFileInZip(zip, entry.content.data(), static_cast<unsigned>(entry.content.size())) != ZIP_OK) {
            ok = false;
        }
        zipCloseFileInZip(zip);
        if (!ok) break;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

std::wstring MakeTempFolder(const wchar_t* prefix)
{
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = Lumen::JoinPath(
        temp, Lumen::FormatWide(L"%s-%lu-%d", prefix, ::GetCurrentProcessId(), counter.fetch_add(1)));
    Lumen::DeleteDirectoryTree(folder);
    Lumen::CreateDirectoryTree(folder);
    return folder;
}

bool WriteTextFile(const std::wstring& path, const std::string& content)
{
    Lumen::CreateDirectoryTree(Lumen::DirectoryOf(path));
    Lumen::UniqueHandle<Lumen::KernelHandleTraits> file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
}

std::string ReadTextFile(const std::wstring& path, bool* exists)
{
    std::string bytes;
    const bool read = Lumen::ReadWholeFile(path, bytes);
    if (exists != nullptr) *exists = read;
    return read ? bytes : std::string();
}

}  // namespace ToolkitTest
