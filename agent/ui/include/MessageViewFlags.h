#pragma once

// The flags of the message overlay's ShowMessage: buttons in the low four
// bits, the picture in the next four.
namespace MessageViewFlags {

constexpr int kButtonMask = 15;
constexpr int kPictureMask = 240;

constexpr int kLoading = 16;          // animation, no buttons, returns at once
constexpr int kLoadingQuestion = 18;  // animation with "계속 진행" and "취소"
constexpr int kSuccess = 33;          // success picture with "확인"
constexpr int kFailure = 65;          // failure picture with "확인"

enum class Buttons { None, Ok, ContinueCancel };
enum class Picture { None, Loading, Success, Info, Failure };

// What ends the overlay's wait: "확인", "취소", "계속 진행".
constexpr int kEndOk = 1;
constexpr int kEndCancel = 2;
constexpr int kEndContinue = 4;

Buttons ButtonsOf(int flags);
Picture PictureOf(int flags);
// Whether ShowMessage waits for a button.
inline bool Waits(int flags) { return ButtonsOf(flags) != Buttons::None; }
// ShowMessage's value once the wait ended with `endCode`: -1 for "취소".
// A wait ended without a button (the window went, or the program is
// quitting) counts as declined, never as "계속 진행".
inline int ResultOfWait(int endCode) { return (endCode == kEndCancel || endCode <= 0) ? -1 : 0; }

}  // namespace MessageViewFlags
