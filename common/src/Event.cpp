#include "Lumen/Event.h"

#include "Lumen/DebugOutput.h"

namespace Lumen {

Event::Event()
{
    handle_ = ::CreateEventW(nullptr, TRUE, FALSE, L"");
    created_ = handle_ != nullptr;
    if (!created_) OutputDebugMessage(L"Failed to CreateEvent(), error : %d", static_cast<int>(::GetLastError()));
}

Event::~Event()
{
    if (handle_ != nullptr) {
        ::CloseHandle(handle_);
        handle_ = nullptr;
    }
    created_ = false;
}

void Event::Set()
{
    ::SetEvent(handle_);
}

void Event::Reset()
{
    ::ResetEvent(handle_);
}

bool Event::IsSet() const
{
    return handle_ != nullptr && ::WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0;
}

}  // namespace Lumen
