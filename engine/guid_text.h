// GUIDs as registry text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <optional>
#include <string>

#include "engine/speech_api.h"

namespace sint {

std::string format_guid(const GUID& guid);
// Reads a GUID with or without braces; nothing when the text is not one.
std::optional<GUID> parse_guid(const std::string& text);

}  // namespace sint
