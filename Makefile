# Makefile: the front door. `make` sets everything up and builds, `make test` runs the Linux
# tests, `make run` starts the intro (on a virtual X server when no display exists).
#
#   make                 install missing packages, configure into build/, build everything
#   make test            build, then run the Linux tests (under Xvfb when DISPLAY is unset)
#   make test-windows    cross-build the Windows programs, run their tests under Wine (on the
#                        32-bit build with 32-bit Wine, else on the 64-bit build)
#   make test-web        build the web page, run its tests in headless Chromium
#   make test-all        all of the above, plus make test SANITIZE=1
#   make windows         cross-build the 32-bit Windows program: build-win/intro.exe
#   make windows64       cross-build the 64-bit Windows programs: build-win64/
#   make web             build the web page into build-web/ (WebAssembly, WebGL 2)
#   make run-web         serve the web page on 127.0.0.1 (in headless Chromium without a display)
#   make run             build, then run the intro
#   make capture         build, then capture the intro frame by frame: out/capture/ (frames,
#                        audio.wav, intro.mp4); CAPTURE_ARGS adds options (--seconds N, ...)
#   make test SANITIZE=1 the Linux tests built with AddressSanitizer + UBSan, in build-asan/
#   make test TSAN=1     the Linux tests built with ThreadSanitizer, in build-tsan/
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
WIN_BUILD ?= build-win
WIN64_BUILD ?= build-win64
WEB_BUILD ?= build-web

# Tests that need a display get a virtual one: 1280 x 1024, 24-bit, with GLX (Mesa llvmpipe).
XVFB = xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp"
ifeq ($(strip $(DISPLAY)),)
  WITH_DISPLAY = $(XVFB)
else
  WITH_DISPLAY =
endif

.PHONY: all deps configure build test test-windows test-all run capture bench soak clean windows \
        windows64 web run-web test-web

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && $(WITH_DISPLAY) ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# The 32-bit programs are always built (they are the product); the tests run on them where
# 32-bit Wine is installed, else on the 64-bit build of the same source.
test-windows: windows
	@if [ "$$(scripts/test-windows --arch)" = i686 ]; then \
	  echo "test-windows: 32-bit Wine is installed: the tests run on the 32-bit build ($(WIN_BUILD))"; \
	  scripts/test-windows $(WIN_BUILD); \
	else \
	  echo "test-windows: 32-bit Wine is not installed: the tests run on the 64-bit build ($(WIN64_BUILD))"; \
	  $(MAKE) --no-print-directory windows64 && scripts/test-windows $(WIN64_BUILD); \
	fi

# Every platform's tests, then the sanitized Linux suite. Each target runs even when an
# earlier one failed; the run fails if any did.
test-all:
	@status=0; \
	for t in test test-windows test-web "test SANITIZE=1"; do \
	  $(MAKE) --no-print-directory $$t || { echo "make test-all: '$$t' failed" >&2; status=1; }; \
	done; exit $$status

# The libraries are cross-built once per architecture into a cache outside the clone
# (scripts/build-windows-deps).
windows:
	@scripts/install-deps windows
	@prefix=$$(JOBS=$(JOBS) scripts/build-windows-deps i686) && \
	  cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DINTRO_WINDOWS_DEPS=$$prefix >/dev/null
	cmake --build $(WIN_BUILD) -j $(JOBS)

windows64:
	@scripts/install-deps windows
	@prefix=$$(JOBS=$(JOBS) scripts/build-windows-deps x86_64) && \
	  cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DINTRO_WINDOWS_DEPS=$$prefix >/dev/null
	cmake --build $(WIN64_BUILD) -j $(JOBS)

# The libraries are built once with emscripten into a cache outside the clone
# (scripts/build-web-deps); the browser and the test driver come with install-deps web.
web:
	@scripts/install-deps web
	@JOBS=$(JOBS) scripts/build-web $(WEB_BUILD)

run-web: web
	@scripts/run-web $(WEB_BUILD)

test-web: web
	@scripts/test-web $(WEB_BUILD)

run: build
	@scripts/run-intro $(BUILD)

capture: build
	$(WITH_DISPLAY) $(BUILD)/intro-capture --out out/capture --video out/capture/intro.mp4 $(CAPTURE_ARGS)

bench: build
	@scripts/run-benchmarks $(BUILD)

soak: build
	@scripts/soak --build $(BUILD)

clean:
	rm -rf build build-asan build-tsan build-win build-win64 build-web out
