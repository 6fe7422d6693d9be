#include "MultipartData.h"

namespace Lumen {

MULTIPART_DATA::MULTIPART_DATA()
    : boundary("lumen_http_multipart_boundary"), startLine("--" + boundary), endLine("--" + boundary + "--")
{
}

MULTIPART_DATA::~MULTIPART_DATA() = default;

size_t MULTIPART_DATA::BodyLength() const
{
    if (items.empty()) return 0;
    size_t length = endLine.size();
    // Three CRLFs per item: after the start line, the empty line, after the value.
    for (const MULTIPART_ITEM& item : items)
        length += startLine.size() + item.header.size() + item.data->size() + 6;
    return length;
}

std::string MULTIPART_DATA::BuildBody() const
{
    std::string body;
    if (items.empty()) return body;
    body.reserve(BodyLength());
    for (const MULTIPART_ITEM& item : items) {
        body += startLine;
        body += "\r\n";
        body += item.header;
        body += "\r\n";
        body.append(item.data->data(), item.data->size());
        body += "\r\n";
    }
    body += endLine;
    return body;
}

}  // namespace Lumen
