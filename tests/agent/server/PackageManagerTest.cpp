#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConfigManager.h"
#include "Lumen/PathUtils.h"
#include "Lumen/SessionUtils.h"
#include "Lumen/StringUtils.h"
#include "PackageManager.h"
#include "ServerTestSupport.h"
#include "SessionManager.h"
#include "TestSupport.h"

namespace {

// Every service the test installers may register (tools/fake-installer).
const wchar_t* const kTestServices[] = {L"PavoPkgTestA", L"PavoPkgTestB", L"PavoPkgTestW",
                                        L"PavoPkgTestP", L"PavoPkgTestX", L"PavoPkgTestK"};

const char kInspection[] = R"({
    "PKG_A": [{"type": "service", "value": "PavoPkgTestA"}, {"type": "file", "value": "C:\\ignored"}],
    "PKG_B": [{"type": "service", "value": "PavoPkgTestB"}],
    "PKG_NONE": [{"type": "service", "value": "PavoPkgTestA"}, {"type": "service", "value": "PavoPkgNever"}],
    "PKG_MISSING": [{"type": "service", "value": "PavoPkgNever"}],
    "PKG_W": [{"type": "service", "value": "PavoPkgTestW"}],
    "PKG_P": [{"type": "service", "value": "PavoPkgTestP"}],
    "PKG_X": [{"type": "service", "value": "PavoPkgTestX"}],
    "KTL_9_04": [{"type": "service", "value": "PavoPkgTestK"}]
})";

const char kInstallerInfo[] = R"({
    "PKG_W": [{"type": "installer_x86", "value": "PavoPkgNeverX86"}, {"type": "installer_x64", "value": "PavoPkgHelperW"},
              {"type": "mutex", "value": "PavoPkgMutexW"}],
    "PKG_P": [{"type": "installer_x64", "value": "PavoPkgNoSuchProcess"}],
    "PKG_X": [{"type": "installer_x86", "value": "PavoPkgNoSuchProcess"}],
    "PKG_A": []
})";

class PackageManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GT(ServerTest::OperatorPort(), 0) << "run through scripts/with-operator-server.sh (ctest does)";
        ServerTest::LoadTestStrings();
        for (const wchar_t* name : kTestServices) PavoTest::RemoveService(name);
        dataDirectory_ = PavoTest::MakeTempDirectory(L"inspection");
        ::CreateDirectoryW((dataDirectory_ + L"inspection_data").c_str(), nullptr);
        WriteInspection(kInspection, kInstallerInfo);
        ASSERT_TRUE(session_.Initialize(nullptr));
        packages_.SetSessionManager(&session_);
        packages_.SetDataDirectory(dataDirectory_);
    }

    void TearDown() override
    {
        session_.GetTimer().Stop();
        for (const wchar_t* name : kTestServices) EXPECT_TRUE(PavoTest::RemoveService(name)) << name;
        ServerTest::Admin(L"/admin/reset", "{}");
    }

    void WriteInspection(const std::string& inspection, const std::string& installerInfo)
    {
        WriteOrRemove(L"inspection_data.json", inspection);
        WriteOrRemove(L"additional_installer_info.json", installerInfo);
    }

    void WriteOrRemove(const wchar_t* name, const std::string& text)
    {
        const std::wstring path = dataDirectory_ + L"inspection_data\\" + name;
        if (text == "-")
            ::DeleteFileW(path.c_str());
        else
            ASSERT_TRUE(PavoTest::WriteFileBytes(path, text));
    }

    void LoginAs(const wchar_t* user)
    {
        ASSERT_EQ(session_.Login(user, L"pw"), 0);
        session_.GetTimer().Stop();
    }

    const PRODUCT_INFO& Product(const std::wstring& code)
    {
        for (const PRODUCT_INFO& product : products_)
            if (product.productCode == code) return product;
        static PRODUCT_INFO none;
        ADD_FAILURE() << "no product " << Lumen::WideToUtf8(code);
        return none;
    }

    static bool ServiceExists(const wchar_t* name) { return PavoTest::QueryServiceState(name) != 0; }

    std::wstring dataDirectory_;
    SessionManager session_;
    PackageManager packages_;
    std::vector<PRODUCT_INFO> products_;
};

}  // namespace

