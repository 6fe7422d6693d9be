#include "MultipartItem.h"

#include "Lumen/StringUtils.h"

namespace Lumen {

MULTIPART_ITEM::MULTIPART_ITEM(const void* value, size_t length, const std::wstring& name)
    : POST_ITEM(value, length)
{
    header = "Content-Disposition: form-data; name=\"" + WideToUtf8(name) + "\"\r\n" +
             "Content-Type: text/plain\r\n";
}

MULTIPART_ITEM::MULTIPART_ITEM(const std::string& value, const std::wstring& name)
    : MULTIPART_ITEM(value.data(), value.size(), name)
{
}

}  // namespace Lumen
