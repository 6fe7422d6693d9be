#pragma once

#include <unknwn.h>

#include "Lumen/UniqueHandle.h"

namespace Lumen {

// An owned COM interface pointer: Release at the end.
template <typename T>
struct ComTraits {
    using Type = T*;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type p) noexcept { return p != nullptr; }
    static void Close(Type p) noexcept { p->Release(); }
};

template <typename T>
using ScopedCom = UniqueHandle<ComTraits<T>>;

// Asks `from` for interface `T` (IID from __uuidof-free code: pass the IID).
template <typename T, typename U>
ScopedCom<T> QueryCom(U* from, REFIID iid)
{
    T* out = nullptr;
    if (from == nullptr || FAILED(from->QueryInterface(iid, reinterpret_cast<void**>(&out)))) out = nullptr;
    return ScopedCom<T>(out);
}

}  // namespace Lumen
