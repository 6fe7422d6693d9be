// Pages in the HTML view fetch through URL monikers: while a LocalFileBlock
// lives, no fetch from a file path or share leaves the process. Wine has no
// HTML engine to load a page's pictures, so the test fetches the way the
// view would, through urlmon.
#include <gtest/gtest.h>

#include <windows.h>

#include <urlmon.h>

#include <string>

#include "HtmlDialog.h"
#include "LocalFileBlock.h"
#include "Lumen/LogManager.h"
#include "Lumen/StringUtils.h"
#include "TestSupport.h"

using Lumen::LocalFileBlock;

namespace {

// Reads `url` through urlmon; the bytes, or nothing when the fetch failed.
bool Fetch(const std::wstring& url, std::string* bytes)
{
    IStream* stream = nullptr;
    if (FAILED(::URLOpenBlockingStreamW(nullptr, url.c_str(), &stream, 0, nullptr)) || stream == nullptr) return false;
    char buffer[256];
    ULONG read = 0;
    bytes->clear();
    while (SUCCEEDED(stream->Read(buffer, sizeof(buffer), &read)) && read > 0) bytes->append(buffer, read);
    stream->Release();
    return true;
}

std::wstring FileUrl(const std::wstring& path)
{
    std::wstring url = L"file:///" + path;
    for (auto& c : url) {
        if (c == L'\\') c = L'/';
    }
    return url;
}

}  // namespace

TEST(LocalFileBlockTest, NoFilePathOrShareIsFetchedWhileTheViewCanExist)
{
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    auto* log = Lumen::LogManager::GetInstance();
    log->Initialize(Lumen::LogProcessKind::Agent);
    std::wstring logPath = Lumen::Utf8ToWide(log->GetImpl()->GetLogFilePath());
    logPath = logPath.substr(0, logPath.rfind(L".log")) + L"_" + PavoTest::TodayForLogName() + L".log";
    const std::wstring folder = PavoTest::MakeTempDirectory(L"file block");
    const std::wstring picture = folder + L"picture.txt";
    ASSERT_TRUE(PavoTest::WriteFileBytes(picture, "local bytes"));
    const std::wstring localUrl = FileUrl(picture);

    // Without the block the fetch works: the test sees a fetch when there is one.
    std::string bytes;
    ASSERT_TRUE(Fetch(localUrl, &bytes));
    EXPECT_EQ(bytes, "local bytes");
    {
        LocalFileBlock block;
        ASSERT_TRUE(block.IsActive());
        {
            LocalFileBlock second;  // a second view shares the registration
            EXPECT_TRUE(second.IsActive());
        }
        for (const std::wstring& url : {localUrl, std::wstring(L"file://pavo-unc-host/share/x.png"),
                                        std::wstring(L"\\\\pavo-unc-host\\share\\y.png"),
                                        std::wstring(L"mk:@MSITStore:\\\\pavo-unc-host\\share\\h.chm::/a.htm")}) {
            EXPECT_FALSE(Fetch(url, &bytes)) << Lumen::WideToUtf8(url);
        }
    }
    // The last one gone, file paths work again for the rest of the process.
    ASSERT_TRUE(Fetch(localUrl, &bytes));
    log->Release();

    // Each refused request was answered by the block, not by the network.
    const std::string text = PavoTest::ReadFileBytes(logPath);
    for (const char* name : {"picture.txt", "x.png", "y.png", "h.chm"}) {
        EXPECT_NE(text.find(name), std::string::npos) << name << " not refused by the block:\n" << text;
    }
    ::CoUninitialize();
}
