#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "DirectoryUtils.h"
#include "FontHelper.h"
#include "Lumen/PathUtils.h"
#include "ResourceManager.h"
#include "SkinManager.h"
#include "ZipTestSupport.h"

namespace {

using Lumen::JoinPath;

// A program folder with a skin archive and both language tables; each test
// adds its font folder.
class ResourceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program_ = ToolkitTest::MakeTempFolder(L"resources");
        ASSERT_TRUE(Lumen::CreateDirectoryTree(JoinPath(program_, L"skin")));
        ASSERT_TRUE(ToolkitTest::WriteZip(JoinPath(program_, L"skin\\PavoAgent_default.zip"),
                                          {{"100/resource.json", R"({"resource":[{"id":"IDD_MAIN","value":102}]})"},
                                           {"100/IDD_MAIN.json", R"({"skin_info_list":[]})"}}));
        const std::string table = u8R"({"strings":[{"key":"종료","value":"Exit"}]})";
        ASSERT_TRUE(ToolkitTest::WriteTextFile(JoinPath(program_, L"language\\eng.json"), table));
        ASSERT_TRUE(ToolkitTest::WriteTextFile(JoinPath(program_, L"language\\kor.json"), table));
        ASSERT_TRUE(Lumen::CreateDirectoryTree(JoinPath(program_, L"font")));
    }
    void TearDown() override
    {
        ResourceManager::GetInstance()->Unload();
        ResourceManager::DestroyInstance();
        Lumen::DeleteDirectoryTree(program_);
    }

    // Whether the system removes a font file it has just added.
    bool SystemRemovesFonts()
    {
        const std::wstring probe = JoinPath(program_, L"probe.ttf");
        if (!::CopyFileW(L"" PAVO_NANUM_FONT, probe.c_str(), FALSE) || ::AddFontResourceW(probe.c_str()) == 0) {
            return false;
        }
        return ::RemoveFontResourceW(probe.c_str()) != FALSE;
    }

    std::wstring program_;
};

TEST_F(ResourceManagerTest, AnEmptyFontFolderMakesTheLoadFail)
{
    ResourceManager* resources = ResourceManager::GetInstance();
    EXPECT_FALSE(resources->Load(program_, L"PavoAgent.exe"));
    // The skin was unpacked all the same; the language was not loaded.
    EXPECT_EQ(102, resources->GetSkinManager()->IdentifierByName(L"IDD_MAIN"));
    EXPECT_EQ(L"종료", resources->GetString(L"종료"));
}

TEST_F(ResourceManagerTest, RegistersFontsUnpacksTheSkinAndRemovesBothAtExit)
{
    const std::wstring font = JoinPath(program_, L"font\\NanumGothic.ttf");
    ASSERT_TRUE(::CopyFileW(L"" PAVO_NANUM_FONT, font.c_str(), FALSE)) << ::GetLastError();
    ASSERT_TRUE(ToolkitTest::WriteTextFile(JoinPath(program_, L"font\\readme.txt"), "not a font"));
    ASSERT_TRUE(Lumen::CreateDirectoryTree(JoinPath(program_, L"font\\sub")));  // folders are not listed

    ResourceManager* resources = ResourceManager::GetInstance();
    ASSERT_TRUE(resources->Load(program_, L"PavoAgent.exe"));
    EXPECT_EQ(2u, resources->GetFontFiles().size());
    EXPECT_TRUE(Lumen::FontHelper::IsInstalled(L"NanumGothic"));
    EXPECT_EQ(L"Exit", resources->GetString(L"종료"));

    const std::wstring unpacked = JoinPath(program_, L"skin\\PavoAgent.exe");
    EXPECT_EQ(unpacked, resources->GetSkinFolder());
    EXPECT_EQ(JoinPath(unpacked, L"100"), resources->GetSkinManager()->GetImageDirectory());
    EXPECT_EQ(102, resources->GetSkinManager()->IdentifierByName(L"IDD_MAIN"));
    Json::Value list;
    EXPECT_TRUE(resources->GetSkinManager()->LoadSkin(102, list));

    const int removed = resources->Unload();
    EXPECT_FALSE(Lumen::DirectoryExists(unpacked));
    EXPECT_TRUE(resources->GetFontFiles().empty());
    if (removed == 0 && !SystemRemovesFonts()) {
        GTEST_SKIP() << "Wine 8: RemoveFontResourceW fails even for a font it has just added";
    }
    EXPECT_EQ(1, removed);  // the font, not the text file
    // The font file is no longer held open by the system.
    EXPECT_TRUE(::DeleteFileW(font.c_str())) << ::GetLastError();
}

}  // namespace
