// app/main.cpp: the process entry of the intro.
#include <cstdio>

#include "app/intro_scene.h"
#include "platform/window/window.h"

int main() {
    // Without a desktop there is nothing to show: say so once and stop. (`make run` provides a
    // virtual one on headless machines.)
    if (platform::window::GetSystemMetrics(platform::window::SM_CXSCREEN) == 0) {
        std::fprintf(stderr, "intro: no display available (set DISPLAY, or use 'make run')\n");
        return 1;
    }
    app::SetUp();
    while (app::RunFrame()) {
    }
    app::Exit();
}
