#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <wincrypt.h>
#include <sddl.h>
#include <winioctl.h>

#include <cctype>
#include <cstring>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ConfigManager.h"
#include "Lumen/LogManager.h"
#include "Lumen/PathUtils.h"
#include "Lumen/SessionUtils.h"
#include "AuthenticodeSigner.h"
#include "Lumen/StringUtils.h"
#include "Lumen/UniqueHandle.h"
#include "PackageManager.h"
#include "ServerTestSupport.h"
#include "SessionManager.h"
#include "TestSupport.h"

namespace {

// Every service the test installers may register (tools/fake-installer).
const wchar_t* const kTestServices[] = {L"PavoPkgTestA", L"PavoPkgTestB", L"PavoPkgTestW", L"PavoPkgTestP",
                                        L"PavoPkgTestX", L"PavoPkgTestK", L"PavoPkgTestS", L"PavoPkgTestT",
                                        L"PavoPkgTestU"};

const char kInspection[] = R"({
    "PKG_A": [{"type": "service", "value": "PavoPkgTestA"}, {"type": "file", "value": "C:\\ignored"}],
    "PKG_B": [{"type": "service", "value": "PavoPkgTestB"}],
    "PKG_NONE": [{"type": "service", "value": "PavoPkgTestA"}, {"type": "service", "value": "PavoPkgNever"}],
    "PKG_MISSING": [{"type": "service", "value": "PavoPkgNever"}],
    "PKG_W": [{"type": "service", "value": "PavoPkgTestW"}],
    "PKG_P": [{"type": "service", "value": "PavoPkgTestP"}],
    "PKG_X": [{"type": "service", "value": "PavoPkgTestX"}],
    "KTL_9_04": [{"type": "service", "value": "PavoPkgTestK"}],
    "PKG_S": [{"type": "service", "value": "PavoPkgTestS"}],
    "PKG_T": [{"type": "service", "value": "PavoPkgTestT"}],
    "PKG_U": [{"type": "service", "value": "PavoPkgTestU"}]
})";

// The servers' installer folder (tests/agent/server/CMakeLists.txt).
std::wstring InstallerFolder()
{
    return PavoTest::BinDirectory() + L"..\\test-installers\\";
}

// "key=value" lines of a file the signing script wrote beside the installers.
std::map<std::string, std::string> SignerFacts()
{
    std::map<std::string, std::string> facts;
    std::istringstream lines(PavoTest::ReadFileBytes(InstallerFolder() + L"signer.txt"));
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) facts[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return facts;
}

// The installer's SHA-256 as sha256sum printed it at build time.
std::string InstallerSha256(const std::string& name)
{
    std::istringstream lines(PavoTest::ReadFileBytes(InstallerFolder() + L"sha256.txt"));
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 66 && line.substr(66) == name) return line.substr(0, 64);
    ADD_FAILURE() << "no digest of " << name;
    return {};
}

struct StoreCloser {
    void operator()(HCERTSTORE store) const { ::CertCloseStore(store, 0); }
};

