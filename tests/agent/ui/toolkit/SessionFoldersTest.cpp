#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "DirectoryUtils.h"
#include "Lumen/PathUtils.h"
#include "SessionFolders.h"
#include "TestSupport.h"
#include "ZipTestSupport.h"

namespace {

using Lumen::JoinPath;
using Lumen::SessionFolders;
using Names = std::vector<std::wstring>;

TEST(SessionFoldersTest, OnlyFoldersOfEndedSessionsAreStale)
{
    EXPECT_EQ(L"C:\\App\\skin\\PavoAgent.exe\\3", SessionFolders::FolderFor(L"C:\\App\\skin\\PavoAgent.exe", 3));

    const Names names{L"0", L"1", L"2", L"5", L"100", L"notes", L"02", L"4294967296", L"-1", L""};
    // Session 2 runs this agent; 0 and 5 are live elsewhere.
    EXPECT_EQ((Names{L"1", L"100"}), SessionFolders::StaleNames(names, {0, 2, 5}, true, 2));

    // A list that failed, came back empty (Wine's answer) or lacks this very
    // session proves nothing: every folder stays.
    EXPECT_TRUE(SessionFolders::StaleNames(names, {0, 2, 5}, false, 2).empty());
    EXPECT_TRUE(SessionFolders::StaleNames(names, {}, true, 2).empty());
    EXPECT_TRUE(SessionFolders::StaleNames(names, {0, 5}, true, 2).empty());

    std::uint32_t id = 0;
    EXPECT_TRUE(SessionFolders::ParseSessionId(L"4294967295", &id));
    EXPECT_EQ(4294967295u, id);
    for (const wchar_t* name : {L"", L"007", L"4294967296", L"12345678901", L"1a", L"+1", L" 1"})
        EXPECT_FALSE(SessionFolders::ParseSessionId(name, &id)) << name;
}

TEST(SessionFoldersTest, RemoveStaleDeletesOnlyTheFoldersOfEndedSessions)
{
    const std::wstring base = JoinPath(ToolkitTest::MakeTempFolder(L"sessions"), L"PavoAgent.exe");
    for (const wchar_t* name : {L"1", L"2", L"3", L"notes"})
        ASSERT_TRUE(ToolkitTest::WriteTextFile(JoinPath(JoinPath(base, name), L"100\\resource.json"), "{}"));
    ASSERT_TRUE(ToolkitTest::WriteTextFile(JoinPath(base, L"4"), "a file, no session's folder"));

    EXPECT_EQ(0u, SessionFolders::RemoveStale(base, {}, true, 1)) << "an empty list deletes nothing";
    EXPECT_EQ(1u, SessionFolders::RemoveStale(base, {0, 1, 2}, true, 1));
    EXPECT_TRUE(Lumen::DirectoryExists(JoinPath(base, L"1")));
    EXPECT_TRUE(Lumen::DirectoryExists(JoinPath(base, L"2")));
    EXPECT_FALSE(Lumen::DirectoryExists(JoinPath(base, L"3")));
    EXPECT_TRUE(Lumen::DirectoryExists(JoinPath(base, L"notes")));
    EXPECT_TRUE(PavoTest::FileExists(JoinPath(base, L"4")));
    EXPECT_EQ(0u, SessionFolders::RemoveStale(JoinPath(base, L"missing"), {0, 1}, true, 1));
    Lumen::DeleteDirectoryTree(base);
}

TEST(DirectoryUtilsTest, DeletingATreeThatIsItselfALinkRemovesOnlyTheLink)
{
    // The rule, also where links cannot be made (Wine 8 refuses junctions).
    EXPECT_EQ(Lumen::TreeEntryKind::kFolderLink,
              Lumen::ClassifyTreeEntry(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ(Lumen::TreeEntryKind::kFolder, Lumen::ClassifyTreeEntry(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(Lumen::TreeEntryKind::kFile, Lumen::ClassifyTreeEntry(FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ(Lumen::TreeEntryKind::kMissing, Lumen::ClassifyTreeEntry(INVALID_FILE_ATTRIBUTES));
    // A file in the tree's place is no tree: nothing is deleted.
    const std::wstring file = JoinPath(ToolkitTest::MakeTempFolder(L"not-a-tree"), L"file");
    ASSERT_TRUE(ToolkitTest::WriteTextFile(file, "keep"));
    EXPECT_FALSE(Lumen::DeleteDirectoryTree(file));
    EXPECT_TRUE(PavoTest::FileExists(file));

    const std::wstring root = ToolkitTest::MakeTempFolder(L"links");
    const std::wstring victim = PavoTest::MakeTempDirectory(L"victim");
    ASSERT_TRUE(PavoTest::WriteFileBytes(victim + L"precious.txt", "keep"));
    const std::wstring link = JoinPath(root, L"skin");
    DWORD error = 0;
    if (!PavoTest::MakeJunction(link, victim.substr(0, victim.size() - 1), &error))
        GTEST_SKIP() << "this system cannot create junctions (error " << error << ")";
    EXPECT_TRUE(Lumen::DeleteDirectoryTree(link));
    EXPECT_TRUE(PavoTest::FileExists(victim + L"precious.txt")) << "the link's target was emptied";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(link.c_str()));
    Lumen::DeleteDirectoryTree(root);
}

}  // namespace
