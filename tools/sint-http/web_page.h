// The page at "/": a text box, rate, pitch and volume sliders, a button that
// speaks through GET /api/tts, and an audio player with a download link. It
// loads nothing from elsewhere, so it works offline.
#pragma once

#include <string_view>

namespace sint {

std::string_view web_page();

}  // namespace sint
