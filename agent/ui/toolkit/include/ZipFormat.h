#pragma once

#include <string>

#include "FormatBase.h"

namespace Lumen {

// Reads zip archives with minizip and writes their entries below a folder.
// An entry whose name ZipEntryName refuses (one that would leave that folder,
// name a device or change when Windows stores it) ends the extraction.
// One thread at a time.
class ZipFormat : public FormatBase {
public:
    ZipFormat() = default;
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

    // Extracts the current entry below `destination`.
    bool ExtractCurrent(const std::wstring& destination);
    // Moves to the first or next entry; false past the last one.
    bool GoToFirst();
    bool GoToNext();

    bool IsOpen() const { return handle_ != nullptr; }

private:
    std::string path_;  // the archive path, narrow (local code page)
    void* handle_ = nullptr;  // minizip's unzFile
    OpenMode mode_ = OpenMode::kRead;
};

}  // namespace Lumen
