#pragma once

#include <string>

namespace Lumen {

// The style block of an HTML page: "<style> body {...} </style>" with, in
// this order and only for set values, the font size in pixels (when above
// 0), the font family, the text colour and the background colour. Colours
// are the skin's six hex digits as written.
std::wstring BuildHtmlStyleBlock(int fontSizePx, const std::wstring& fontFace, const std::wstring& textColor,
                                 const std::wstring& bgColor);

// A readable plain-text rendering of an HTML fragment, for where no HTML view
// exists: tags removed; script, style and head contents dropped; entities
// decoded; white space collapsed as a browser would; a line break for <br>
// and around paragraphs, headings, list items, divisions and table rows; a
// link's target written after its text in parentheses. Lines end in "\r\n".
std::wstring HtmlToText(const std::wstring& html);

}  // namespace Lumen
