// tests/gfx_support/back_buffer.h: reading a device's back buffer back, for pixel checks.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gfx/gfx.h"

namespace testsupport {

// The back buffer of "device" as 32-bit words (0xAARRGGBB), row by row from the top-left, read
// through a read-only lock. Empty when there is no back buffer or it cannot be locked.
std::vector<std::uint32_t> ReadBackBuffer(platform::gfx::IDirect3DDevice9* device);

// The same words with the alpha byte cleared (0x00RRGGBB): what a picture check compares.
std::vector<std::uint32_t> ReadBackBufferRgb(platform::gfx::IDirect3DDevice9* device);

}  // namespace testsupport
