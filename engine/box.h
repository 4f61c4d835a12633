// engine/box.h: filled and outlined boxes, queued and drawn straight into the back buffer.
//
// `QueueBox` appends a `BoxCommand` to `boxQueue`; `FlushBoxQueue` draws the queue in order at
// the frame's flush points, always after the sprites of the same flush point, so a box lies
// over every sprite queued with it. A filled box covers [left, right) x [top, bottom); an
// outline is four lines that include their end points, so it reaches one pixel further right
// and down than the filled box of the same arguments.
//
// Colours are Direct3D colours, 0xAARRGGBB, used unchanged.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

#include "platform/gfx/gfx.h"

namespace engine {

inline constexpr std::int32_t kBoxFilled = 5;
inline constexpr std::int32_t kBoxOutline = 4;

// One entry of `boxQueue`.
struct BoxCommand {
    std::int32_t left, top;
    std::int32_t right, bottom;  // x + width, y + height
    std::int32_t kind;           // kBoxFilled or kBoxOutline
    std::uint32_t colour;        // 0xAARRGGBB
};

// Queues a box at ("x", "y") of "width" x "height"; "filled" 1 fills it, any other value
// outlines it. Returns 0.
std::int32_t QueueBox(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                      std::uint32_t colour, std::int32_t filled);

// Draws and empties `boxQueue` on "target" (null: the device's back buffer). Outline pixels
// outside 0..clipWidth-1 x 0..clipHeight-1 (and outside the target) are skipped. Filled boxes
// are rectangle fills; outline pixels are written into the locked target, 32-bit colours
// unchanged and 16-bit targets through the engine's fixed packing, or as 1 x 1 fills when the
// target cannot be locked. When no back buffer can be had the queue is emptied undrawn.
// Returns 0.
std::int32_t FlushBoxQueue(platform::gfx::IDirect3DSurface9* target, std::int32_t clipWidth,
                           std::int32_t clipHeight);

// (alpha << 24) | (red << 16) | (green << 8) | blue, each reduced to its low 8 bits.
std::uint32_t PackColorARGB(std::int32_t alpha, std::int32_t red, std::int32_t green,
                            std::int32_t blue);

}  // namespace engine