TEST_F(PackageManagerTest, CheckReportsInstalledStates)
{
    LoginAs(L"check");
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    ASSERT_EQ(products_.size(), 3u);
    EXPECT_FALSE(Product(L"PKG_A").installed);
    EXPECT_FALSE(Product(L"PKG_NONE").installed);
    EXPECT_TRUE(Product(L"PKG_FREE").installed) << "a product without rules counts as installed";
    EXPECT_EQ(ConfigManager::GetInstance()->GetCustomerId(), L"CHECK");
    EXPECT_EQ(ConfigManager::GetInstance()->GetCompanyName(), L"ACME");

    ASSERT_TRUE(PavoTest::InstallService(L"PavoPkgTestA", PavoTest::BinDirectory() + L"PavoFakeInstaller.exe"));
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    EXPECT_TRUE(Product(L"PKG_A").installed);
    EXPECT_FALSE(Product(L"PKG_NONE").installed) << "one of two services is missing";

    const Json::Value states = ServerTest::GetJson(L"/status")["users"]["check"];
    EXPECT_EQ(states["PKG_A"].asString(), "installed");
    EXPECT_EQ(states["PKG_NONE"].asString(), "uninstalled");
    EXPECT_EQ(states["PKG_FREE"].asString(), "installed");
}

TEST_F(PackageManagerTest, CheckFailures)
{
    LoginAs(L"empty");
    EXPECT_EQ(packages_.CheckProduct(products_), -9000) << "an empty list";
    LoginAs(L"orphan");
    EXPECT_EQ(packages_.CheckProduct(products_), -3);

    LoginAs(L"check");
    ASSERT_TRUE(ServerTest::Admin(L"/admin/fault", R"({"path": "/agent/license", "resultCode": 401})"));
    EXPECT_EQ(packages_.CheckProduct(products_), -2);
    ASSERT_TRUE(ServerTest::Admin(L"/admin/reset", "{}"));
    ASSERT_TRUE(ServerTest::Admin(L"/admin/fault", R"({"path": "/agent/license-status", "resultCode": 500})"));
    EXPECT_EQ(packages_.CheckProduct(products_), -3);
    ASSERT_TRUE(ServerTest::Admin(L"/admin/reset", "{}"));
    EXPECT_TRUE(products_.empty()) << "a failed check hands out nothing";

    struct Case {
        const char* inspection;
        const char* installerInfo;
        int result;
    } cases[] = {
        {"-", "{}", -9006},
        {"{}", "-", -9006},
        {"{}", "{}", -9006},
        {"[]", "{}", -9006},
        {"null", "{}", -9006},
        {"[1, 2]", "{}", -9006},
        {"\"text\"", "{}", -9006},
        {"{\"PKG_A\": [", "{}", -2},
        {"", "{}", -2},
        {R"({"PKG_A": [{"type": "service"}]})", "{}", -2},
        {R"({"OTHER": [{"value": "S"}]})", "{}", -2},
        {R"({"PKG_A": []})", R"({"PKG_A": [{"type": "mutex", "value": 3}]})", -2},
        {R"({"PKG_A": []})", "[1]", -2},
        {R"({"PKG_A": []})", "{oops", -2},
    };
    for (const Case& c : cases) {
        WriteInspection(c.inspection, c.installerInfo);
        EXPECT_EQ(packages_.CheckProduct(products_), c.result) << c.inspection << " / " << c.installerInfo;
    }
    // A broken entry of a product the customer does not have is not read.
    WriteInspection(R"({"PKG_A": []})", R"({"PKG_OTHER": [{"type": 1}]})");
    EXPECT_EQ(packages_.CheckProduct(products_), 0);
}

