// ITU-T G.711 A-law and mu-law coding of 16-bit linear samples.
#pragma once

#include <cstdint>

namespace sint {

std::uint8_t linear_to_alaw(std::int16_t sample);
std::int16_t alaw_to_linear(std::uint8_t code);
std::uint8_t linear_to_ulaw(std::int16_t sample);
std::int16_t ulaw_to_linear(std::uint8_t code);

}  // namespace sint
