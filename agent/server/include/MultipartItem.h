#pragma once

#include <string>

#include "PostItem.h"

namespace Lumen {

// One text part of a multipart/form-data body. The part header is the two
// lines "Content-Disposition: form-data; name=\"NAME\"" and
// "Content-Type: text/plain", each ended by CRLF, with NAME in UTF-8. The value
// bytes are sent as given (callers pass UTF-8).
struct MULTIPART_ITEM : POST_ITEM {
    MULTIPART_ITEM(const void* value, size_t length, const std::wstring& name);
    // A UTF-8 value.
    MULTIPART_ITEM(const std::string& value, const std::wstring& name);

    std::string header;
};

}  // namespace Lumen