TEST_F(PackageManagerTest, InstallOneProduct)
{
    LoginAs(L"check");
    ASSERT_EQ(packages_.CheckProduct(products_), 0);

    // The download folder holds only the installer being installed.
    const std::wstring folder = PackageManager::DownloadDirectory();
    ASSERT_FALSE(folder.empty());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CreateDirectoryW((folder + L"\\old").c_str(), nullptr);
    ASSERT_TRUE(PavoTest::WriteFileBytes(folder + L"\\old\\stale.exe", "stale"));

    EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_A")), 0);
    EXPECT_TRUE(packages_.IsInstalled(L"PKG_A"));
    EXPECT_TRUE(ServiceExists(L"PavoPkgTestA"));
    EXPECT_FALSE(PavoTest::FileExists(folder + L"\\old\\stale.exe"));
    EXPECT_TRUE(PavoTest::FileExists(folder + L"\\a~svc=PavoPkgTestA.exe"));

    // The installer ran and ended without installing.
    EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_NONE")), 0);
    EXPECT_FALSE(packages_.IsInstalled(L"PKG_NONE"));

    // A missing installer (404 page) is a failed download, never run.
    PRODUCT_INFO missing{L"PKG_MISSING", ServerTest::ServerUrl(L"/download/missing.exe"), false};
    EXPECT_EQ(packages_.DownloadUrl(missing), -2);
    EXPECT_FALSE(PavoTest::FileExists(folder + L"\\missing.exe"));
    // Nothing listens on port 1.
    PRODUCT_INFO unreachable{L"PKG_MISSING", L"http://127.0.0.1:1/download/setup.exe", false};
    EXPECT_EQ(packages_.DownloadUrl(unreachable), -2);

    // Refused names touch nothing.
    ASSERT_TRUE(PavoTest::WriteFileBytes(folder + L"\\keep.txt", "keep"));
    for (const std::wstring& url : {ServerTest::ServerUrl(L"/download/CON"), ServerTest::ServerUrl(L"/download/.."),
                                    ServerTest::ServerUrl(L"/download/a:b.exe"), ServerTest::ServerUrl(L"")}) {
        EXPECT_EQ(packages_.DownloadUrl(PRODUCT_INFO{L"PKG_A", url, false}), -2) << Lumen::WideToUtf8(url);
    }
    EXPECT_TRUE(PavoTest::FileExists(folder + L"\\keep.txt"));
}

TEST_F(PackageManagerTest, InstallWaitsForProcessesAndMutex)
{
    LoginAs(L"waits");
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    ASSERT_TRUE(PackageManager::IsNativeX64());

    // x64 list on x64; the x86 list names a process that never runs.
    ASSERT_EQ(packages_.DownloadUrl(Product(L"PKG_W")), 0);
    EXPECT_TRUE(packages_.IsInstalled(L"PKG_W"));
    EXPECT_FALSE(Lumen::SessionUtils::FindProcessByName(L"PavoPkgHelperW")) << "returned before the helper ended";
    Lumen::ScopedHandle mutex(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"PavoPkgMutexW"));
    if (mutex) {
        const DWORD waited = ::WaitForSingleObject(mutex.Get(), 0);
        EXPECT_TRUE(waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) << "returned while the mutex was held";
        ::ReleaseMutex(mutex.Get());
    }

    // A listed process that never appears fails after ten tries.
    EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_P")), -2);
    // Only an x86 list on x64: nothing to wait for.
    EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_X")), 0);
    EXPECT_TRUE(packages_.IsInstalled(L"PKG_X"));

    // This product's installer is saved under the company name in front.
    ASSERT_EQ(packages_.GetCompanyName(), L"ACME");
    EXPECT_EQ(packages_.DownloadUrl(Product(L"KTL_9_04")), 0);
    EXPECT_TRUE(PavoTest::FileExists(PackageManager::DownloadDirectory() + L"\\ACMESetup~svc=PavoPkgTestK.exe"));
    EXPECT_TRUE(packages_.IsInstalled(L"KTL_9_04"));
}

TEST_F(PackageManagerTest, InstallAll)
{
    LoginAs(L"all");
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    // The second product's download fails: the third is not tried.
    EXPECT_EQ(packages_.InstallAllProduct(), -2);
    EXPECT_TRUE(ServiceExists(L"PavoPkgTestA"));
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestB"));

    LoginAs(L"incomplete");
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    EXPECT_EQ(packages_.InstallAllProduct(), -9007);

    // Nothing left to install.
    LoginAs(L"check");
    WriteInspection(R"({"PKG_A": []})", "{}");
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    EXPECT_EQ(packages_.InstallAllProduct(), 0);
}
