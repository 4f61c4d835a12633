// runtime/chain.h: the start-up chain and the end chain.
//
// The program runs every start-up step in a fixed order before its first statement and every
// end step in a fixed order after its loop. The runtime owns the steps of its own libraries;
// the libraries of higher layers (the intro's globals, music, the render engine, display,
// sound) cannot be called from here, so the program passes their steps in, each with the
// position it takes in the chain:
//
//   start: 1 intro globals, 24 music, 25 render engine, 27 display, 28 sound
//   end:    1 music, 11 sound
//
//   static const runtime::ChainStep kStart[] = {{1, "intro globals", ZeroIntroGlobals},
//                                               {24, "music", StartMusic}, ...};
//   runtime::RunStartupChain(kStart);
//   ... loop ...
//   runtime::RunEndChain(kEnd);
//   runtime::EndProcess();
//
// Steps run in ascending position; at one position the runtime's own step runs before the
// given ones, and given ones keep their order. Results of steps are not examined: a library
// whose start-up failed makes its later operations fail. RunEndChain runs end steps 1 to 14
// and returns (so tests can run the chains again); EndProcess is step 15.
//
// Threads: main thread only.
#pragma once

#include <span>

namespace runtime {

struct ChainStep {
    int position;
    const char* name;
    void (*run)();
};

// The runtime's own steps, in position order.
std::span<const ChainStep> RuntimeStartupSteps();
std::span<const ChainStep> RuntimeEndSteps();

// Runs the runtime's start-up steps merged with "upperSteps" by position.
void RunStartupChain(std::span<const ChainStep> upperSteps);

// Runs the runtime's end steps 1-14 merged with "upperSteps" by position. Every runtime heap,
// table and block is gone afterwards.
void RunEndChain(std::span<const ChainStep> upperSteps);

// Step 15 of the end chain: ends the process with exit code 0 (stdio is flushed first).
[[noreturn]] void EndProcess();

}  // namespace runtime
