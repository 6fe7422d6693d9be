#include <gtest/gtest.h>

#include <map>
#include <string>

#include "DirectoryUtils.h"
#include "GdiHandles.h"
#include "ImageLoader.h"
#include "Lumen/FileUtils.h"
#include "Lumen/PathUtils.h"
#include "SkinDocuments.h"
#include "SkinManager.h"
#include "TestImages.h"
#include "ZipTestSupport.h"

namespace {

using Lumen::JoinPath;
using Lumen::SkinManager;

TEST(SkinManagerTest, ReadsTheResourceTable)
{
    SkinManager skin(L"C:\\App\\");
    std::string error;
    ASSERT_TRUE(skin.ParseResourceTable(
        u8R"({"resource":[{"id":"IDD_MAIN","value":102},{"id":"로그인","value":130},{"id":"IDD_MAIN","value":7}]})",
        &error));
    EXPECT_EQ(102, skin.IdentifierByName(L"IDD_MAIN"));  // the first value stays
    EXPECT_EQ(130, skin.IdentifierByName(L"로그인"));
    EXPECT_EQ(L"IDD_MAIN", skin.NameByIdentifier(102));
    EXPECT_EQ(L"IDD_MAIN", skin.NameByIdentifier(7));
    // An unknown name is entered with 0.
    EXPECT_EQ(0, skin.IdentifierByName(L"IDC_UNKNOWN"));
    EXPECT_EQ(0, skin.IdentifierByName(L"IDC_UNKNOWN"));
    EXPECT_EQ(L"", skin.NameByIdentifier(999));

    // A document without "resource" reads nothing and is no error.
    EXPECT_TRUE(skin.ParseResourceTable("{}", &error));
    // Malformed text, and a member of the wrong type, end the reading with
    // the reason; entries read before stay.
    EXPECT_FALSE(skin.ParseResourceTable("{\"resource\": [", &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(skin.ParseResourceTable(R"({"resource":[{"id":"A","value":1},{"id":"B","value":"x"}]})", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(1, skin.IdentifierByName(L"A"));
    EXPECT_FALSE(skin.ParseResourceTable(R"({"resource":[{"id":"N","value":-4}]})", &error));
    // Identifiers are ints: a larger number is no identifier, nor is a fraction.
    EXPECT_FALSE(skin.ParseResourceTable(R"({"resource":[{"id":"BIG","value":4294967295}]})", &error));
    EXPECT_FALSE(skin.ParseResourceTable(R"({"resource":[{"id":"HALF","value":1.5}]})", &error));
    EXPECT_EQ(L"", skin.NameByIdentifier(-1));
    EXPECT_EQ(0, skin.IdentifierByName(L"BIG"));
}

TEST(SkinManagerTest, MalformedResourceTablesAndDescriptionsGiveReasons)
{
    std::map<int, std::wstring> names;
    std::map<std::wstring, int> ids;
    std::string error;
    const std::string deep = "{\"resource\":" + std::string(2000, '[');  // deeper than the reader allows
    for (const std::string& bad : {std::string(), std::string("["), std::string(R"({"resource":{"id":"A","value":1}})"),
                                   std::string(R"({"resource":[5]})"), std::string(R"({"resource":[{"id":{},"value":1}]})"),
                                   std::string(R"({"resource":[{"id":"A","value":true}]})"), deep}) {
        EXPECT_FALSE(Lumen::ParseResourceTable(bad, &names, &ids, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(ids.empty());

    Json::Value list("untouched");
    EXPECT_FALSE(Lumen::ParseSkinDescription(std::string(5000, '['), &list, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(Lumen::ParseSkinDescription("[1]", &list, &error));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ("untouched", list.asString());
    ASSERT_TRUE(Lumen::ParseSkinDescription(R"({"skin_info_list":[{"id":"X"}]})", &list, &error));
    EXPECT_EQ("X", list[0]["id"].asString());
}

TEST(SkinManagerTest, ResourceNamesNameOnePlainFile)
{
    EXPECT_EQ(L"IDD_MAIN.json", Lumen::SkinDescriptionFileName(L"IDD_MAIN"));
    EXPECT_EQ(L"로그인.json", Lumen::SkinDescriptionFileName(L"로그인"));
    for (const wchar_t* name : {L"", L"..\\outside", L"../outside", L"a\\b", L"C:x", L"CON", L"com\u00B2", L"x?"}) {
        EXPECT_EQ(L"", Lumen::SkinDescriptionFileName(name)) << name;
    }
}

class SkinManagerFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program_ = ToolkitTest::MakeTempFolder(L"skin-test");
        unpack_ = JoinPath(program_, L"skin\\PavoAgent.exe");
        Lumen::CreateDirectoryTree(JoinPath(program_, L"skin"));
    }
    void TearDown() override { Lumen::DeleteDirectoryTree(program_); }

    std::wstring program_;
    std::wstring unpack_;
};

TEST_F(SkinManagerFolderTest, UnpacksTheArchiveAndHandsOutDialogSkins)
{
    ASSERT_TRUE(ToolkitTest::WriteZip(
        JoinPath(program_, L"skin\\PavoAgent_default.zip"),
        {{"100/resource.json", R"({"resource":[{"id":"IDD_MAIN","value":102},{"id":"IDD_BAD","value":103},)"
                               R"({"id":"IDD_EMPTY","value":104},{"id":"IDD_NONE","value":105}]})"},
         {"100/IDD_MAIN.json", R"({"skin_info_list":[{"id":"IDD_MAIN","text":"main"}]})"},
         {"100/IDD_BAD.json", R"({"skin_info_list":[)"},
         {"100/IDD_EMPTY.json", R"({"other":1})"}}));
    // A stale unpack folder is removed first.
    ASSERT_TRUE(ToolkitTest::WriteTextFile(JoinPath(unpack_, L"100\\stale.json"), "{}"));

    SkinManager skin(program_);
    skin.SetUnpackDirectory(unpack_);
    EXPECT_EQ(JoinPath(program_, L"skin"), skin.GetSkinDirectory());
    EXPECT_TRUE(skin.UnpackSkin());
    bool exists = true;
    ToolkitTest::ReadTextFile(JoinPath(unpack_, L"100\\stale.json"), &exists);
    EXPECT_FALSE(exists);
    skin.LoadResource();
    EXPECT_EQ(102, skin.IdentifierByName(L"IDD_MAIN"));
    EXPECT_EQ(JoinPath(unpack_, L"100"), skin.GetImageDirectory());
    EXPECT_FALSE(skin.GetDefaultFaceName().empty());

    Json::Value list;
    ASSERT_TRUE(skin.LoadSkin(102, list));
    ASSERT_TRUE(list.isArray());
    EXPECT_EQ("main", list[0]["text"].asString());
    EXPECT_FALSE(skin.LoadSkin(103, list));  // malformed
    EXPECT_FALSE(skin.LoadSkin(104, list));  // no "skin_info_list"
    EXPECT_FALSE(skin.LoadSkin(105, list));  // no file
    EXPECT_FALSE(skin.LoadSkin(999, list));  // no name
}

TEST_F(SkinManagerFolderTest, ResourceNamesNeverReadOutsideTheScaleFolder)
{
    // The description files exist, one folder up; names that climb to them
    // or name a device are refused.
    ASSERT_TRUE(ToolkitTest::WriteZip(
        JoinPath(program_, L"skin\\PavoAgent_default.zip"),
        {{"100/resource.json", R"({"resource":[{"id":"../outside","value":106},{"id":"..\\outside","value":107},)"
                               R"({"id":"CON","value":108},{"id":"inside","value":109}]})"},
         {"outside.json", R"({"skin_info_list":[{"id":"escaped"}]})"},
         {"100/inside.json", R"({"skin_info_list":[{"id":"inside"}]})"}}));
    SkinManager skin(program_);
    skin.SetUnpackDirectory(unpack_);
    ASSERT_TRUE(skin.UnpackSkin());
    skin.LoadResource();
    Json::Value list;
    EXPECT_FALSE(skin.LoadSkin(106, list));
    EXPECT_FALSE(skin.LoadSkin(107, list));
    EXPECT_FALSE(skin.LoadSkin(108, list));
    EXPECT_TRUE(list.isNull());
    ASSERT_TRUE(skin.LoadSkin(109, list));
    EXPECT_EQ("inside", list[0]["id"].asString());
}

TEST_F(SkinManagerFolderTest, AMissingArchiveOrTableLeavesTheDefaults)
{
    SkinManager skin(program_);
    skin.SetUnpackDirectory(unpack_);
    EXPECT_TRUE(skin.UnpackSkin());
    skin.LoadResource();
    EXPECT_EQ(0, skin.IdentifierByName(L"IDD_MAIN"));
    Json::Value list;
    EXPECT_FALSE(skin.LoadSkin(0, list));
}

TEST_F(SkinManagerFolderTest, PicturesAreReadFromMemoryWhileTheFolderIsWrittenAndTheFolderEndsComplete)
{
    // A real picture, packed with the rest.
    const std::wstring source = JoinPath(program_, L"logo.png");
    ASSERT_TRUE(ToolkitTest::WriteSolid(source, 6, 4, 0xFF336699u));
    std::string png;
    ASSERT_TRUE(Lumen::ReadWholeFile(source, png));
    ASSERT_TRUE(ToolkitTest::WriteZip(JoinPath(program_, L"skin\\PavoAgent_default.zip"),
                                      {{"100/resource.json", R"({"resource":[]})"}, {"100/Logo.png", png}}));
    {
        auto skin = std::make_shared<SkinManager>(program_);
        skin->SetUnpackDirectory(unpack_);
        ASSERT_TRUE(skin->UnpackSkin());
        // The reader takes the archive's bytes whatever the case of the name.
        std::string bytes;
        ASSERT_TRUE(skin->ReadSkinFile(JoinPath(unpack_, L"100\\LOGO.PNG"), &bytes));
        EXPECT_EQ(png, bytes);
        Lumen::ImageLoader::SetFileSource(
            [skin](const std::wstring& path, std::string* read) { return skin->ReadSkinFile(path, read); },
            [skin] { skin->WaitUnpacked(); });
        Lumen::ScopedBitmap bitmap(Lumen::ImageLoader::Load(JoinPath(skin->GetImageDirectory(), L"logo.png")));
        Lumen::ImageLoader::SetFileSource(nullptr, nullptr);
        BITMAP info = {};
        ASSERT_TRUE(bitmap && ::GetObjectW(bitmap.Get(), sizeof(info), &info) != 0);
        EXPECT_EQ(6, info.bmWidth);
        // A file the archive does not hold is read from the disk, after the writing.
        EXPECT_FALSE(skin->ReadSkinFile(JoinPath(unpack_, L"100\\missing.png"), &bytes));
        EXPECT_TRUE(skin->WaitUnpacked());
    }
    std::string written;
    ASSERT_TRUE(Lumen::ReadWholeFile(JoinPath(unpack_, L"100\\Logo.png"), written));
    EXPECT_EQ(png, written);
    ASSERT_TRUE(Lumen::FileExists(JoinPath(unpack_, L"100\\resource.json")));

    // The files wait to be asked for: a skin that goes (or is unpacked
    // again) before that writes nothing, and a started writing is complete
    // once waited for.
    Lumen::DeleteDirectoryTree(unpack_);
    {
        SkinManager unwritten(program_);
        unwritten.SetUnpackDirectory(unpack_);
        ASSERT_TRUE(unwritten.UnpackSkin());
        ASSERT_TRUE(unwritten.UnpackSkin());
        EXPECT_FALSE(Lumen::DirectoryExists(unpack_));
    }
    EXPECT_FALSE(Lumen::DirectoryExists(unpack_));
    {
        SkinManager started(program_);
        started.SetUnpackDirectory(unpack_);
        ASSERT_TRUE(started.UnpackSkin());
        started.StartWritingFiles();
        started.StartWritingFiles();
        EXPECT_TRUE(started.WaitUnpacked());
        ASSERT_TRUE(Lumen::ReadWholeFile(JoinPath(unpack_, L"100\\Logo.png"), written));
        EXPECT_EQ(png, written);
    }

    // An archive that cannot be read whole keeps what came before the bad
    // entry, and nothing lands outside the folder.
    Lumen::DeleteDirectoryTree(unpack_);
    ASSERT_TRUE(ToolkitTest::WriteZip(JoinPath(program_, L"skin\\PavoAgent_default.zip"),
                                      {{"100/resource.json", "{}"},
                                       {"../escape.json", "{}"},
                                       {"100/after.json", "{}"}}));
    SkinManager damaged(program_);
    damaged.SetUnpackDirectory(unpack_);
    EXPECT_FALSE(damaged.UnpackSkin());
    EXPECT_TRUE(damaged.WaitUnpacked());
    EXPECT_TRUE(Lumen::FileExists(JoinPath(unpack_, L"100\\resource.json")));
    EXPECT_FALSE(Lumen::FileExists(JoinPath(unpack_, L"100\\after.json")));
    EXPECT_FALSE(Lumen::FileExists(JoinPath(program_, L"skin\\escape.json")));
}

}  // namespace
