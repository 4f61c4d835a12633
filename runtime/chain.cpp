// runtime/chain.cpp: the runtime's start-up and end steps and the merge with the program's.
#include "runtime/chain.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "runtime/data_area.h"
#include "runtime/decoders.h"
#include "runtime/event.h"
#include "runtime/heap.h"
#include "runtime/libraries.h"
#include "runtime/list.h"
#include "runtime/strings.h"
#include "runtime/window.h"

namespace runtime {

namespace {

void StartRuntimeHeap() { CreateRuntimeHeap(); }
void StartDataPosition() { ResetDataPosition(); }
void StartStrings() {
    if (CreateStringHeap()) CreateScratchString();
}
void StartMemory() { CreateMemoryHeap(); }
void StartBmpCodec() { RegisterBmpCodec(); }
void StartPngDecoder() { RegisterPngDecoder(); }

void EndMemory() { DestroyMemoryHeap(); }
void EndStrings() {
    FreeScratchString();
    DestroyStringHeap();
}
void EndRuntimeHeap() {
    // Every table, pool and state block lives on this heap: forget them before it goes.
    ForgetLibraryState();
    RemoveStructureHooks();
    DestroyRuntimeHeap();
}

// The runtime's start-up steps in chain order. Positions 1, 24, 25, 27 and 28 belong to the
// program and the libraries above the runtime; they are passed to RunStartupChain.
constexpr ChainStep kStartupSteps[] = {
    // 2 module instance: the platform has no module handle; window classes need none here.
    {3, "runtime heap", StartRuntimeHeap},
    {4, "data position", StartDataPosition},
    {5, "strings", StartStrings},
    {6, "lists", InstallListHooks},
    // 7 requesters: common controls and COM have no counterpart on this platform.
    {8, "file write-back", StartFileWriteBack},
    {9, "dynamic libraries", StartDynamicLibraries},
    {10, "threads", StartThreads},
    {11, "fonts", StartFonts},
    {12, "2D vector drawing", StartVectorDrawing},
    {13, "memory", StartMemory},
    {14, "image codecs", StartImageCodecs},
    {15, "BMP codec", StartBmpCodec},
    {16, "images", StartImages},
    // 17 2D drawing: the alpha-blending system library and theme checks are platform-only.
    {18, "maps", InstallMapHooks},
    {19, "events", InitEventLibrary},
    {20, "windows", InitWindowLibrary},
    {21, "controls", StartControls},
    {22, "files", StartFiles},
    {23, "arrays", InstallArrayHooks},
    {26, "PNG decoder", StartPngDecoder},
};

// The runtime's end steps 2-14 in chain order; 1 (music) and 11 (sound) come from the program.
constexpr ChainStep kEndSteps[] = {
    {2, "files", EndFiles},
    // 3 controls: the control library makes no tool window of its own on this platform.
    {4, "windows", EndWindowLibrary},
    {5, "events", EndEventLibrary},
    // 6 2D drawing: the alpha-blending system library is never loaded here.
    {7, "images", EndImages},
    {8, "fonts", EndFonts},
    {9, "dynamic libraries", EndDynamicLibraries},
    {10, "file write-back", EndFileWriteBack},
    {12, "memory", EndMemory},
    {13, "strings", EndStrings},
    {14, "runtime heap", EndRuntimeHeap},
};

// Runs "own" and "upper" in ascending position; at one position the runtime's step first,
// the given ones in their order.
void RunMerged(std::span<const ChainStep> own, std::span<const ChainStep> upper) {
    long long done = LLONG_MIN;  // every position up to this one has run
    for (;;) {
        long long next = LLONG_MAX;
        for (auto steps : {own, upper})
            for (const ChainStep& s : steps)
                if (s.position > done && s.position < next) next = s.position;
        if (next == LLONG_MAX) return;
        for (auto steps : {own, upper})
            for (const ChainStep& s : steps)
                if (s.position == next && s.run) s.run();
        done = next;
    }
}

}  // namespace

std::span<const ChainStep> RuntimeStartupSteps() { return kStartupSteps; }
std::span<const ChainStep> RuntimeEndSteps() { return kEndSteps; }

void RunStartupChain(std::span<const ChainStep> upperSteps) { RunMerged(kStartupSteps, upperSteps); }

void RunEndChain(std::span<const ChainStep> upperSteps) { RunMerged(kEndSteps, upperSteps); }

void EndProcess() {
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace runtime
