// engine/effect.h: compiled effects in the engine's effect list, with their variables and
// techniques set by name.
//
// An `Effect` is effect source text compiled on the engine's device; its record sits in
// `effectList` and lives until the process ends. A handle is the record's address (0 = none);
// an operation given an effect that is not in `effectList` does nothing and returns 0. Names
// of variables and techniques go to the effect object as they are; nothing is cached.
//
// An effect's current technique is the first technique of its source until a selection
// succeeds; a failed selection keeps the current one. Variables keep the last value set
// (initially the source's initial values); a name the source does not declare changes nothing.
//
// The render-to-texture operations that draw with an effect are in engine/render_texture.h.
//
// Threads: main thread only (the thread that owns the device).
#pragma once

#include <cstdint>

#include "engine/texture.h"

namespace platform::gfx {
class ID3DXEffect;  // platform/gfx/fx/effect.h
}

namespace engine {

// One entry of `effectList`.
struct Effect {
    platform::gfx::ID3DXEffect* effect;  // the compiled effect; owned
};

// Engine result code stored in `lastError` when an effect does not compile.
inline constexpr std::int32_t kErrorEffectNotCompiled = 17;

// The caption of the box that shows the compiler's messages.
inline constexpr const char* kEffectErrorCaption = "Error CreateEffect!";

// Compiles "source" (zero-terminated effect source) on the engine's device and inserts its
// record after the current one of `effectList`. Returns the handle, or 0: for a null or empty
// text (nothing else happens), or when the source does not compile. A failed compile stores 17 in `lastError`, shows a modal box
// captioned "Error CreateEffect!" with the compiler's messages as its body (the call returns
// when the box is closed) and leaves no record.
Effect* CreateEffectFromSource(const char* source);

// Sets the float variable "name" of the effect to "value". Returns 1 for an effect in
// `effectList`, whether or not the source declares "name"; 0 otherwise.
std::int32_t SetEffectFloat(Effect* effect, const char* name, float value);

// Makes "name" the effect's current technique. Returns 1 if it was selected; 0 for an unknown
// effect or a technique the source does not declare (the current technique stays).
std::int32_t SetEffectTechnique(Effect* effect, const char* name);

// Binds the current texture of the record "texture" to the effect's texture variable "name".
// The effect keeps its own reference until the variable is set again. Returns 1 when both
// handles are known (whatever the effect makes of the name), 0 otherwise. A render texture
// changes its texture on every ApplyEffectToTexture, so bind it again before each one.
std::int32_t SetEffectTexture(Effect* effect, const char* name, TextureRecord* texture);

// "effect" if it is in `effectList`, else null.
Effect* FindEffect(Effect* effect);

}  // namespace engine
