# Makefile: the front door. `make` sets everything up and builds, `make test` runs every test,
# `make run` starts the intro (on a virtual X server when no display exists).
#
#   make                 install missing packages, configure into build/, build everything
#   make test            build, then run every test (under Xvfb when DISPLAY is unset), then
#                        build the Windows program and run its tests under Wine
#   make windows         cross-build the 32-bit Windows program: build-win/intro.exe
#   make run             build, then run the intro
#   make test SANITIZE=1 the same tests built with AddressSanitizer + UBSan, in build-asan/
#   make test TSAN=1     the same tests built with ThreadSanitizer, in build-tsan/
#   make bench           build and run the benchmark binaries
#   make soak            build, then run the intro for ten minutes sampling memory, descriptors,
#                        threads, frames and sound (scripts/soak; not part of make test)

JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=

ifeq ($(SANITIZE),1)
  BUILD ?= build-asan
  CMAKE_FLAGS += -DINTRO_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug
else ifeq ($(TSAN),1)
  BUILD ?= build-tsan
  CMAKE_FLAGS += -DINTRO_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo
else
  BUILD ?= build
endif
# The Windows build and its tests join the plain test run (not the sanitizer runs: their
# builds are for Linux only). WINDOWS=0 leaves them out.
ifeq ($(SANITIZE)$(TSAN),)
  WINDOWS ?= 1
else
  WINDOWS ?= 0
endif
WIN_BUILD ?= build-win

# Tests that need a display get a virtual one: 1280 x 1024, 24-bit, with GLX (Mesa llvmpipe).
XVFB = xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp"
ifeq ($(strip $(DISPLAY)),)
  WITH_DISPLAY = $(XVFB)
else
  WITH_DISPLAY =
endif

.PHONY: all deps configure build test run bench soak clean windows

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build $(if $(filter 1,$(WINDOWS)),windows)
	cd $(BUILD) && $(WITH_DISPLAY) ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)
ifeq ($(WINDOWS),1)
	scripts/test-windows $(WIN_BUILD)
endif

# The libraries are cross-built once into a cache outside the clone (scripts/build-windows-deps).
windows:
	@scripts/install-deps windows
	@prefix=$$(JOBS=$(JOBS) scripts/build-windows-deps) && \
	  cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DINTRO_WINDOWS_DEPS=$$prefix >/dev/null
	cmake --build $(WIN_BUILD) -j $(JOBS)

run: build
	@scripts/run-intro $(BUILD)

bench: build
	@scripts/run-benchmarks $(BUILD)

soak: build
	@scripts/soak --build $(BUILD)

clean:
	rm -rf build build-asan build-tsan build-win out
