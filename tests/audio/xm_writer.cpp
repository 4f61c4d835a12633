// tests/audio/xm_writer.cpp: a minimal XM writer (unpacked patterns, one sample per instrument).
#include "tests/audio/xm_writer.h"

#include <cstring>
#include <string>

namespace audio_test {

namespace {

struct Out {
    std::vector<std::uint8_t> bytes;
    void u8(unsigned v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); }
    void u32(std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void text(const std::string& s, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<unsigned char>(s[i]) : 0);
    }
    void zeros(std::size_t n) { bytes.insert(bytes.end(), n, 0); }
};

}  // namespace

std::vector<std::uint8_t> WriteXm(const XmModule& m) {
    Out o;
    o.text("Extended Module: ", 17);
    o.text("audio test", 20);
    o.u8(0x1A);
    o.text("test writer", 20);
    o.u16(0x0104);
    o.u32(276);  // header size from this field on
    o.u16(static_cast<unsigned>(m.orders.size()));
    o.u16(m.restart);
    o.u16(m.channels);
    o.u16(static_cast<unsigned>(m.patterns.size()));
    o.u16(static_cast<unsigned>(m.instruments.size()));
    o.u16(1);  // linear frequency table
    o.u16(m.tempo);
    o.u16(m.bpm);
    for (std::size_t i = 0; i < 256; ++i) o.u8(i < m.orders.size() ? m.orders[i] : 0);

    for (const auto& pattern : m.patterns) {
        o.u32(9);  // pattern header size
        o.u8(0);   // packing type
        o.u16(static_cast<unsigned>(pattern.size()));
        o.u16(static_cast<unsigned>(pattern.size() * m.channels * 5));
        for (const auto& row : pattern) {
            for (std::size_t c = 0; c < m.channels; ++c) {
                const XmCell cell = c < row.size() ? row[c] : XmCell{};
                o.u8(cell.note);
                o.u8(cell.instrument);
                o.u8(cell.volume);
                o.u8(cell.effect);
                o.u8(cell.parameter);
            }
        }
    }

    for (const auto& ins : m.instruments) {
        o.u32(263);  // instrument header size
        o.text("instrument", 22);
        o.u8(0);
        o.u16(1);    // one sample
        o.u32(40);   // sample header size
        o.zeros(96);          // every note plays sample 0
        o.zeros(48 + 48);     // volume and panning envelopes (unused)
        o.zeros(2 + 6 + 2 + 4);  // point counts, sustain/loop points, types, vibrato
        o.u16(0);             // fade-out
        o.zeros(22);
        const auto length = static_cast<std::uint32_t>(ins.samples.size());
        o.u32(length);
        o.u32(0);       // loop start
        o.u32(length);  // loop length: the whole waveform
        o.u8(ins.volume);
        o.u8(0);        // finetune
        o.u8(1);        // forward loop, 8-bit
        o.u8(128);      // panning
        o.u8(static_cast<std::uint8_t>(ins.relativeNote));
        o.u8(0);
        o.text("sample", 22);
        std::int8_t previous = 0;
        for (std::int8_t s : ins.samples) {
            o.u8(static_cast<std::uint8_t>(static_cast<std::int8_t>(s - previous)));
            previous = s;
        }
    }
    return o.bytes;
}

std::vector<std::uint8_t> TestModule() {
    XmModule m;
    m.tempo = 3;  // 60 ms per row
    constexpr int kCycle = 64;
    XmInstrument square, saw, triangle;
    for (int i = 0; i < kCycle; ++i) {
        square.samples.push_back(static_cast<std::int8_t>(i < kCycle / 2 ? 90 : -90));
        saw.samples.push_back(static_cast<std::int8_t>(-120 + i * 240 / kCycle));
        const int t = i < kCycle / 2 ? i : kCycle - i;
        triangle.samples.push_back(static_cast<std::int8_t>(-120 + t * 240 / (kCycle / 2)));
    }
    square.volume = 40;
    saw.volume = 36;
    triangle.volume = 56;
    triangle.relativeNote = -12;
    m.instruments = {square, saw, triangle};

    const std::uint8_t bass[] = {37, 37, 44, 37, 42, 42, 40, 39};   // C-3 ...
    const std::uint8_t lead[] = {61, 64, 68, 73, 68, 64, 66, 69};   // C-5 ...
    for (int p = 0; p < 2; ++p) {
        std::vector<std::vector<XmCell>> rows(32, std::vector<XmCell>(4));
        for (int r = 0; r < 32; ++r) {
            if (r % 4 == 0) rows[r][0] = {static_cast<std::uint8_t>(bass[(r / 4 + p) % 8]), 3, 0, 0, 0};
            if (r % 2 == 0) {
                rows[r][1] = {static_cast<std::uint8_t>(lead[(r / 2 + 3 * p) % 8]), 1,
                              static_cast<std::uint8_t>(0x10 + 24 + (r % 8) * 4), 0, 0};
            }
            if (r % 8 == 4) rows[r][2] = {static_cast<std::uint8_t>(49 + p * 5), 2, 0, 0, 0};
            if (r % 8 == 7) rows[r][2] = {97, 0, 0, 0, 0};  // key off
            if (r % 3 == 1) rows[r][3] = {static_cast<std::uint8_t>(73 + (r % 5)), 2, 0x30, 0, 0};
        }
        m.patterns.push_back(rows);
    }
    // libmodplug loops a song only through a position jump: the last pattern is the first
    // one again, ending in a jump back to order 1.
    m.patterns.push_back(m.patterns[0]);
    m.patterns[2][31][3] = {0, 0, 0, 0x0B, 0x01};
    m.orders = {0, 1, 2};
    m.restart = 1;
    return WriteXm(m);
}

}  // namespace audio_test
