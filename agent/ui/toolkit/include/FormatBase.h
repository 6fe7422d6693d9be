#pragma once

#include <string>

namespace Lumen {

// An archive format: open, close, extract everything, add. The virtual
// operations keep this order.
class FormatBase {
public:
    enum class OpenMode { kRead, kWrite };

    virtual ~FormatBase() = default;
    virtual bool Open(const std::wstring& path, OpenMode mode) = 0;
    virtual void Close() = 0;
    virtual bool ExtractAll(const std::wstring& destination) = 0;
    // Adds the file `source` under `entryName`; formats may not support it.
    virtual bool Add(const std::wstring& source, const std::wstring& entryName) = 0;
};

}  // namespace Lumen
