#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "ConfigManager.h"
#include "Lumen/AES.h"
#include "Lumen/LogManager.h"
#include "Lumen/StringUtils.h"
#include "MachinePassphrase.h"
#include "TestSupport.h"

using namespace PavoTest;

namespace {

// {"id":"demo","isAutoLogin":true,"notice":{"title":"t","body":"b","id":7,"date":"d"}}
// encrypted by `openssl enc -aes-256-cbc -md md5 -nosalt -pass pass:None`.
const unsigned char kOpensslCiphertext[] = {
    0xf2, 0x0b, 0x88, 0x91, 0xed, 0x27, 0xb3, 0xf8, 0x54, 0x09, 0x37, 0x4f, 0x52, 0x05, 0x05, 0x16,
    0x87, 0x93, 0xa3, 0x53, 0x11, 0x2f, 0x83, 0x95, 0x09, 0x4a, 0xab, 0x21, 0x8a, 0x84, 0x44, 0x9e,
    0x78, 0xaa, 0x52, 0xea, 0xa3, 0x78, 0xa9, 0xb7, 0xaa, 0x14, 0x3a, 0xaa, 0xe0, 0x22, 0xe0, 0x9c,
    0x4a, 0xf4, 0xf5, 0xd6, 0x60, 0xd8, 0x0f, 0xd1, 0x8e, 0x19, 0x0e, 0x03, 0x0c, 0xcb, 0x6e, 0xef,
    0x42, 0x81, 0x28, 0x98, 0xf9, 0x46, 0x8e, 0xa2, 0xd3, 0xf9, 0x6d, 0x59, 0xaf, 0x3d, 0xe2, 0x7d,
    0x16, 0xbd, 0xca, 0x1c, 0x0d, 0xf5, 0x7c, 0x8a, 0xfe, 0xbf, 0xfd, 0x90, 0xc5, 0x02, 0xb8, 0x02};

std::string Encrypt(const std::string& passphrase, const std::string& plain)
{
    Lumen::AES aes;
    EXPECT_TRUE(aes.Init(passphrase));
    int length = static_cast<int>(plain.size());
    Lumen::AESImpl::Buffer buffer(new unsigned char[plain.size() + 1], std::default_delete<unsigned char[]>());
    std::copy(plain.begin(), plain.end(), buffer.get());
    EXPECT_EQ(aes.GetImpl()->Encrypt(buffer, length), 0);
    return std::string(reinterpret_cast<const char*>(buffer.get()), static_cast<size_t>(length));
}

std::string Decrypt(const std::string& passphrase, const std::string& cipher)
{
    Lumen::AES aes;
    EXPECT_TRUE(aes.Init(passphrase));
    int length = static_cast<int>(cipher.size());
    Lumen::AESImpl::Buffer buffer(new unsigned char[cipher.size() + 1], std::default_delete<unsigned char[]>());
    std::copy(cipher.begin(), cipher.end(), buffer.get());
    EXPECT_EQ(aes.GetImpl()->Decrypt(buffer, length), 0);
    return std::string(reinterpret_cast<const char*>(buffer.get()), static_cast<size_t>(length));
}

class CountingHandler : public IConfigChangeHandler {
public:
    void OnConfigChanged(int kind) override { ++calls[kind == 1 ? 1 : 0]; }
    int calls[2] = {0, 0};
};

}  // namespace

TEST(AESTest, MatchesTheOpensslCommandLineFormat)
{
    const std::string plain =
        R"({"id":"demo","isAutoLogin":true,"notice":{"title":"t","body":"b","id":7,"date":"d"}})";
    const std::string expected(reinterpret_cast<const char*>(kOpensslCiphertext), sizeof(kOpensslCiphertext));
    EXPECT_EQ(Encrypt("None", plain), expected);
    EXPECT_EQ(Decrypt("None", expected), plain);
    // Always whole blocks, at least one.
    EXPECT_EQ(Encrypt("None", "").size(), 16u);
    EXPECT_EQ(Encrypt("", "0123456789abcdef").size(), 32u);
}

TEST(AESTest, UnusableBeforeInit)
{
    Lumen::AESImpl aes;
    Lumen::AESImpl::Buffer buffer(new unsigned char[4], std::default_delete<unsigned char[]>());
    int length = 4;
    EXPECT_NE(aes.Encrypt(buffer, length), 0);
    EXPECT_EQ(length, 4);
}

