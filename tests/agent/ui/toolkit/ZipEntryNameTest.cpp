#include <gtest/gtest.h>

#include <string>

#include "ZipEntryName.h"

namespace {

using Lumen::ZipEntryName;

TEST(ZipEntryNameTest, NamesBelowTheFolderBecomeBackslashPaths)
{
    EXPECT_EQ(L"100\\resource.json", ZipEntryName::SafeRelativePath(L"100/resource.json"));
    EXPECT_EQ(L"100\\product_icons", ZipEntryName::SafeRelativePath(L"100/product_icons/"));
    EXPECT_EQ(L"a\\b..c\\d.txt", ZipEntryName::SafeRelativePath(L"a/b..c/d.txt"));
    EXPECT_EQ(L"한글\\그림.png", ZipEntryName::SafeRelativePath(L"한글/그림.png"));
    // Names that only resemble devices.
    for (const wchar_t* plain : {L"CONSOLE.txt", L"COM10", L"LPT", L"xCON", L"COM1x.txt", L"CON$", L"COM\u2074"}) {
        EXPECT_EQ(plain, ZipEntryName::SafeRelativePath(plain)) << plain;
    }
    EXPECT_EQ(L"C:\\out\\100\\a.png", ZipEntryName::TargetPath(L"C:\\out", L"100\\a.png"));
    EXPECT_EQ(L"C:\\out\\a.png", ZipEntryName::TargetPath(L"C:\\out\\", L"a.png"));
    EXPECT_EQ(L"", ZipEntryName::TargetPath(L"", L"a.png"));  // never relative to the current folder
    EXPECT_EQ(L"", ZipEntryName::TargetPath(L"C:\\out", L""));
}

TEST(ZipEntryNameTest, NamesThatLeaveTheFolderOrChangeAreRefused)
{
    for (const wchar_t* hostile : {L"", L"/", L"../evil.txt", L"a/../../evil.txt", L"..", L"a\\..\\b",
                                   L"/etc/evil", L"\\evil.txt", L"\\\\server\\share\\x", L"\\\\?\\C:\\x",
                                   L"C:evil.txt", L"C:\\evil.txt", L"a/file.txt:stream", L"a/. ./b",
                                   L"a/.../b", L"a//b", L"a/b?.txt", L"a/b\x01.txt",
                                   // Windows drops trailing dots and spaces: "a." and "a " would be "a".
                                   L"a.", L"a ", L"dir./x.txt", L"dir /x.txt"}) {
        EXPECT_EQ(L"", ZipEntryName::SafeRelativePath(hostile)) << hostile;
    }
    EXPECT_EQ(L"", ZipEntryName::SafeRelativePath(std::wstring(256, L'a')));
    EXPECT_EQ(std::wstring(255, L'a'), ZipEntryName::SafeRelativePath(std::wstring(255, L'a')));
}

TEST(ZipEntryNameTest, EveryDeviceNameIsRefusedInAnyForm)
{
    // Windows opens these devices whatever the folder, the letter case, an
    // extension or spaces before it; COM0, LPT0 and the superscript digits
    // count too.
    for (const wchar_t* device :
         {L"CON", L"con", L"PRN", L"AUX", L"NuL", L"CONIN$", L"conout$", L"COM0", L"COM1", L"COM9", L"LPT0", L"lpt9",
          L"COM\u00B9", L"COM\u00B2", L"COM\u00B3", L"LPT\u00B9", L"LPT\u00B2", L"lpt\u00B3", L"CON.txt", L"nul.tar.gz",
          L"COM1 .log", L"CONOUT$.json", L"AUX  .x", L"CON\u0131N$"}) {
        EXPECT_TRUE(ZipEntryName::IsDeviceName(device)) << device;
        EXPECT_FALSE(ZipEntryName::IsSafeComponent(device)) << device;
        EXPECT_EQ(L"", ZipEntryName::SafeRelativePath(std::wstring(L"100/") + device)) << device;
        EXPECT_EQ(L"", ZipEntryName::SafeRelativePath(std::wstring(device) + L"/a.png")) << device;
    }
}

TEST(ZipEntryNameTest, StoredNamesAndFolderEntries)
{
    // UTF-8 when the entry says so.
    EXPECT_EQ(L"한.png", ZipEntryName::Decode("\xED\x95\x9C.png", ZipEntryName::kUtf8NameFlag));
    // Otherwise the local code page; a zero byte would cut the name.
    EXPECT_EQ(L"a.png", ZipEntryName::Decode("a.png", 0));
    EXPECT_EQ(L"", ZipEntryName::Decode(std::string("a.png\0/../x", 11), ZipEntryName::kUtf8NameFlag));

    EXPECT_TRUE(ZipEntryName::IsDirectory(L"100", ZipEntryName::kDosDirectory, 0));
    EXPECT_TRUE(ZipEntryName::IsDirectory(L"100/", 0, 0));
    EXPECT_FALSE(ZipEntryName::IsDirectory(L"100/", 0, 5));
    EXPECT_FALSE(ZipEntryName::IsDirectory(L"100/a.png", 0x20, 0));
}

}  // namespace
