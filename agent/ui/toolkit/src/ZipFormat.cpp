#include "ZipFormat.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
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
#include "ZipEntryName.h"

namespace Lumen {

struct ZipMemoryStream {
    std::string bytes;
    std::uint64_t position = 0;
};

namespace {

using MemoryStream = ZipMemoryStream;

// minizip's file functions over an archive held in memory; the stream is
// the MemoryStream itself.
voidpf ZCALLBACK OpenMemory(voidpf opaque, const void*, int mode)
{
    return (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ ? opaque : nullptr;
}

uLong ZCALLBACK ReadMemory(voidpf, voidpf stream, void* buffer, uLong size)
{
    auto* memory = static_cast<MemoryStream*>(stream);
    const std::uint64_t left = memory->bytes.size() - std::min<std::uint64_t>(memory->position, memory->bytes.size());
    const auto count = static_cast<uLong>(std::min<std::uint64_t>(size, left));
    if (count > 0) std::memcpy(buffer, memory->bytes.data() + memory->position, count);
    memory->position += count;
    return count;
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK TellMemory(voidpf, voidpf stream)
{
    return static_cast<MemoryStream*>(stream)->position;
}

long ZCALLBACK SeekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* memory = static_cast<MemoryStream*>(stream);
    std::uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        base = 0;
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = memory->position;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = memory->bytes.size();
        break;
    default:
        return -1;
    }
    // Past the end is refused, as minizip never seeks there in a sound archive.
    if (offset > memory->bytes.size() || base > memory->bytes.size() - offset) return -1;
    memory->position = base + offset;
    return 0;
}

int ZCALLBACK CloseMemory(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK MemoryError(voidpf, voidpf)
{
    return 0;
}

// The whole archive when it is no larger than `limit`; false (and the file
// functions are used) otherwise, or when it cannot be read.
bool ReadArchive(const std::wstring& path, std::uint64_t limit, std::string* bytes)
{
    UniqueHandle<KernelHandleTraits> file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > limit) {
        return false;
    }
    bytes->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes->size()) {
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 20));
        if (!::ReadFile(file.Get(), &(*bytes)[done], chunk, &read, nullptr) || read == 0) return false;
        done += read;
    }
    return true;
}

constexpr DWORD kChunkSize = 2048;

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

}  // namespace

ZipFormat::ZipFormat() = default;

ZipFormat::~ZipFormat()
{
    Close();
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
    auto memory = std::make_unique<MemoryStream>();
    if (ReadArchive(path, kMaxInMemoryArchiveBytes, &memory->bytes)) {
        functions.zopen64_file = OpenMemory;
        functions.zread_file = ReadMemory;
        functions.zwrite_file = WriteMemory;
        functions.ztell64_file = TellMemory;
        functions.zseek64_file = SeekMemory;
        functions.zclose_file = CloseMemory;
        functions.zerror_file = MemoryError;
        functions.opaque = memory.get();
        memory_ = std::move(memory);
    } else {
        fill_win32_filefunc64W(&functions);
    }
    handle_ = unzOpen2_64(path.c_str(), &functions);
    if (handle_ == nullptr) memory_.reset();
    return handle_ != nullptr;
}

void ZipFormat::Close()
{
    if (handle_ != nullptr) {
        unzClose(static_cast<unzFile>(handle_));
        handle_ = nullptr;
    }
    memory_.reset();
}

bool ZipFormat::Add(const std::wstring&, const std::wstring&)
{
    return false;
}

void ZipFormat::SetLimits(std::uint64_t maxEntryBytes, std::uint64_t maxTotalBytes)
{
    maxEntryBytes_ = maxEntryBytes;
    maxTotalBytes_ = maxTotalBytes;
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
    return ForEachEntry(L"Extract", [this, &destination] { return ExtractCurrent(destination); });
}

bool ZipFormat::ForEachEntry(const wchar_t* what, const std::function<bool()>& each)
{
    unpackedBytes_ = 0;
    unz_global_info64 global = {};
    if (unzGetGlobalInfo64(static_cast<unzFile>(handle_), &global) != UNZ_OK || global.number_entry == 0 ||
        !GoToFirst()) {
        OutputDebugMessage(L"fail to %s zip, error : %d", what, static_cast<int>(::GetLastError()));
        return false;
    }
    for (;;) {
        if (!each()) {
            // The caller may ask why (a cap, a refused name, a bad checksum).
            const DWORD error = ::GetLastError();
            OutputDebugMessage(L"fail to %s zip, error : %d", what, static_cast<int>(error));
            ::SetLastError(error);
            return false;
        }
        const int next = unzGoToNextFile(static_cast<unzFile>(handle_));
        if (next == UNZ_END_OF_LIST_OF_FILE) return true;
        if (next != UNZ_OK) {
            OutputDebugMessage(L"fail to %s zip, error : %d", what, static_cast<int>(::GetLastError()));
            return false;
        }
    }
}