class ConfigManagerTest : public ::testing::Test {
protected:
    void SetUp() override { path_ = MakeTempDirectory(L"config") + L"config\\config.cfg"; }

    std::unique_ptr<ConfigManager> Make(const std::string& passphrase = "serial-1")
    {
        return std::make_unique<ConfigManager>(path_, passphrase);
    }

    void WriteRaw(const std::string& bytes)
    {
        ::CreateDirectoryW(path_.substr(0, path_.rfind(L'\\')).c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(path_, bytes));
    }

    std::wstring path_;
};

TEST_F(ConfigManagerTest, RoundTripCreatesTheFolder)
{
    auto store = Make();
    store->LoadConfig();  // no file: defaults, nothing logged
    EXPECT_EQ(store->GetUserId(), L"");
    EXPECT_FALSE(store->IsInstalling());
    store->SetUserId(L"사용자01");
    store->SetPassword(L"p@ss \"word\"");
    store->SetAutoLogin(true);
    store->SetInstalling(true);
    store->SetTestMode(true);
    store->SetCustomerInfo(L"c1", L"Customer", L"Company");  // not persisted
    store->SetNotice({L"제목", L"<h1>본문</h1>", 9007199254740993LL, L"2023-07-10 오후 02:00"});
    store->SaveConfig();

    const std::string file = ReadFileBytes(path_);
    ASSERT_FALSE(file.empty()) << "SaveConfig must create the config folder";
    EXPECT_EQ(file.size() % 16, 0u);
    EXPECT_FALSE(FileExists(path_ + L".tmp"));
    // Non-ASCII characters are written as escapes: the text is plain ASCII.
    const std::string text = Decrypt("serial-1", file);
    EXPECT_NE(text.find("\"isInstalling\" : true"), std::string::npos) << text;
    for (unsigned char c : text) EXPECT_LT(c, 0x80u);

    auto again = Make();
    again->LoadConfig();
    EXPECT_EQ(again->GetUserId(), L"사용자01");
    EXPECT_EQ(again->GetPassword(), L"p@ss \"word\"");
    EXPECT_TRUE(again->IsAutoLogin());
    EXPECT_TRUE(again->IsInstalling());
    EXPECT_TRUE(again->IsTestMode());
    EXPECT_EQ(again->GetCustomerId(), L"");
    const NOTICE_INFO notice = again->GetNotice();
    EXPECT_EQ(notice.title, L"제목");
    EXPECT_EQ(notice.body, L"<h1>본문</h1>");
    EXPECT_EQ(notice.id, 9007199254740993LL);
    EXPECT_EQ(notice.date, L"2023-07-10 오후 02:00");

    // Equal settings give equal files.
    again->SaveConfig();
    EXPECT_EQ(ReadFileBytes(path_), file);
}

TEST_F(ConfigManagerTest, ReadsAFileMadeByTheOpensslTool)
{
    WriteRaw(std::string(reinterpret_cast<const char*>(kOpensslCiphertext), sizeof(kOpensslCiphertext)));
    auto store = Make("None");
    store->LoadConfig();
    EXPECT_EQ(store->GetUserId(), L"demo");
    EXPECT_TRUE(store->IsAutoLogin());
    EXPECT_EQ(store->GetNotice().id, 7);
}

