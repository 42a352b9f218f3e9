// What sd_sint says for a KEY, a CHAR and a SOUND_ICON: key names from the
// voice's symbol table (VoiceParams::symbol_names), single characters by the
// server's letter names, and a short beep for icons. Without a table a key is
// read as text.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "tools/ssml/speech_plan.h"

namespace sint {

// A character (UTF-8, or "space"), spelled with the server's letter names.
std::vector<PlanItem> character_plan(std::string_view character, const VoiceParams& voice);

// A key name of Speech Dispatcher ("a", "shift_a", "control_alt_delete",
// "f5", "kp-enter", "underscore"): known keys by their Slovenian names, single
// characters spelled, anything else read as text.
std::vector<PlanItem> key_plan(std::string_view key, const VoiceParams& voice);

// The sound of a sound icon: a beep of kIconBeepMs.
inline constexpr int kIconBeepMs = 120;
std::vector<std::int16_t> icon_beep(const VoiceParams& voice);

}  // namespace sint
