#include "FormPost.h"

#include <memory>

#include "HttpClient.h"

bool PostForm(const std::wstring& url, const std::vector<std::pair<std::wstring, std::string>>& fields,
              std::wstring* body)
{
    auto form = std::make_shared<Lumen::MULTIPART_DATA>();
    for (const auto& [name, value] : fields) form->AddItem(Lumen::MULTIPART_ITEM(value, name));
    Lumen::HttpClient client;
    client.SetUserAgent(kAgentUserAgent);
    client.SetUrl(url);
    client.SetMultipartData(form);
    client.SetExtraHeaders(Lumen::HttpClient::MakeMultipartHeader(*form));
    if (!client.Request(L"POST")) return false;
    *body = client.GetResponseBody();
    return true;
}