TEST_F(ConfigManagerTest, BadFilesLoadDefaultsAndTheNextSaveRepairs)
{
    std::mt19937 random(42);
    std::string noise(160, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const std::string good = Encrypt("serial-1", R"({"id":"kept","password":"long enough for three blocks"})");
    const std::string cases[] = {
        noise,                                      // random bytes
        good.substr(0, 16),                         // truncated
        good.substr(0, good.size() - 3),            // not a multiple of 16
        Encrypt("another computer", R"({"id":"x"})"),  // other passphrase
        Encrypt("serial-1", "[1, 2, 3]"),           // JSON of the wrong shape
        Encrypt("serial-1", R"({"id": {"nested": 1}})"),
        Encrypt("serial-1", R"({"id":)" + std::string(2000, '[')),  // nesting past the reader's limit
        std::string(),                              // empty file
    };
    for (const std::string& bytes : cases) {
        WriteRaw(bytes);
        auto store = Make();
        store->LoadConfig();
        EXPECT_EQ(store->GetUserId(), L"");
        EXPECT_FALSE(store->IsAutoLogin());
        store->SetUserId(L"repaired");
        store->SaveConfig();
        auto reread = Make();
        reread->LoadConfig();
        EXPECT_EQ(reread->GetUserId(), L"repaired");
    }
}

TEST_F(ConfigManagerTest, ValuesBeforeABadOneStay)
{
    WriteRaw(Encrypt("serial-1", R"({"id":"first","password":"pw","isAutoLogin":"yes","isTestMode":true})"));
    auto store = Make();
    store->LoadConfig();
    EXPECT_EQ(store->GetUserId(), L"first");
    EXPECT_EQ(store->GetPassword(), L"pw");
    EXPECT_FALSE(store->IsAutoLogin());
    EXPECT_FALSE(store->IsTestMode()) << "reading stops at the bad value";

    WriteRaw(Encrypt("serial-1", R"({"id":"n","notice":{"title":"t","body":"b","id":3}})"));
    auto incomplete = Make();
    incomplete->LoadConfig();
    EXPECT_EQ(incomplete->GetUserId(), L"n");
    EXPECT_EQ(incomplete->GetNotice().id, 0) << "an incomplete notice is not taken";
}

TEST_F(ConfigManagerTest, EmptyObjectLoadsCleanly)
{
    WriteRaw(Encrypt("serial-1", "{}"));
    auto store = Make();
    store->SetUserId(L"before");
    store->LoadConfig();
    EXPECT_EQ(store->GetUserId(), L"before");
    EXPECT_EQ(store->GetNotice().id, 0);
}

TEST_F(ConfigManagerTest, NoticeWithTheStoredIdNotifiesOnce)
{
    auto store = Make();
    CountingHandler handler;
    store->RegisterChangeHandler(&handler);
    store->RegisterChangeHandler(&handler);  // once only
    store->SetNotice({L"a", L"b", 5, L"d"});
    store->SetNotice({L"changed", L"b", 5, L"d"});
    EXPECT_EQ(handler.calls[1], 1);
    EXPECT_EQ(store->GetNotice().title, L"a");
    store->SetNotice({L"c", L"b", 6, L"d"});
    EXPECT_EQ(handler.calls[1], 2);
    store->SetCustomerInfo(L"1", L"n", L"c");
    EXPECT_EQ(handler.calls[0], 1);
}

TEST_F(ConfigManagerTest, AFailedSaveKeepsTheOldFile)
{
    auto store = Make();
    store->SetUserId(L"old");
    store->SaveConfig();
    const std::string before = ReadFileBytes(path_);
    ASSERT_FALSE(before.empty());
    // The temporary file cannot be created: a folder has its name.
    ASSERT_TRUE(::CreateDirectoryW((path_ + L".tmp").c_str(), nullptr));
    store->SetUserId(L"new");
    store->SaveConfig();
    EXPECT_EQ(ReadFileBytes(path_), before);
    ::RemoveDirectoryW((path_ + L".tmp").c_str());
    store->SaveConfig();
    auto reread = Make();
    reread->LoadConfig();
    EXPECT_EQ(reread->GetUserId(), L"new");
}

TEST(ConfigPassphraseTest, ComesFromTheBaseboardSerial)
{
    // Wine reports the serial as "None", as do many real boards.
    const std::string passphrase = ConfigManager::ReadMachinePassphrase();
    EXPECT_EQ(passphrase, "None");
    EXPECT_EQ(ConfigManager::ReadMachinePassphrase(), passphrase) << "the same on every read";
}

TEST_F(ConfigManagerTest, ThePassphraseIsTakenOnceAndOnlyWhenTheFileIsReadOrWritten)
{
    std::atomic<int> taken{0};
    const auto source = [&taken] {
        ++taken;
        return std::string("serial-1");
    };
    ConfigManager store(path_, source);
    store.LoadConfig();  // no file: nothing to decrypt
    store.SetUserId(L"kept");
    EXPECT_EQ(taken, 0);

    // Saves from several threads at once (an installation starting while
    // the program exits) share one read.
    std::vector<std::thread> savers;
    for (int i = 0; i < 4; ++i) savers.emplace_back([&store] { store.SaveConfig(); });
    for (std::thread& saver : savers) saver.join();
    store.LoadConfig();
    EXPECT_EQ(taken, 1);

    auto reread = Make("serial-1");
    reread->LoadConfig();
    EXPECT_EQ(reread->GetUserId(), L"kept") << "written under the source's passphrase";
}

namespace {

// A reader that stands in for the WMI read: it notes when COM's security
// would be set and whether the query ran.
struct FakeRead {
    std::atomic<int> reads{0};
    std::atomic<bool> securitySet{false};
    std::atomic<int> queries{0};
    std::atomic<bool> cancelled{false};

    MachinePassphrase::Reader Reader()
    {
        return [this](const std::function<bool()>& beforeQuery) {
            ++reads;
            securitySet = true;
            if (beforeQuery && !beforeQuery()) {
                cancelled = true;
                return std::string();
            }
            ++queries;
            return std::string("board-7");
        };
    }
    // Until the reader has set COM up (or a bound of a few seconds).
    void WaitForSecurity() const
    {
        for (int i = 0; i < 500 && !securitySet; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
};

}  // namespace

TEST(MachinePassphraseTest, SecurityIsSetAtOnceAndTheQueryWaitsForReleaseOrTheFirstNeed)
{
    {
        FakeRead fake;
        MachinePassphrase passphrase(fake.Reader());
        passphrase.Start(false);
        fake.WaitForSecurity();
        ASSERT_TRUE(fake.securitySet);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(fake.queries, 0) << "the query waits";
        passphrase.Release();
        EXPECT_EQ(passphrase.Get(), "board-7");
        EXPECT_EQ(passphrase.Get(), "board-7");
        passphrase.Start(true);  // a second start reads nothing more
        EXPECT_EQ(fake.reads, 1);
        EXPECT_EQ(fake.queries, 1);
    }
    {
        // With a file to decrypt the query runs at once.
        FakeRead fake;
        MachinePassphrase passphrase(fake.Reader());
        passphrase.Start(true);
        for (int i = 0; i < 500 && fake.queries == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(fake.queries, 1);
        EXPECT_EQ(passphrase.Get(), "board-7");
    }
    {
        // The first need releases it: callers on several threads get one value.
        FakeRead fake;
        MachinePassphrase passphrase(fake.Reader());
        passphrase.Start(false);
        std::vector<std::string> values(4);
        std::vector<std::thread> callers;
        for (auto& value : values) callers.emplace_back([&passphrase, &value] { value = passphrase.Get(); });
        for (std::thread& caller : callers) caller.join();
        for (const std::string& value : values) EXPECT_EQ(value, "board-7");
        EXPECT_EQ(fake.reads, 1);
    }
    {
        // Never needed nor released: the read is cancelled when it goes, and
        // the program's exit does not wait for a query.
        FakeRead fake;
        {
            MachinePassphrase passphrase(fake.Reader());
            passphrase.Start(false);
            fake.WaitForSecurity();
        }
        EXPECT_TRUE(fake.cancelled);
        EXPECT_EQ(fake.queries, 0);
    }
    {
        // Never started: read whole on a thread of its own, as the caller's
        // may have a COM apartment the read cannot use.
        const std::thread::id caller = std::this_thread::get_id();
        std::thread::id readOn;
        MachinePassphrase unstarted([&readOn](const std::function<bool()>& beforeQuery) {
            readOn = std::this_thread::get_id();
            return beforeQuery ? std::string("wrong") : std::string("direct");
        });
        EXPECT_EQ(unstarted.Get(), "direct");
        EXPECT_NE(readOn, caller);
    }
}

TEST(ConfigPassphraseTest, AWaitingReadGivesTheSerialOnceReleasedAndEndsCleanlyWhenNot)
{
    const std::string direct = ConfigManager::ReadMachinePassphrase();
    const auto reader = [](const std::function<bool()>& beforeQuery) {
        return ConfigManager::ReadMachinePassphrase(beforeQuery);
    };
    {
        MachinePassphrase passphrase(reader);
        passphrase.Start(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        passphrase.Release();
        EXPECT_EQ(passphrase.Get(), direct);
    }
    {
        MachinePassphrase passphrase(reader);
        passphrase.Start(false);
    }
    {
        // Asked first from a thread in a single-threaded apartment (a window's).
        std::string fromWindowThread;
        std::thread([&] {
            ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
            MachinePassphrase passphrase(reader);
            fromWindowThread = passphrase.Get();
            ::CoUninitialize();
        }).join();
        EXPECT_EQ(fromWindowThread, direct);
    }
    EXPECT_EQ(ConfigManager::ReadMachinePassphrase([] { return false; }), "") << "cancelled before the query";
    EXPECT_EQ(ConfigManager::ReadMachinePassphrase(), direct) << "COM is left as it was found";
}
