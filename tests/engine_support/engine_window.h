// tests/engine_support/engine_window.h: the engine attached to a visible test window.
#pragma once

namespace testsupport {

// Creates the runtime heap and the engine's tables, opens a visible borderless window of
// "width" x "height" titled "title", and attaches the engine to it. Fails the calling test
// (gtest fatal failure) when any step does not succeed; callers check HasFatalFailure()
// afterwards.
void AttachEngineToTestWindow(const char* title, int width, int height);

}  // namespace testsupport
