#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "DirectoryUtils.h"
#include "FontHelper.h"
#include "Lumen/PathUtils.h"
#include "Lumen/SessionUtils.h"
#include "ResourceManager.h"
#include "SkinManager.h"
#include "TestSupport.h"
#include "ZipTestSupport.h"

namespace {

using Lumen::JoinPath;

// The session list comes from the stand-in wtsapi32.dll beside the test
// program (chosen by the test's DLL override), read from the file named
// here; without the file it answers no sessions, as Wine always does.
class SessionListEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ::DeleteFileW(SessionsFile().c_str());
        ::SetEnvironmentVariableW(L"PAVO_TEST_SESSIONS_FILE", SessionsFile().c_str());
    }
    static const std::wstring& SessionsFile()
    {
        static const std::wstring path = PavoTest::MakeTempDirectory(L"sessions") + L"sessions.txt";
        return path;
    }
};
const ::testing::Environment* const g_sessions = ::testing::AddGlobalTestEnvironment(new SessionListEnvironment);

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

    // A font folder with one real font, a text file and a sub-folder;
    // returns the font's path.
    std::wstring AddFontFolder()
    {
        const std::wstring font = JoinPath(program_, L"font\\NanumGothic.ttf");
        EXPECT_TRUE(::CopyFileW(L"" PAVO_NANUM_FONT, font.c_str(), FALSE)) << ::GetLastError();
        EXPECT_TRUE(ToolkitTest::WriteTextFile(JoinPath(program_, L"font\\readme.txt"), "not a font"));
        EXPECT_TRUE(Lumen::CreateDirectoryTree(JoinPath(program_, L"font\\sub")));  // folders are not listed
        return font;
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

TEST_F(ResourceManagerTest, RegistersFontsUnpacksTheSkinAndDeletesItAtExit)
{
    AddFontFolder();

    ResourceManager* resources = ResourceManager::GetInstance();
    ASSERT_TRUE(resources->Load(program_, L"PavoAgent.exe"));
    EXPECT_EQ(2u, resources->GetFontFiles().size());
    EXPECT_TRUE(Lumen::FontHelper::IsInstalled(L"NanumGothic"));
    EXPECT_EQ(L"Exit", resources->GetString(L"종료"));

    const std::wstring unpacked =
        JoinPath(program_, L"skin\\PavoAgent.exe\\" + std::to_wstring(Lumen::SessionUtils::GetProcessSessionId()));
    EXPECT_EQ(unpacked, resources->GetSkinFolder());
    EXPECT_EQ(JoinPath(unpacked, L"100"), resources->GetSkinManager()->GetImageDirectory());
    EXPECT_EQ(102, resources->GetSkinManager()->IdentifierByName(L"IDD_MAIN"));
    Json::Value list;
    EXPECT_TRUE(resources->GetSkinManager()->LoadSkin(102, list));
    // The skin's files reach the disk only after the first page.
    EXPECT_FALSE(Lumen::DirectoryExists(unpacked));
    resources->FinishLoad();
    EXPECT_TRUE(resources->GetSkinManager()->WaitUnpacked());
    EXPECT_TRUE(Lumen::DirectoryExists(JoinPath(unpacked, L"100")));

    resources->Unload();
    EXPECT_FALSE(Lumen::DirectoryExists(unpacked));
    EXPECT_FALSE(Lumen::DirectoryExists(JoinPath(program_, L"skin\\PavoAgent.exe"))) << "no session's folder is left";
    EXPECT_TRUE(resources->GetFontFiles().empty());
}

// Under Wine every process shares one session and the session list is empty;
// the stand-in supplies the lists Windows gives with several users logged in.
TEST_F(ResourceManagerTest, AnAgentDeletesOnlyItsOwnSessionsSkinAndThoseOfEndedSessions)
{
    AddFontFolder();
    const DWORD own = Lumen::SessionUtils::GetProcessSessionId();
    const std::wstring base = JoinPath(program_, L"skin\\PavoAgent.exe");
    const std::wstring other = JoinPath(base, std::to_wstring(own + 1));  // another user's agent
    const std::wstring ended = JoinPath(base, std::to_wstring(own + 2));
    const std::wstring stray = JoinPath(base, L"backup");
    for (const std::wstring& folder : {other, ended, stray})
        ASSERT_TRUE(ToolkitTest::WriteTextFile(JoinPath(folder, L"100\\resource.json"), "{}"));
    ResourceManager* resources = ResourceManager::GetInstance();

    // No list (Wine's answer): nothing but the own folder is touched.
    ASSERT_TRUE(resources->Load(program_, L"PavoAgent.exe"));
    resources->FinishLoad();
    EXPECT_EQ(JoinPath(base, std::to_wstring(own)), resources->GetSkinFolder());
    EXPECT_EQ(102, resources->GetSkinManager()->IdentifierByName(L"IDD_MAIN"));
    EXPECT_TRUE(Lumen::DirectoryExists(other));
    EXPECT_TRUE(Lumen::DirectoryExists(ended));
    resources->Unload();
    EXPECT_FALSE(Lumen::DirectoryExists(JoinPath(base, std::to_wstring(own))));
    EXPECT_TRUE(Lumen::DirectoryExists(other)) << "the exit deleted another session's skin";

    // A list without this session is not believed either.
    ASSERT_TRUE(PavoTest::WriteFileBytes(SessionListEnvironment::SessionsFile(),
                                         "0 disconnected\n" + std::to_string(own + 1) + " active\n"));
    ASSERT_TRUE(resources->Load(program_, L"PavoAgent.exe"));
    resources->FinishLoad();
    EXPECT_TRUE(Lumen::DirectoryExists(ended));
    resources->Unload();

    // Two users logged in: the ended session's folder goes once the first
    // page is up.
    ASSERT_TRUE(PavoTest::WriteFileBytes(SessionListEnvironment::SessionsFile(),
                                         "0 disconnected\n" + std::to_string(own) + " active\n" +
                                             std::to_string(own + 1) + " disconnected\n"));
    std::vector<DWORD> listed;
    ASSERT_TRUE(Lumen::SessionUtils::EnumerateSessionIds(&listed));
    ASSERT_EQ((std::vector<DWORD>{0, own, own + 1}), listed) << "the stand-in's list";
    ASSERT_TRUE(resources->Load(program_, L"PavoAgent.exe"));
    EXPECT_TRUE(Lumen::DirectoryExists(ended));
    resources->FinishLoad();
    EXPECT_FALSE(Lumen::DirectoryExists(ended));
    EXPECT_TRUE(Lumen::DirectoryExists(other));
    EXPECT_TRUE(Lumen::DirectoryExists(stray)) << "only session folders are cleared";
    resources->Unload();
    ::DeleteFileW(SessionListEnvironment::SessionsFile().c_str());
}

TEST_F(ResourceManagerTest, RemovesTheRegisteredFontsAtExit)
{
    if (!SystemRemovesFonts()) GTEST_SKIP() << "Wine 8: RemoveFontResourceW fails even for a font it has just added";
    const std::wstring font = AddFontFolder();
    ResourceManager* resources = ResourceManager::GetInstance();
    ASSERT_TRUE(resources->Load(program_, L"PavoAgent.exe"));
    EXPECT_EQ(1, resources->Unload());  // the font, not the text file
    // The font file is no longer held open by the system.
    EXPECT_TRUE(::DeleteFileW(font.c_str())) << ::GetLastError();
}

}  // namespace
