// runtime/colour.h: the runtime's colour value, red in the low byte (0x00BBGGRR).
//
// Note that the render engine reads colours as 0xAARRGGBB, so a colour made here and handed to
// the engine shows with red and blue exchanged; the intro relies on exactly that.
#pragma once

#include <cstdint>

namespace runtime {

// red + green * 256 + blue * 65536, computed in wrapping 32-bit arithmetic.
constexpr std::uint32_t MakeColour(int red, int green, int blue) {
    return static_cast<std::uint32_t>(red) + static_cast<std::uint32_t>(green) * 256u +
           static_cast<std::uint32_t>(blue) * 65536u;
}

}  // namespace runtime
