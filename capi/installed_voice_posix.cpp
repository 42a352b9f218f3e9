#include "capi/installed_voice.h"

namespace sint {

std::string installed_voice_folder() {
    return SINT_INSTALLED_VOICE;
}

}  // namespace sint
