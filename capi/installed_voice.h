// Where the installed voice is: the folder sint_open(NULL, ...) opens when
// SINT_VOICE is not set. On Linux the program folder of the installation,
// found from the library's own place; on Windows the folder of sint.dll itself,
// which the installer puts into the program folder beside the voice.
#pragma once

#include <string>

namespace sint {

std::string installed_voice_folder();

}  // namespace sint
