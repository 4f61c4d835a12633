// tests/audio/xm_writer.h: builds small extended-module (XM) images for the music tests.
#pragma once

#include <cstdint>
#include <vector>

namespace audio_test {

// One cell of a pattern: note 1-96 (49 = C-4), 97 = key off, 0 = none; instrument 1.., 0 =
// none; volume column 0x10-0x50 or 0; effect and parameter.
struct XmCell {
    std::uint8_t note = 0, instrument = 0, volume = 0, effect = 0, parameter = 0;
};

// A single-sample instrument with a looped 8-bit waveform.
struct XmInstrument {
    std::vector<std::int8_t> samples;
    std::uint8_t volume = 48;  // 0-64
    std::int8_t relativeNote = 0;
};

struct XmModule {
    std::uint16_t channels = 4;
    std::uint16_t tempo = 6;  // ticks per row
    std::uint16_t bpm = 125;
    std::uint16_t restart = 0;
    std::vector<std::uint8_t> orders;
    std::vector<std::vector<std::vector<XmCell>>> patterns;  // [pattern][row][channel]
    std::vector<XmInstrument> instruments;
};

// The file image of "module".
std::vector<std::uint8_t> WriteXm(const XmModule& module);

// The tests' module: 4 channels, three looped waveforms (square, saw, triangle), three 32-row
// patterns at 60 ms per row in the order 0, 1, 2, where pattern 2 (pattern 0 again) ends in a
// jump back to order 1: 5.76 s, then it loops forever from 1.92 s on.
std::vector<std::uint8_t> TestModule();

}  // namespace audio_test
