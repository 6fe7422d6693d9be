#pragma once

#include <windows.h>

#include <string>

namespace Lumen {
class SkinDialog;
}

// Texts of the windows through the language table.
namespace UiText {

// Replaces the text of the dialog and of each of its direct children by the
// table's text for it (the template and skin texts are keys).
void TranslateWindowTexts(const Lumen::SkinDialog& dialog);

// Opens the remote-assistance address ("REMOTE_ASSIST_URL") through the
// user's desktop shell, un-elevated; a refused address or a missing shell is
// logged there.
void OpenRemoteAssistance(const std::wstring& address);

// A caption font like `caption` in the face of `dialogFont`: the system's
// caption face may lack Hangul, the skin's face has it. Null on failure.
HFONT CaptionFontInFace(HFONT caption, const LOGFONTW& dialogFont);

// `pattern` with its first "%s" replaced by `name`, literally: the name
// (a product's display name from the server) is never read as a format. A
// pattern without "%s" is followed by the name.
std::wstring FillName(const std::wstring& pattern, const std::wstring& name);

// The key of an install button's window text, the name of its product in it.
constexpr const wchar_t* kInstallProductKey = L"%s 설치하기";

// The caption of the agent's message boxes.
constexpr const wchar_t* kAgentTitle = L"Pavo 통합에이전트";

}  // namespace UiText
