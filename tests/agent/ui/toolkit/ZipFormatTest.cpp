#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "DirectoryUtils.h"
#include "Lumen/PathUtils.h"
#include "ZipFormat.h"
#include "ZipTestSupport.h"

namespace {

using Lumen::JoinPath;
using Lumen::ZipFormat;
using ToolkitTest::ReadTextFile;
using ToolkitTest::WriteZip;
using ToolkitTest::ZipEntry;

class ZipFormatExtractTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = ToolkitTest::MakeTempFolder(L"zip-test");
        destination_ = JoinPath(root_, L"out");
        archive_ = JoinPath(root_, L"archive\\skin.zip");  // the archive's folder is made by the test
        Lumen::CreateDirectoryTree(JoinPath(root_, L"archive"));
    }
    void TearDown() override { Lumen::DeleteDirectoryTree(root_); }

    bool Extract(const std::vector<ZipEntry>& entries)
    {
        EXPECT_TRUE(WriteZip(archive_, entries));
        ZipFormat zip;
        EXPECT_TRUE(zip.Open(archive_, ZipFormat::OpenMode::kRead));
        return zip.ExtractAll(destination_);
    }

    std::wstring root_;
    std::wstring destination_;
    std::wstring archive_;
};

TEST_F(ZipFormatExtractTest, WritesEntriesUnderBackslashPathsAndOverwritesFiles)
{
    ASSERT_TRUE(ToolkitTest::WriteTextFile(JoinPath(destination_, L"100\\resource.json"), "old and longer"));
    ASSERT_TRUE(Extract({{"100/", "", true},
                         {"100/resource.json", "{\"resource\":[]}"},
                         {"100/product_icons/a.png", std::string(5000, 'x')},
                         {u8"100/한글.json", "{}"}}));
    EXPECT_EQ("{\"resource\":[]}", ReadTextFile(JoinPath(destination_, L"100\\resource.json")));
    EXPECT_EQ(std::string(5000, 'x'), ReadTextFile(JoinPath(destination_, L"100\\product_icons\\a.png")));
    EXPECT_EQ("{}", ReadTextFile(JoinPath(destination_, L"100\\한글.json")));

    // The entry's time is kept (local 2024-06-01 12:00).
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(::GetFileAttributesExW(JoinPath(destination_, L"100\\resource.json").c_str(),
                                       GetFileExInfoStandard, &data));
    FILETIME local = {};
    SYSTEMTIME time = {};
    ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    ::FileTimeToSystemTime(&local, &time);
    EXPECT_EQ(2024, time.wYear);
    EXPECT_EQ(6, time.wMonth);
    EXPECT_EQ(12, time.wHour);
}

TEST_F(ZipFormatExtractTest, AFolderListedAfterAFileInsideItIsASuccess)
{
    EXPECT_TRUE(Extract({{"100/a.json", "a"}, {"100/", "", true}, {"100/b.json", "b"}}));
    EXPECT_EQ("b", ReadTextFile(JoinPath(destination_, L"100\\b.json")));
}

TEST_F(ZipFormatExtractTest, AHostileEntryEndsTheExtractionAndWritesNothingOutside)
{
    EXPECT_FALSE(Extract({{"100/first.json", "1"}, {"../escaped.txt", "evil"}, {"100/after.json", "2"}}));
    EXPECT_EQ("1", ReadTextFile(JoinPath(destination_, L"100\\first.json")));  // what came before stays
    bool exists = true;
    ReadTextFile(JoinPath(root_, L"escaped.txt"), &exists);
    EXPECT_FALSE(exists);
    ReadTextFile(JoinPath(destination_, L"100\\after.json"), &exists);
    EXPECT_FALSE(exists);

    for (const char* name : {"/rooted.txt", "C:/drive.txt", "100/stream.txt:hidden", "100/../../up.txt"}) {
        EXPECT_FALSE(Extract({{name, "evil"}})) << name;
    }
    ReadTextFile(JoinPath(destination_, L"100\\stream.txt"), &exists);
    EXPECT_FALSE(exists);
}

TEST_F(ZipFormatExtractTest, DeviceNamesAndNamesWindowsWouldChangeAreNotWritten)
{
    // COM0, LPT0 and the superscript digits are devices on Windows; a
    // trailing dot or space would be dropped and give the file another name.
    for (const char* name : {u8"100/COM\u00B9.png", u8"100/lpt\u00B3", "100/COM0.json", "100/LPT0", "100/CONIN$",
                             "100/conout$.txt", "100/a.json.", "100/a.json ", "100./a.json"}) {
        ToolkitTest::ZipEntry hostile{name, "evil"};
        EXPECT_FALSE(Extract({{"100/first.json", "1"}, hostile, {"100/after.json", "2"}})) << name;
        // Only what came before the refused entry is there.
        const std::vector<std::wstring> files = Lumen::ListFiles(JoinPath(destination_, L"100"));
        ASSERT_EQ(1u, files.size()) << name;
        EXPECT_EQ(JoinPath(destination_, L"100\\first.json"), files[0]) << name;
        Lumen::DeleteDirectoryTree(destination_);
    }
}

