#include "ZipFormat.h"

#include <windows.h>

#include <cwctype>
#include <vector>

// iowin32.h needs the declarations of unzip.h first.
// clang-format off
#include <minizip/unzip.h>
#include <minizip/iowin32.h>
// clang-format on

#include "DirectoryUtils.h"
#include "Lumen/DebugOutput.h"
#include "Lumen/PathUtils.h"
#include "Lumen/UniqueHandle.h"

namespace Lumen {

namespace {

constexpr DWORD kChunkSize = 2048;
constexpr uLong kDosDirectory = 0x10;
constexpr uLong kUtf8NameFlag = 0x800;

std::wstring ToWide(const std::string& text, UINT codePage)
{
    if (text.empty()) return {};
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string ToNarrow(const std::wstring& text)
{
    if (text.empty()) return {};
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                             nullptr, nullptr);
    if (length <= 0) return {};
    std::string narrow(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length, nullptr,
                          nullptr);
    return narrow;
}

bool IsDeviceName(const std::wstring& component)
{
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (auto& c : base) c = static_cast<wchar_t>(std::towupper(c));
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$") {
        return true;
    }
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

}  // namespace

ZipFormat::~ZipFormat()
{
    Close();
}

std::wstring ZipFormat::SafeRelativePath(const std::wstring& entryName)
{
    std::wstring name = entryName;
    for (auto& c : name) {
        if (c == L'/') c = L'\\';
    }
    while (!name.empty() && name.back() == L'\\') name.pop_back();
    if (name.empty() || name.front() == L'\\') return {};          // a root (also "\\?\", UNC)
    if (name.find(L':') != std::wstring::npos) return {};         // a drive letter or a stream
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find(L'\\', start);
        if (end == std::wstring::npos) end = name.size();
        const std::wstring component = name.substr(start, end - start);
        if (component.empty()) return {};  // "a\\b": a doubled separator
        // Windows drops trailing dots and spaces: "..", ". .", "..." all
        // climb or stay; only "." is harmless and yet pointless.
        if (component.find_first_not_of(L". ") == std::wstring::npos) return {};
        if (IsDeviceName(component)) return {};
        for (wchar_t c : component) {
            if (c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*') return {};
        }
        start = end + 1;
    }
    return name;
}

bool ZipFormat::Open(const std::wstring& path, OpenMode mode)
{
    Close();
    if (path.empty()) return false;
    if (mode != OpenMode::kRead) {
        OutputDebugMessage(L"zip archives are opened for reading only");
        return false;
    }
    const std::wstring folder = DirectoryOf(path);
    if (!folder.empty() && !DirectoryExists(folder)) CreateDirectoryTree(folder);
    path_ = ToNarrow(path);
    mode_ = mode;
    // The archive is opened through its wide name: a folder name outside the
    // local code page must not hide the skin.
    zlib_filefunc64_def functions = {};
    fill_win32_filefunc64W(&functions);
    handle_ = unzOpen2_64(path.c_str(), &functions);
    return handle_ != nullptr;
}

void ZipFormat::Close()
{
    if (handle_ != nullptr) {
        unzClose(static_cast<unzFile>(handle_));
        handle_ = nullptr;
    }
}

bool ZipFormat::Add(const std::wstring&, const std::wstring&)
{
    return false;
}

bool ZipFormat::GoToFirst()
{
    return handle_ != nullptr && unzGoToFirstFile(static_cast<unzFile>(handle_)) == UNZ_OK;
}

bool ZipFormat::GoToNext()
{
    return handle_ != nullptr && unzGoToNextFile(static_cast<unzFile>(handle_)) == UNZ_OK;
}

bool ZipFormat::ExtractAll(const std::wstring& destination)
{
    if (handle_ == nullptr || !CreateDirectoryTree(destination)) return false;
    unz_global_info64 global = {};
    if (unzGetGlobalInfo64(static_cast<unzFile>(handle_), &global) != UNZ_OK || global.number_entry == 0 ||
        !GoToFirst()) {
        OutputDebugMessage(L"fail to Extract zip, error : %d", static_cast<int>(::GetLastError()));
        return false;
    }
    for (;;) {
        if (!ExtractCurrent(destination)) {
            OutputDebugMessage(L"fail to Extract zip, error : %d", static_cast<int>(::GetLastError()));
            return false;
        }
        const int next = unzGoToNextFile(static_cast<unzFile>(handle_));
        if (next == UNZ_END_OF_LIST_OF_FILE) return true;
        if (next != UNZ_OK) {
            OutputDebugMessage(L"fail to Extract zip, error : %d", static_cast<int>(::GetLastError()));
            return false;
        }
    }
}

bool ZipFormat::ExtractCurrent(const std::wstring& destination)
{
    if (handle_ == nullptr) return false;
    const auto zip = static_cast<unzFile>(handle_);
    unz_file_info64 info = {};
    char name[MAX_PATH + 1] = {};
    char comment[256] = {};
    if (unzGetCurrentFileInfo64(zip, &info, name, MAX_PATH, nullptr, 0, comment, 255) != UNZ_OK) {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    const std::wstring entryName = ToWide(name, (info.flag & kUtf8NameFlag) != 0 ? CP_UTF8 : CP_ACP);
    const std::wstring relative = SafeRelativePath(entryName);
    if (relative.empty()) {
        OutputDebugMessage(L"zip entry refused, its name leaves the folder : %s", entryName.c_str());
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    const std::wstring target = JoinPath(destination, relative);
    const bool isDirectory = (info.external_fa & kDosDirectory) != 0 ||
                             (!entryName.empty() && (entryName.back() == L'/' || entryName.back() == L'\\') &&
                              info.uncompressed_size == 0);
    if (isDirectory) return CreateDirectoryTree(target);  // an existing folder is a success

    const std::wstring folder = DirectoryOf(target);
    if (!folder.empty() && !CreateDirectoryTree(folder)) return false;
    UniqueHandle<KernelHandleTraits> file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    if (unzOpenCurrentFilePassword(zip, nullptr) != UNZ_OK) {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    std::vector<char> buffer(kChunkSize);
    bool ok = true;
    for (;;) {
        const int read = unzReadCurrentFile(zip, buffer.data(), kChunkSize);
        if (read == 0) break;
        if (read < 0) {
            ::SetLastError(ERROR_INVALID_DATA);
            ok = false;
            break;
        }
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer.data(), static_cast<DWORD>(read), &written, nullptr) ||
            written != static_cast<DWORD>(read)) {
            ok = false;
            break;
        }
    }
    // A damaged entry reports its bad checksum only when it is closed.
    if (unzCloseCurrentFile(zip) != UNZ_OK && ok) {
        ::SetLastError(ERROR_CRC);
        ok = false;
    }
    if (!ok) return false;
    FILETIME local = {};
    FILETIME utc = {};
    if (::DosDateTimeToFileTime(HIWORD(info.dosDate), LOWORD(info.dosDate), &local) &&
        ::LocalFileTimeToFileTime(&local, &utc)) {
        ::SetFileTime(file.Get(), &utc, nullptr, &utc);
    }
    return true;
}

}  // namespace Lumen
