// engine/state.cpp: the engine's process-wide state records and what programs may read of them.
#include "engine/engine.h"
#include "engine/state_internal.h"

namespace engine {

DeviceState deviceState{};
InputState inputState{};
FrameClock frameClock{};
EngineLists engineLists{};

std::int32_t ScreenWidth() { return deviceState.screenWidth; }
std::int32_t ScreenHeight() { return deviceState.screenHeight; }

}  // namespace engine
