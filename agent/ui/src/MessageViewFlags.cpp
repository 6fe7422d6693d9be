#include "MessageViewFlags.h"

namespace MessageViewFlags {

Buttons ButtonsOf(int flags)
{
    switch (flags & kButtonMask) {
    case 1:
        return Buttons::Ok;
    case 2:
        return Buttons::ContinueCancel;
    default:
        return Buttons::None;
    }
}

Picture PictureOf(int flags)
{
    switch ((flags & kPictureMask) / 15) {
    case 1:
        return Picture::Loading;
    case 2:
        return Picture::Success;
    case 3:
        return Picture::Info;
    case 4:
        return Picture::Failure;
    default:
        return Picture::None;
    }
}

}  // namespace MessageViewFlags
