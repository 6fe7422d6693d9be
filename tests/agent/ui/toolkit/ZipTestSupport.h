#pragma once

#include <string>
#include <vector>

namespace ToolkitTest {

// One entry of an archive made by a test: its raw name (as stored, UTF-8),
// its content, and whether it is a folder entry (DOS folder attribute).
struct ZipEntry {
    std::string name;
    std::string content;
    bool directory = false;
};

// Writes a zip archive with minizip; false when it cannot.
bool WriteZip(const std::wstring& path, const std::vector<ZipEntry>& entries);

// A fresh empty folder under the temporary folder, unique per call.
std::wstring MakeTempFolder(const wchar_t* prefix);
// Writes `content` to `path` (creating the folder); false when it cannot.
bool WriteTextFile(const std::wstring& path, const std::string& content);
// The whole content of `path`, or "" with `exists` false.
std::string ReadTextFile(const std::wstring& path, bool* exists = nullptr);

}  // namespace ToolkitTest
