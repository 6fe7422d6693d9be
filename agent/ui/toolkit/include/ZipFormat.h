#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FormatBase.h"

namespace Lumen {

struct ZipMemoryStream;  // an archive's bytes and minizip's position in them

// Reads zip archives with minizip and writes their entries below a folder.
// An entry whose name ZipEntryName refuses (one that would leave that folder,
// name a device or change when Windows stores it) ends the extraction, and
// so does an entry that would unpack to more than the entry cap or take the
// archive's unpacked total over the archive cap (a small archive must not
// fill the disk). One thread at a time.
class ZipFormat : public FormatBase {
public:
    // An archive up to this size is read into memory in one go and unpacked
    // from there: minizip reads headers a byte at a time, and each read of a
    // file is a system call. A larger one is read from its file.
    static constexpr std::uint64_t kMaxInMemoryArchiveBytes = 32ull << 20;
    // The caps: far above the skin's few megabytes.
    static constexpr std::uint64_t kDefaultMaxEntryBytes = 64ull << 20;
    static constexpr std::uint64_t kDefaultMaxTotalBytes = 256ull << 20;

    // One entry read into memory: its checked path relative to the folder it
    // unpacks into (backslashes), and its bytes.
    struct Entry {
        std::wstring relativePath;
        bool isDirectory = false;
        std::uint32_t dosDate = 0;
        std::string bytes;
    };

    ZipFormat();
    ~ZipFormat() override;

    ZipFormat(const ZipFormat&) = delete;
    ZipFormat& operator=(const ZipFormat&) = delete;

    // Opens `path` for reading (the archive's folder is created when
    // missing). Writing is not supported.
    bool Open(const std::wstring& path, OpenMode mode) override;
    void Close() override;
    // Creates `destination`, then extracts entry after entry; false at the
    // first entry that fails (what was written stays), and for an archive
    // without entries.
    bool ExtractAll(const std::wstring& destination) override;
    // Not supported: always false.
    bool Add(const std::wstring& source, const std::wstring& entryName) override;

    // Replaces the caps on one entry's and on the whole extraction's
    // unpacked bytes.
    void SetLimits(std::uint64_t maxEntryBytes, std::uint64_t maxTotalBytes);

    // Extracts the current entry below `destination`. Over a cap it fails
    // with ERROR_FILE_TOO_LARGE and leaves no file of that entry behind.
    bool ExtractCurrent(const std::wstring& destination);
    // Reads the current entry into memory, with the same checks of its name,
    // the caps and its checksum as an extraction.
    bool ReadCurrent(Entry* entry);
    // Reads every entry into memory; false at the first that fails, and for
    // an archive without entries.
    bool ReadAll(std::vector<Entry>* entries);
    // Writes one entry read before below `destination` (any thread).
    static bool WriteEntry(const std::wstring& destination, const Entry& entry);
    // Moves to the first or next entry; false past the last one.
    bool GoToFirst();
    bool GoToNext();

    bool IsOpen() const { return handle_ != nullptr; }

private:
    // Runs `each` on every entry from the first; false at the first that
    // fails (the reason stays in the last error), `what` names the work in
    // the debug output.
    bool ForEachEntry(const wchar_t* what, const std::function<bool()>& each);

    std::string path_;  // the archive path, narrow (local code page)
    std::unique_ptr<ZipMemoryStream> memory_;  // null when read from the file
    void* handle_ = nullptr;  // minizip's unzFile
    OpenMode mode_ = OpenMode::kRead;
    std::uint64_t maxEntryBytes_ = kDefaultMaxEntryBytes;
    std::uint64_t maxTotalBytes_ = kDefaultMaxTotalBytes;
    std::uint64_t unpackedBytes_ = 0;  // written by the current ExtractAll so far
};

}  // namespace Lumen
