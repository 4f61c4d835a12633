// platform/gfx/fx/effect_testing.h: what tests may ask an effect object beyond its interface.
#pragma once

#include <vector>

#include "platform/gfx/fx/effect.h"

namespace platform::gfx {

// The parameters (indices into the reflection's parameters) that pass "pass" of technique
// "technique" of "effect" holds as constants in the program it draws with now: empty before
// the pass first runs, and once it reads every parameter as a uniform.
std::vector<int> FoldedParametersForTesting(ID3DXEffect* effect, int technique, int pass);

}  // namespace platform::gfx