// The signing script's throw-away root among the machine's trusted roots for
// the object's life.
class TrustedTestRoot {
public:
    TrustedTestRoot()
    {
        const std::string der = PavoTest::ReadFileBytes(InstallerFolder() + L"test-root.cer");
        store_.reset(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
        if (store_ && !der.empty())
            ::CertAddEncodedCertificateToStore(store_.get(), X509_ASN_ENCODING,
                                               reinterpret_cast<const BYTE*>(der.data()),
                                               static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                               &added_);
    }
    ~TrustedTestRoot()
    {
        if (added_ != nullptr) ::CertDeleteCertificateFromStore(added_);
    }
    TrustedTestRoot(const TrustedTestRoot&) = delete;
    TrustedTestRoot& operator=(const TrustedTestRoot&) = delete;
    bool IsTrusted() const { return added_ != nullptr; }

private:
    std::unique_ptr<void, StoreCloser> store_;
    PCCERT_CONTEXT added_ = nullptr;
};

std::string Rules(const std::string& product, const std::string& rules)
{
    return R"({")" + product + R"(": [)" + rules + "]}";
}

std::string Rule(const std::string& type, const std::string& value)
{
    return R"({"type": ")" + type + R"(", "value": ")" + value + R"("})";
}

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
    // Nesting past the JSON reader's limit is a bad file like any other.
    const std::string deep = R"({"PKG_A": )" + std::string(2000, '[');
    WriteInspection(deep, "{}");
    EXPECT_EQ(packages_.CheckProduct(products_), -2);
    WriteInspection(R"({"PKG_A": []})", deep);
    EXPECT_EQ(packages_.CheckProduct(products_), -2);
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

TEST_F(PackageManagerTest, NothingIsInstalledOnTheStrengthOfAFailedCheck)
{
    // Before any check there are no installed states to go by.
    EXPECT_EQ(packages_.InstallAllProduct(), -2);

    // As after a restart: the list arrives, then the inspection file is missing.
    LoginAs(L"check");
    WriteInspection("-", kInstallerInfo);
    ASSERT_EQ(packages_.CheckProduct(products_), -9006);
    ASSERT_FALSE(packages_.GetProducts().empty()) << "the list did arrive";
    EXPECT_EQ(packages_.InstallAllProduct(), -9006);
    PRODUCT_INFO product{L"PKG_A", ServerTest::ServerUrl(L"/download/a~svc=PavoPkgTestA.exe"), false};
    EXPECT_EQ(packages_.DownloadUrl(product), -9006);
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestA")) << "an installer ran";

    WriteInspection("{\"PKG_A\": [", kInstallerInfo);
    ASSERT_EQ(packages_.CheckProduct(products_), -2);
    EXPECT_EQ(packages_.InstallAllProduct(), -2);
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestA"));

    // A good check lets installations run again.
    WriteInspection(kInspection, kInstallerInfo);
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    EXPECT_EQ(packages_.DownloadUrl(product), 0);
    EXPECT_TRUE(ServiceExists(L"PavoPkgTestA"));
}

TEST_F(PackageManagerTest, PlantedJunctionsAreRemovedNeverFollowed)
{
    LoginAs(L"check");
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    const std::wstring folder = PackageManager::DownloadDirectory();
    const std::wstring victim = PavoTest::MakeTempDirectory(L"victim");
    ASSERT_TRUE(PavoTest::WriteFileBytes(victim + L"precious.txt", "keep"));
    const std::wstring target = victim.substr(0, victim.size() - 1);
    const PRODUCT_INFO product{L"PKG_FREE", ServerTest::ServerUrl(L"/download/b~svc=PavoPkgTestB.exe"), false};

    // A junction inside the download folder.
    ::CreateDirectoryW(folder.c_str(), nullptr);
    DWORD error = 0;
    if (!PavoTest::MakeJunction(folder + L"\\planted", target, &error))
        GTEST_SKIP() << "this system cannot create junctions (FSCTL_SET_REPARSE_POINT error " << error << ")";
    ASSERT_EQ(packages_.DownloadUrl(product), 0);
    EXPECT_TRUE(PavoTest::FileExists(victim + L"precious.txt")) << "the junction's target was emptied";
    EXPECT_EQ(::GetFileAttributesW((folder + L"\\planted").c_str()), INVALID_FILE_ATTRIBUTES);

    // The download folder itself replaced by a junction.
    packages_.DownloadUrl(PRODUCT_INFO{L"PKG_FREE", L"http://127.0.0.1:1/x.exe", false});
    ::RemoveDirectoryW(folder.c_str());
    ASSERT_TRUE(PavoTest::MakeJunction(folder, target, &error)) << error;
    ASSERT_EQ(packages_.DownloadUrl(product), 0);
    EXPECT_TRUE(PavoTest::FileExists(victim + L"precious.txt")) << "the junction's target was emptied";
    EXPECT_FALSE(PavoTest::FileExists(victim + L"b~svc=PavoPkgTestB.exe")) << "downloaded through the junction";
}

namespace {

// Whether a folder made with an explicit DACL reads it back (Wine keeps file
// security only where the file system holds extended attributes).
bool FoldersKeepTheirDacl(const std::wstring& scratch)
{
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;SY)", SDDL_REVISION_1, &made, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), made, FALSE};
    const bool created = ::CreateDirectoryW(scratch.c_str(), &attributes) != FALSE;
    ::LocalFree(made);
    if (!created) return false;
    PSECURITY_DESCRIPTOR read = nullptr;
    PACL dacl = nullptr;
    if (::GetNamedSecurityInfoW(scratch.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &read) != ERROR_SUCCESS)
        return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    const bool kept = ::GetSecurityDescriptorControl(read, &control, &revision) && (control & SE_DACL_PROTECTED) &&
                      dacl != nullptr && dacl->AceCount == 1;
    ::LocalFree(read);
    return kept;
}

}  // namespace

