#include "ServerTestSupport.h"

#include <windows.h>
#include <winhttp.h>

#include <memory>

#include "HttpClient.h"
#include "Lumen/StringUtils.h"
#include "Lumen/UniqueHandle.h"
#include "ResourceManager.h"
#include "TestSupport.h"

namespace ServerTest {

int OperatorPort()
{
    wchar_t value[16] = {};
    if (::GetEnvironmentVariableW(L"PAVO_OPERATOR_PORT", value, 16) == 0) return 0;
    return _wtoi(value);
}

std::wstring ServerUrl(const std::wstring& path)
{
    return L"http://127.0.0.1:" + std::to_wstring(OperatorPort()) + path;
}

namespace {

std::string Environment(const wchar_t* name)
{
    wchar_t value[128] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 128);
    return length > 0 && length < 128 ? Lumen::WideToUtf8(value) : std::string();
}

}  // namespace

std::string HttpHost()
{
    return "http://127.0.0.1:" + std::to_string(OperatorPort());
}

std::string TlsHost()
{
    return "https://127.0.0.1:" + Environment(L"PAVO_OPERATOR_TLS_PORT");
}

std::string TlsSha256()
{
    return Environment(L"PAVO_OPERATOR_TLS_SHA256");
}

void LoadStrings(const std::string& host, const std::string& pins)
{
    const std::string text = "{\"language\": \"ENG\", \"strings\": ["
                             "{\"key\": \"Pavo_HOST_URL\", \"value\": \"" + host + "\"},"
                             + (pins.empty() ? std::string() : "{\"key\": \"SERVER_CERT_SHA256\", \"value\": \"" + pins + "\"},") +
                             "{\"key\": \"SUB_URL_LOGIN\", \"value\": \"/agent/login\"},"
                             "{\"key\": \"SUB_URL_GET_LICENSE_HEALTH_CHECK\", \"value\": \"/agent/health-check\"},"
                             "{\"key\": \"SUB_URL_RECERTIFICATION_TOKEN\", \"value\": \"/agent/token\"},"
                             "{\"key\": \"SUB_URL_GET_LICENSE\", \"value\": \"/agent/license\"},"
                             "{\"key\": \"SUB_URL_SET_LICENSE_STATUS\", \"value\": \"/agent/license-status\"}]}";
    const std::wstring path = PavoTest::MakeTempDirectory(L"strings") + L"eng.json";
    PavoTest::WriteFileBytes(path, text);
    // The table keeps the first value of a key: a new table for new values.
    ResourceManager::DestroyInstance();
    ResourceManager::GetInstance()->InitializeStrings(path);
}

void LoadTestStrings()
{
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    LoadStrings(HttpHost(), "");
}

bool Admin(const std::wstring& path, const std::string& json)
{
    using Lumen::ScopedInternetHandle;
    ScopedInternetHandle session(::WinHttpOpen(L"test", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
    ScopedInternetHandle connection(
        ::WinHttpConnect(session.Get(), L"127.0.0.1", static_cast<INTERNET_PORT>(OperatorPort()), 0));
    ScopedInternetHandle request(
        ::WinHttpOpenRequest(connection.Get(), L"POST", path.c_str(), nullptr, nullptr, nullptr, 0));
    if (!request) return false;
    const wchar_t* type = L"Content-Type: application/json\r\n";
    if (!::WinHttpSendRequest(request.Get(), type, static_cast<DWORD>(-1L), const_cast<char*>(json.data()),
                              static_cast<DWORD>(json.size()), static_cast<DWORD>(json.size()), 0) ||
        !::WinHttpReceiveResponse(request.Get(), nullptr))
        return false;
    DWORD status = 0, size = sizeof(status);
    ::WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &status,
                          &size, nullptr);
    return status == 200;
}

Json::Value GetJson(const std::wstring& path)
{
    Lumen::HttpClient client;
    client.SetUrl(ServerUrl(path));
    Json::Value value;
    if (!client.Request(L"GET")) return value;
    const std::string utf8 = Lumen::WideToUtf8(client.GetResponseBody());
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    reader->parse(utf8.data(), utf8.data() + utf8.size(), &value, &errors);
    return value;
}

}  // namespace ServerTest
