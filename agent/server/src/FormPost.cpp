#include "FormPost.h"

#include <memory>

#include "HttpClient.h"
#include "Lumen/LogManager.h"
#include "Lumen/StringUtils.h"
#include "ResourceManager.h"
#include "TrustRules.h"

using Lumen::LogManager;
using Lumen::Utf8ToWide;

namespace {

constexpr const wchar_t* kServerPinKey = L"SERVER_CERT_SHA256";

}  // namespace

bool ApplyServerPins(Lumen::HttpClient* client)
{
    std::vector<std::string> pins;
    std::string error;
    std::wstring text = ResourceManager::GetInstance()->GetString(kServerPinKey);
    // The table answers a key it does not hold with the key itself: no entry, no pin.
    if (text == kServerPinKey) text.clear();
    if (!TrustRules::ParseServerPins(text, &pins, &error)) {
        LogManager::GetInstance()->Error(L"[%s, %d] SERVER_CERT_SHA256 값이 올바르지 않아 서버에 접속하지 않습니다. (%s)",
                                         L"ApplyServerPins", __LINE__, Utf8ToWide(error).c_str());
        return false;
    }
    client->SetPinnedCertificates(std::move(pins));
    return true;
}

void LogCertificateRejection(const Lumen::HttpClient& client, const std::wstring& url)
{
    if (!client.CertificateRejected()) return;
    LogManager::GetInstance()->Error(
        L"[%s, %d] 서버 인증서가 SERVER_CERT_SHA256 값과 일치하지 않습니다. url : %s, actual : %s, error : %u",
        L"LogCertificateRejection", __LINE__, url.c_str(), Utf8ToWide(client.GetPresentedCertificate()).c_str(),
        static_cast<unsigned>(client.GetLastErrorCode()));
}

bool PostForm(const std::wstring& url, const std::vector<std::pair<std::wstring, std::string>>& fields,
              std::wstring* body)
{
    auto form = std::make_shared<Lumen::MULTIPART_DATA>();
    for (const auto& [name, value] : fields) form->AddItem(Lumen::MULTIPART_ITEM(value, name));
    Lumen::HttpClient client;
    if (!ApplyServerPins(&client)) return false;
    client.SetUserAgent(kAgentUserAgent);
    client.SetUrl(url);
    client.SetMultipartData(form);
    client.SetExtraHeaders(Lumen::HttpClient::MakeMultipartHeader(*form));
    if (!client.Request(L"POST")) {
        LogCertificateRejection(client, url);
        return false;
    }
    *body = client.GetResponseBody();
    return true;
}