TEST_F(ZipFormatExtractTest, EmptyMissingOrDamagedArchivesFail)
{
    ZipFormat zip;
    // An archive without entries: minizip may refuse it at once.
    ASSERT_TRUE(WriteZip(archive_, {}));
    EXPECT_FALSE(zip.Open(archive_, ZipFormat::OpenMode::kRead) && zip.ExtractAll(destination_));

    EXPECT_FALSE(zip.Open(JoinPath(root_, L"missing.zip"), ZipFormat::OpenMode::kRead));
    EXPECT_FALSE(zip.Open(L"", ZipFormat::OpenMode::kRead));
    EXPECT_FALSE(zip.Open(archive_, ZipFormat::OpenMode::kWrite));

    ASSERT_TRUE(ToolkitTest::WriteTextFile(archive_, "PK\x03\x04 this is no archive"));
    EXPECT_FALSE(zip.Open(archive_, ZipFormat::OpenMode::kRead));
    EXPECT_FALSE(zip.ExtractAll(destination_));
}

TEST_F(ZipFormatExtractTest, CutOrMisdirectedArchivesFailWithoutReadingPastTheirEnd)
{
    // Incompressible bytes, so that the entry's data fills most of the file.
    std::string noise(6000, '\0');
    std::uint32_t state = 12345;
    for (char& byte : noise) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    ASSERT_TRUE(WriteZip(archive_, {{"a.bin", noise}, {"b.txt", "tail"}}));
    const std::string whole = ReadTextFile(archive_);
    ASSERT_GT(whole.size(), 6000u);
    const size_t end = whole.rfind(std::string("PK\x05\x06", 4));
    ASSERT_NE(end, std::string::npos);

    const auto readsAll = [this](const std::string& bytes) {
        EXPECT_TRUE(ToolkitTest::WriteTextFile(archive_, bytes));
        ZipFormat zip;
        std::vector<ZipFormat::Entry> entries;
        return zip.Open(archive_, ZipFormat::OpenMode::kRead) && zip.ReadAll(&entries);
    };
    ASSERT_TRUE(readsAll(whole));
    // The middle of the first entry's data is missing.
    EXPECT_FALSE(readsAll(whole.substr(0, 3000) + whole.substr(5000)));
    // The end record is cut short.
    EXPECT_FALSE(readsAll(whole.substr(0, whole.size() - 8)));
    // The end record sends the reader far past the end of the file.
    std::string misdirected = whole;
    misdirected[end + 16] = misdirected[end + 17] = misdirected[end + 18] = '\xf0';
    EXPECT_FALSE(readsAll(misdirected));
    // A central directory larger than the file.
    std::string oversized = whole;
    oversized[end + 12] = oversized[end + 13] = oversized[end + 14] = '\x7f';
    EXPECT_FALSE(readsAll(oversized));
}

TEST_F(ZipFormatExtractTest, EntriesOverTheCapsEndTheExtractionAndLeaveNoPartBehind)
{
    const auto extractCapped = [this](const std::vector<ZipEntry>& entries) {
        Lumen::DeleteDirectoryTree(destination_);
        EXPECT_TRUE(WriteZip(archive_, entries));
        ZipFormat zip;
        EXPECT_TRUE(zip.Open(archive_, ZipFormat::OpenMode::kRead));
        zip.SetLimits(1000, 2500);
        ::SetLastError(0);
        const bool extracted = zip.ExtractAll(destination_);
        return extracted ? DWORD{0} : ::GetLastError();
    };
    const auto exists = [this](const wchar_t* name) {
        bool found = false;
        ReadTextFile(JoinPath(destination_, name), &found);
        return found;
    };
    // Up to the caps exactly is fine.
    EXPECT_EQ(0u, extractCapped({{"a", std::string(1000, 'a')}, {"b", std::string(1000, 'b')}, {"c", "ccccc"}}));
    EXPECT_TRUE(exists(L"c"));

    // One entry over its cap (well compressible: the archive stays small).
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE),
              extractCapped({{"a", "first"}, {"big", std::string(1001, 'x')}, {"z", "after"}}));
    EXPECT_TRUE(exists(L"a"));
    EXPECT_FALSE(exists(L"big"));
    EXPECT_FALSE(exists(L"z"));

    // Entries each under their cap, together over the archive's.
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE),
              extractCapped({{"a", std::string(900, 'a')}, {"b", std::string(900, 'b')}, {"c", std::string(900, 'c')}}));
    EXPECT_TRUE(exists(L"b"));
    EXPECT_FALSE(exists(L"c"));
}

}  // namespace
