#pragma once

namespace Lumen {

// While at least one instance lives, nothing in this process fetches
// through URL monikers from a file path: "file:" (which UNC paths such as
// \\host\share\x become) and the compiled-help protocols that open such
// paths are answered by a handler that refuses every request and logs it.
// A page in the HTML view thus cannot make the elevated agent read local
// files or connect to a file share with the user's credentials (an
// <img src="\\host\share\x">). Process-wide; UI thread only.
class LocalFileBlock {
public:
    LocalFileBlock();
    ~LocalFileBlock();
    LocalFileBlock(const LocalFileBlock&) = delete;
    LocalFileBlock& operator=(const LocalFileBlock&) = delete;

    // False when the handler could not be registered (logged).
    bool IsActive() const { return active_; }

    // The protocols refused.
    static const wchar_t* const kProtocols[];
    static const int kProtocolCount;

private:
    bool active_ = false;
};

}  // namespace Lumen
