#include "AnimatedGif.h"

#include <algorithm>
using std::max;
using std::min;
#include <objidl.h>
#include <gdiplus.h>

#include <vector>

#include "BufferDC.h"
#include "ControlGeometry.h"
#include "ImageLoader.h"
#include "Lumen/DebugOutput.h"

namespace Lumen {

namespace {
constexpr wchar_t kClassName[] = L"LumenAnimatedGif";
}

AnimatedGif::AnimatedGif() = default;

AnimatedGif::~AnimatedGif()
{
    if (GetHwnd() != nullptr) ::KillTimer(GetHwnd(), kFrameTimer);
}

bool AnimatedGif::CreateControl(const RECT& rect, HWND parent, UINT id)
{
    if (!RegisterWindowClassOnce(kClassName, nullptr, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS)) return false;
    return Create(kClassName, L"", WS_CHILD, 0, rect, parent, id);
}

void AnimatedGif::LoadWhenNeeded(const std::wstring& path)
{
    pendingPath_ = path;
}

void AnimatedGif::LoadPending()
{
    if (pendingPath_.empty()) return;
    const std::wstring path = std::move(pendingPath_);
    pendingPath_.clear();
    Load(path);
}

bool AnimatedGif::HasImage()
{
    LoadPending();
    return image_ != nullptr;
}

UINT AnimatedGif::GetFrameCount()
{
    LoadPending();
    return frameCount_;
}

bool AnimatedGif::Load(const std::wstring& path)
{
    pendingPath_.clear();
    if (path.empty() || !ImageLoader::EnsureStarted()) return false;
    auto image = std::make_unique<Gdiplus::Image>(path.c_str(), FALSE);
    if (image->GetLastStatus() != Gdiplus::Ok) {
        OutputDebugMessage(L"fail to load animation : %s", path.c_str());
        return false;
    }
    UINT count = 0;
    GUID dimension{};
    const UINT dimensions = image->GetFrameDimensionsCount();
    if (dimensions > 0) {
        std::vector<GUID> ids(dimensions);
        if (image->GetFrameDimensionsList(ids.data(), dimensions) == Gdiplus::Ok) {
            dimension = ids[0];
            count = image->GetFrameCount(&dimension);
        }
    }
    if (GetHwnd() != nullptr) ::KillTimer(GetHwnd(), kFrameTimer);
    image_ = std::move(image);
    dimension_ = dimension;
    frameCount_ = count;
    frame_ = 0;
    if (playing_ && GetHwnd() != nullptr) ::InvalidateRect(GetHwnd(), nullptr, FALSE);
    return true;
}

void AnimatedGif::SelectFrame(UINT frame)
{
    if (!image_ || frameCount_ == 0) return;
    frame_ = frame;
    image_->SelectActiveFrame(&dimension_, frame_);
    if (GetHwnd() != nullptr) ::InvalidateRect(GetHwnd(), nullptr, FALSE);
}

void AnimatedGif::Play(UINT intervalMs)
{
    playing_ = true;
    LoadPending();
    HWND hwnd = GetHwnd();
    if (hwnd == nullptr) return;
    ::ShowWindow(hwnd, SW_SHOWNA);
    if (frameCount_ >= 1) {
        SelectFrame(0);
        ::UpdateWindow(hwnd);
        ::SetTimer(hwnd, kFrameTimer, intervalMs, nullptr);
    }
}

void AnimatedGif::Stop()
{
    playing_ = false;
    if (GetHwnd() == nullptr) return;
    ::ShowWindow(GetHwnd(), SW_HIDE);
    ::KillTimer(GetHwnd(), kFrameTimer);
}

void AnimatedGif::Paint(HDC target)
{
    RECT rc;
    ::GetClientRect(GetHwnd(), &rc);
    BufferDC buffer(target, rc);
    HDC dc = buffer.Get();
    background_.Draw(GetHwnd(), dc);
    LoadPending();
    if (image_) {
        Gdiplus::Graphics graphics(dc);
        graphics.DrawImage(image_.get(), 0, 0, static_cast<INT>(image_->GetWidth()),
                           static_cast<INT>(image_->GetHeight()));
    }
}

LRESULT AnimatedGif::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT painted = 0;
    if (HandleSelfPaint(GetHwnd(), message, wParam, painted, [this](HDC dc) { Paint(dc); })) return painted;
    switch (message) {
        case WM_TIMER:
            if (wParam == kFrameTimer) {
                SelectFrame(NextAnimationFrame(frame_, frameCount_));
                return 0;
            }
            break;
        case WM_SIZE:
            background_.Discard();
            break;
        case WM_DESTROY:
            ::KillTimer(GetHwnd(), kFrameTimer);
            break;
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

}  // namespace Lumen
