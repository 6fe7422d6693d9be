#pragma once

#include <json/value.h>

#include <map>
#include <string>

namespace Lumen {

// The two kinds of JSON document in a skin: the resource-name table
// (resource.json) and the per-dialog skin descriptions. Portable C++ (no
// Win32); SkinManager reads the files and hands their text here. None of
// these throws.

// Reads {"resource": [{"id": name, "value": identifier}, ...]} into both
// maps; a key already present keeps its first value. A document without
// "resource" reads nothing and succeeds. False, with the reason in `error`,
// for text that is not JSON, an element that is not an object, an "id" that
// is not a scalar, or a "value" that is not an identifier (a whole number
// from 0 to 2^31 - 1); the elements before the bad one stay.
bool ParseResourceTable(const std::string& text, std::map<int, std::wstring>* nameById,
                        std::map<std::wstring, int>* idByName, std::string* error);

// The "skin_info_list" member of a skin description. False when the text is
// not JSON (the reason in `error`), or its root is not an object with that
// member (`error` empty).
bool ParseSkinDescription(const std::string& text, Json::Value* skinInfoList, std::string* error);

// The file name of resource `name`'s skin description, "<name>.json", or ""
// when the name is empty or that is not one plain file name (a separator, "..", a device name, a
// character Windows refuses): names come from the skin itself and must not
// reach outside its folder.
std::wstring SkinDescriptionFileName(const std::wstring& name);

}  // namespace Lumen