TEST_F(PackageManagerTest, TheDownloadFolderIsForAdministratorsOnly)
{
    LoginAs(L"check");
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    ASSERT_EQ(packages_.DownloadUrl(Product(L"PKG_FREE")), 0);
    const std::wstring folder = PackageManager::DownloadDirectory();

    // A name that is already taken (a folder that could not be deleted, or
    // one planted meanwhile) is not used.
    Lumen::ScopedHandle busy(::CreateFileW((folder + L"\\busy.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(busy);
    EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_FREE")), -2);
    EXPECT_FALSE(PavoTest::FileExists(folder + L"\\b~svc=PavoPkgTestB.exe"));
    busy.Reset();
    ASSERT_EQ(packages_.DownloadUrl(Product(L"PKG_FREE")), 0);

    if (!FoldersKeepTheirDacl(PavoTest::MakeTempDirectory(L"dacl") + L"probe"))
        GTEST_SKIP() << "this file system does not keep folder DACLs (Wine without extended attributes)";
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
    std::vector<std::wstring> trustees;
    bool allFullControl = dacl != nullptr;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) {
            allFullControl = false;
            continue;
        }
        LPWSTR sid = nullptr;
        if (::ConvertSidToStringSidW(&ace->SidStart, &sid)) {
            trustees.push_back(sid);
            ::LocalFree(sid);
        }
        allFullControl = allFullControl && (ace->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
    }
    ::LocalFree(descriptor);
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing is inherited from the temporary folder";
    EXPECT_EQ(trustees, (std::vector<std::wstring>{L"S-1-5-18", L"S-1-5-32-544"}));
    EXPECT_TRUE(allFullControl);
}

TEST_F(PackageManagerTest, PinnedDigests)
{
    Lumen::LogManager::GetInstance()->Initialize(Lumen::LogProcessKind::Agent);
    std::wstring log = Lumen::Utf8ToWide(Lumen::LogManager::GetInstance()->GetImpl()->GetLogFilePath());
    log = log.substr(0, log.rfind(L".log")) + L"_" + PavoTest::TodayForLogName() + L".log";
    const size_t before = PavoTest::ReadFileBytes(log).size();

    LoginAs(L"pins");
    const std::string right = InstallerSha256("u~svc=PavoPkgTestU.exe");
    const std::string wrong(64, 'e');
    WriteInspection(kInspection, Rules("PKG_U", Rule("sha256", wrong)));
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_U")), -2);
    // Not run, and not left to be run by anyone else.
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestU"));
    EXPECT_FALSE(PavoTest::FileExists(PackageManager::DownloadDirectory() + L"\\u~svc=PavoPkgTestU.exe"));
    const std::string written = PavoTest::ReadFileBytes(log).substr(before);
    Lumen::LogManager::GetInstance()->Release();
    EXPECT_NE(written.find("product : PKG_U, rule : sha256, expected : " + wrong + ", actual : " + right),
              std::string::npos)
        << written;

    // Any one of several, in either case.
    std::string upper = right;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    WriteInspection(kInspection, Rules("PKG_U", Rule("sha256", wrong) + "," + Rule("sha256", upper)));
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_U")), 0);
    EXPECT_TRUE(ServiceExists(L"PavoPkgTestU"));
}

TEST_F(PackageManagerTest, PinnedSigners)
{
    // Needed on Windows; Wine accepts the signature without it.
    const TrustedTestRoot root;
    ASSERT_TRUE(root.IsTrusted());
    LoginAs(L"pins");
    std::map<std::string, std::string> facts = SignerFacts();
    ASSERT_EQ(facts["sha1"].size(), 40u);
    ASSERT_EQ(facts["sha256"].size(), 64u);
    for (const std::string& signer : {facts["cn"], facts["sha1"], facts["sha256"]}) {
        WriteInspection(kInspection, Rules("PKG_S", Rule("signer", "Someone Else") + "," + Rule("signer", signer)));
        ASSERT_EQ(packages_.CheckProduct(products_), 0);
        EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_S")), 0) << signer;
        EXPECT_TRUE(ServiceExists(L"PavoPkgTestS")) << signer;
        ASSERT_TRUE(PavoTest::RemoveService(L"PavoPkgTestS"));
    }

    struct Case {
        const wchar_t* product;
        std::string rules;
        const char* why;
    } refused[] = {
        {L"PKG_S", Rule("signer", "Someone Else"), "another signer"},
        {L"PKG_S", Rule("signer", facts["cn"]) + "," + Rule("sha256", std::string(64, 'e')),
         "the right signer, a wrong digest"},
        {L"PKG_T", Rule("signer", facts["cn"]), "changed after signing"},
        {L"PKG_U", Rule("signer", facts["cn"]), "not signed"},
    };
    for (const Case& c : refused) {
        WriteInspection(kInspection, Rules(Lumen::WideToUtf8(c.product), c.rules));
        ASSERT_EQ(packages_.CheckProduct(products_), 0);
        EXPECT_EQ(packages_.DownloadUrl(Product(c.product)), -2) << c.why;
    }
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestS"));
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestT"));
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestU"));

    WriteInspection(kInspection, Rules("PKG_S", Rule("signer", facts["sha1"]) + "," +
                                                    Rule("sha256", InstallerSha256("s~svc=PavoPkgTestS.exe"))));
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_S")), 0) << "both kinds pass";
}

TEST_F(PackageManagerTest, MalformedPinsMakeTheFileMalformed)
{
    LoginAs(L"pins");
    // Rule types the agent does not know are passed over.
    WriteInspection(kInspection, Rules("PKG_U", Rule("installer_arm64", "x") + "," + Rule("future", "")));
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    const PRODUCT_INFO product = Product(L"PKG_U");

    for (const std::string& rule : {Rule("sha256", ""), Rule("sha256", std::string(63, 'a')),
                                    Rule("sha256", std::string(63, 'a') + "x"), Rule("sha256", std::string(65, 'a')),
                                    Rule("signer", ""), Rule("signer", std::string(41, 'a'))}) {
        WriteInspection(kInspection, Rules("PKG_U", rule));
        EXPECT_EQ(packages_.CheckProduct(products_), -2) << rule;
        EXPECT_EQ(packages_.DownloadUrl(product), -2) << rule;
    }
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestU"));
}

TEST_F(PackageManagerTest, DigestsFromTheProductList)
{
    LoginAs(L"listpin");
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    // The first product's listed digest is wrong: it counts as a failed
    // download, and install-all stops there.
    EXPECT_EQ(packages_.InstallAllProduct(), -2);
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestB"));
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestA"));
    EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_A")), 0);
    EXPECT_TRUE(ServiceExists(L"PavoPkgTestA"));

    LoginAs(L"listbad");
    EXPECT_EQ(packages_.CheckProduct(products_), -9000);
}

TEST_F(PackageManagerTest, PinnedServerCertificate)
{
    const std::string right = ServerTest::TlsSha256();
    ASSERT_EQ(right.size(), 64u);
    // Every object below builds its URLs from the table as it is then.
    const auto useServer = [this](const std::string& pins) {
        ServerTest::LoadStrings(ServerTest::TlsHost(), pins);
        ASSERT_TRUE(session_.Initialize(nullptr));
        packages_.SetSessionManager(&session_);
    };
    struct Restore {
        ~Restore() { ServerTest::LoadStrings(ServerTest::HttpHost(), ""); }
    } restore;

    // Without a pin the self-signed certificate is accepted, as ever.
    useServer("");
    EXPECT_EQ(session_.Login(L"check", L"pw"), 0);
    session_.GetTimer().Stop();
    useServer(std::string(64, 'e') + ", " + right);
    ASSERT_EQ(session_.Login(L"check", L"pw"), 0);
    session_.GetTimer().Stop();
    EXPECT_EQ(session_.HealthCheck(), 0);
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    const PRODUCT_INFO product = Product(L"PKG_A");
    ASSERT_EQ(product.url.compare(0, 8, L"https://"), 0) << "downloads come from the same server";

    // Another certificate: each exchange fails as if the server were unreachable.
    ServerTest::LoadStrings(ServerTest::TlsHost(), std::string(64, 'e'));
    EXPECT_EQ(session_.HealthCheck(), -2);
    EXPECT_EQ(packages_.DownloadUrl(product), -2);
    EXPECT_FALSE(ServiceExists(L"PavoPkgTestA"));
    EXPECT_FALSE(PavoTest::FileExists(PackageManager::DownloadDirectory() + L"\\a~svc=PavoPkgTestA.exe"));
    EXPECT_EQ(session_.Login(L"check", L"pw"), -2);
    // A table entry that is no fingerprint refuses every exchange.
    useServer(right + ",not-a-fingerprint");
    EXPECT_EQ(session_.Login(L"check", L"pw"), -2);

    useServer(right);
    ASSERT_EQ(session_.Login(L"check", L"pw"), 0);
    session_.GetTimer().Stop();
    ASSERT_EQ(packages_.CheckProduct(products_), 0);
    EXPECT_EQ(packages_.DownloadUrl(Product(L"PKG_A")), 0);
    EXPECT_TRUE(ServiceExists(L"PavoPkgTestA"));
}

TEST(AuthenticodeSignerTest, WhatTheSignatureCheckRefuses)
{
    const auto check = [](const wchar_t* name) {
        const std::wstring path = InstallerFolder() + name;
        Lumen::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                               0, nullptr));
        EXPECT_TRUE(file.IsValid()) << Lumen::WideToUtf8(path);
        return AuthenticodeSigner::Check(path, file.Get());
    };
    TrustRules::SignerCheck signer = check(L"u~svc=PavoPkgTestU.exe");
    EXPECT_FALSE(signer.valid);
    EXPECT_EQ(signer.status, TRUST_E_NOSIGNATURE);
    // A chain that ends in a root nobody trusts: Windows refuses it; Wine 8
    // does not check where the chain ends and accepts it.
    signer = check(L"s~svc=PavoPkgTestS.exe");
    const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    if (!wine) {
        EXPECT_FALSE(signer.valid);
        EXPECT_EQ(signer.status, CERT_E_UNTRUSTEDROOT);
    }

    const TrustedTestRoot root;
    ASSERT_TRUE(root.IsTrusted());
    std::map<std::string, std::string> facts = SignerFacts();
    signer = check(L"s~svc=PavoPkgTestS.exe");
    EXPECT_TRUE(signer.valid) << std::hex << signer.status;
    EXPECT_EQ(signer.sha1Hex, facts["sha1"]);
    EXPECT_EQ(signer.sha256Hex, facts["sha256"]);
    EXPECT_EQ(Lumen::WideToUtf8(signer.commonName), facts["cn"]);
    // The contents no longer match the signed digest (also under Wine).
    signer = check(L"t~svc=PavoPkgTestT.exe");
    EXPECT_FALSE(signer.valid);
    EXPECT_EQ(signer.status, TRUST_E_BAD_DIGEST);
}