bool ZipFormat::ExtractCurrent(const std::wstring& destination)
{
    Entry entry;
    if (!ReadCurrent(&entry)) return false;
    return WriteEntry(destination, entry);
}

bool ZipFormat::ReadCurrent(Entry* entry)
{
    if (handle_ == nullptr || entry == nullptr) return false;
    const auto zip = static_cast<unzFile>(handle_);
    unz_file_info64 info = {};
    char name[MAX_PATH + 1] = {};
    char comment[256] = {};
    if (unzGetCurrentFileInfo64(zip, &info, name, MAX_PATH, nullptr, 0, comment, 255) != UNZ_OK) {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    // A longer name was cut to fit the buffer: it would land under another name.
    if (info.size_filename > MAX_PATH) {
        OutputDebugMessage(L"zip entry refused, its name is longer than %d bytes", MAX_PATH);
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    const std::wstring entryName = ZipEntryName::Decode(std::string(name, info.size_filename),
                                                        static_cast<std::uint32_t>(info.flag));
    entry->relativePath = ZipEntryName::SafeRelativePath(entryName);
    if (entry->relativePath.empty()) {
        OutputDebugMessage(L"zip entry refused, its name leaves the folder : %s", entryName.c_str());
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    entry->isDirectory = ZipEntryName::IsDirectory(entryName, static_cast<std::uint32_t>(info.external_fa),
                                                   info.uncompressed_size);
    entry->dosDate = static_cast<std::uint32_t>(info.dosDate);
    entry->bytes.clear();
    if (entry->isDirectory) return true;

    // The size the entry declares is refused before anything is read; the
    // bytes are counted as well, so a header that lies changes nothing.
    const auto overCap = [this, &entryName](std::uint64_t entryBytes) {
        if (entryBytes > maxEntryBytes_) {
            OutputDebugMessage(L"zip entry refused, it unpacks to more than %s bytes : %s",
                               std::to_wstring(maxEntryBytes_).c_str(), entryName.c_str());
        } else if (unpackedBytes_ > maxTotalBytes_ || entryBytes > maxTotalBytes_ - unpackedBytes_) {
            OutputDebugMessage(L"zip entry refused, the archive unpacks to more than %s bytes : %s",
                               std::to_wstring(maxTotalBytes_).c_str(), entryName.c_str());
        } else {
            return false;
        }
        ::SetLastError(ERROR_FILE_TOO_LARGE);
        return true;
    };
    if (overCap(info.uncompressed_size)) return false;
    if (unzOpenCurrentFilePassword(zip, nullptr) != UNZ_OK) {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    entry->bytes.reserve(static_cast<size_t>(info.uncompressed_size));
    char buffer[kChunkSize];
    bool ok = true;
    DWORD error = ERROR_SUCCESS;
    for (;;) {
        const int read = unzReadCurrentFile(zip, buffer, kChunkSize);
        if (read == 0) break;
        if (read < 0) {
            error = ERROR_INVALID_DATA;
            ok = false;
            break;
        }
        if (overCap(entry->bytes.size() + static_cast<std::uint64_t>(read))) {
            error = ERROR_FILE_TOO_LARGE;
            ok = false;
            break;
        }
        entry->bytes.append(buffer, static_cast<size_t>(read));
    }
    // A damaged entry reports its bad checksum only when it is closed.
    if (unzCloseCurrentFile(zip) != UNZ_OK && ok) {
        error = ERROR_CRC;
        ok = false;
    }
    if (!ok) {
        entry->bytes.clear();
        ::SetLastError(error);
        return false;
    }
    unpackedBytes_ += entry->bytes.size();
    return true;
}

bool ZipFormat::ReadAll(std::vector<Entry>* entries)
{
    if (handle_ == nullptr || entries == nullptr) return false;
    entries->clear();
    return ForEachEntry(L"read", [this, entries] {
        Entry entry;
        if (!ReadCurrent(&entry)) return false;
        entries->push_back(std::move(entry));
        return true;
    });
}

bool ZipFormat::WriteEntry(const std::wstring& destination, const Entry& entry)
{
    const std::wstring target = ZipEntryName::TargetPath(destination, entry.relativePath);
    if (target.empty()) {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (entry.isDirectory) return CreateDirectoryTree(target);  // an existing folder is a success
    const std::wstring folder = DirectoryOf(target);
    if (!folder.empty() && !CreateDirectoryTree(folder)) return false;
    UniqueHandle<KernelHandleTraits> file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    size_t done = 0;
    while (done < entry.bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(entry.bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), entry.bytes.data() + done, chunk, &written, nullptr) || written != chunk) {
            return false;
        }
        done += chunk;
    }
    FILETIME local = {};
    FILETIME utc = {};
    if (::DosDateTimeToFileTime(HIWORD(entry.dosDate), LOWORD(entry.dosDate), &local) &&
        ::LocalFileTimeToFileTime(&local, &utc)) {
        ::SetFileTime(file.Get(), &utc, nullptr, &utc);
    }
    return true;
}

}  // namespace Lumen
