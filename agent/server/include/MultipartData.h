#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "MultipartItem.h"

namespace Lumen {

// A multipart/form-data request body. For each item, in order: the start line
// and CRLF, the item's part header, CRLF, the value bytes, CRLF; after the last
// item the end line with no CRLF after it. Without items the body is empty.
struct MULTIPART_DATA {
    MULTIPART_DATA();
    virtual ~MULTIPART_DATA();

    void AddItem(const MULTIPART_ITEM& item) { items.push_back(item); }

    // Exactly the number of bytes BuildBody returns.
    size_t BodyLength() const;
    std::string BuildBody() const;

    std::string boundary;
    std::string startLine;
    std::string endLine;
    std::vector<MULTIPART_ITEM> items;
};

}  // namespace Lumen
