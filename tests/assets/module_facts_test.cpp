// tests/assets/module_facts_test.cpp: the embedded module is the 4-channel XM the music library
// is set up for, and the library plays it as real music: audible, unclipped, never silent
// for a bar.
#include <gtest/gtest.h>
#include <libmodplug/modplug.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "assets/data_area.h"
#include "tests/assets/asset_files.h"

namespace {

const std::vector<int> kOrders = {0,  1,  2,  3,  4,  5,  1,  6,  7,  8,  7,  8,  9,  9,  10, 10,
                                  11, 12, 13, 14, 14, 15, 15, 11, 14, 14, 15, 15, 16, 16, 17};

std::uint32_t Le32(const std::vector<unsigned char>& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (std::uint32_t(b.at(at + 3)) << 24);
}
int Le16(const std::vector<unsigned char>& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }

struct SampleInfo {
  std::uint32_t length, loopStart, loopLength;
  int type;
  bool blankName;
};

// The module walked field by field; any field out of place fails the walk.
struct ParsedModule {
  bool ok = false;
  std::string failure;
  std::string id, name, tracker;
  int marker = 0, version = 0, headerSize = 0, songLength = 0, restart = 0, channels = 0,
      patterns = 0, instruments = 0, flags = 0, tempo = 0, bpm = 0;
  std::vector<int> orders;
  std::vector<int> patternRows;
  std::vector<int> samplesPerInstrument;
  std::vector<bool> blankInstrumentNames;
  std::vector<SampleInfo> samples;
  int maxInstrumentUsed = 0;
  std::size_t endOfSampleData = 0;
};

ParsedModule Parse(const std::vector<unsigned char>& b) {
  ParsedModule m;
  try {
    m.id.assign(b.begin(), b.begin() + 17);
    m.name.assign(b.begin() + 17, b.begin() + 37);
    m.marker = b.at(37);
    m.tracker.assign(b.begin() + 38, b.begin() + 58);
    m.version = Le16(b, 58);
    m.headerSize = static_cast<int>(Le32(b, 60));
    m.songLength = Le16(b, 64);
    m.restart = Le16(b, 66);
    m.channels = Le16(b, 68);
    m.patterns = Le16(b, 70);
    m.instruments = Le16(b, 72);
    m.flags = Le16(b, 74);
    m.tempo = Le16(b, 76);
    m.bpm = Le16(b, 78);
    for (int i = 0; i < m.songLength; ++i) m.orders.push_back(b.at(80 + i));
    std::size_t pos = 60 + m.headerSize;
    for (int p = 0; p < m.patterns; ++p) {
      const std::uint32_t headerLength = Le32(b, pos);
      if (b.at(pos + 4) != 0) throw std::string("pattern packing type");
      const int rows = Le16(b, pos + 5);
      const int packed = Le16(b, pos + 7);
      m.patternRows.push_back(rows);
      std::size_t q = pos + headerLength;
      const std::size_t end = q + packed;
      int cells = 0;
      while (q < end) {
        const int first = b.at(q);
        int fields[5] = {0, 0, 0, 0, 0};
        if (first & 0x80) {
          ++q;
          for (int f = 0; f < 5; ++f)
            if (first & (1 << f)) fields[f] = b.at(q++);
        } else {
          for (int f = 0; f < 5; ++f) fields[f] = b.at(q++);
        }
        if (fields[0] > 97) throw std::string("note out of range");
        m.maxInstrumentUsed = std::max(m.maxInstrumentUsed, fields[1]);
        ++cells;
      }
      if (q != end) throw std::string("pattern data overruns its size");
      if (cells != rows * m.channels) throw std::string("pattern cell count");
      pos = end;
    }
    for (int i = 0; i < m.instruments; ++i) {
      const std::uint32_t size = Le32(b, pos);
      bool blank = true;
      for (int k = 0; k < 22; ++k) blank = blank && (b.at(pos + 4 + k) == 0 || b.at(pos + 4 + k) == ' ');
      m.blankInstrumentNames.push_back(blank);
      const int count = Le16(b, pos + 27);
      m.samplesPerInstrument.push_back(count);
      const std::uint32_t sampleHeaderSize = count ? Le32(b, pos + 29) : 40;
      pos += size;
      std::uint32_t dataBytes = 0;
      for (int s = 0; s < count; ++s) {
        SampleInfo si{Le32(b, pos), Le32(b, pos + 4), Le32(b, pos + 8), b.at(pos + 14), true};
        for (int k = 0; k < 22; ++k) si.blankName = si.blankName && (b.at(pos + 18 + k) == 0 || b.at(pos + 18 + k) == ' ');
        dataBytes += si.length;
        m.samples.push_back(si);
        pos += sampleHeaderSize;
      }
      pos += dataBytes;
      if (pos > b.size()) throw std::string("sample data past the end");
    }
    m.endOfSampleData = pos;
    m.ok = true;
  } catch (const std::string& what) {
    m.failure = what;
  } catch (const std::exception& e) {
    m.failure = std::string("truncated: ") + e.what();
  }
  return m;
}

std::vector<unsigned char> EmbeddedModule() {
  const auto* p = assets::ItemBytes(assets::kModule);
  return std::vector<unsigned char>(p, p + assets::kModule.bytes);
}

// ---------------------------------------------------------------------------------------------
// Format facts
// ---------------------------------------------------------------------------------------------

TEST(ModuleFacts, HeaderFieldsAndOrderTable) {
  const ParsedModule m = Parse(EmbeddedModule());
  ASSERT_TRUE(m.ok) << m.failure;
  EXPECT_EQ(m.id, "Extended Module: ");
  EXPECT_EQ(m.name, std::string(20, ' '));
  EXPECT_EQ(m.marker, 0x1a);
  EXPECT_NE(m.tracker.find_first_not_of(' '), std::string::npos) << "the editor names itself";
  EXPECT_EQ(m.version, 0x0104);
  EXPECT_EQ(m.headerSize, 51);  // fixed part plus an order table of 31 entries
  EXPECT_EQ(m.songLength, 31);
  EXPECT_EQ(m.restart, 0);
  EXPECT_EQ(m.channels, 4);
  EXPECT_EQ(m.patterns, 19);
  EXPECT_EQ(m.instruments, 8);
  EXPECT_EQ(m.flags, 1);  // linear frequency table
  EXPECT_EQ(m.tempo, 5);
  EXPECT_EQ(m.bpm, 127);
  EXPECT_EQ(m.orders, kOrders);
  // Pattern 18 is stored but never played.
  EXPECT_EQ(std::count(m.orders.begin(), m.orders.end(), 18), 0);
}

TEST(ModuleFacts, PatternsInstrumentsAndSamples) {
  const auto bytes = EmbeddedModule();
  const ParsedModule m = Parse(bytes);
  ASSERT_TRUE(m.ok) << m.failure;
  EXPECT_EQ(m.patternRows, std::vector<int>(19, 64));
  EXPECT_LE(m.maxInstrumentUsed, 8) << "a pattern names an instrument that does not exist";
  ASSERT_EQ(m.samplesPerInstrument.size(), 8u);
  for (std::size_t i = 0; i < m.samplesPerInstrument.size(); ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_GE(m.samplesPerInstrument[i], 1);
    EXPECT_LE(m.samplesPerInstrument[i], 10);
    EXPECT_TRUE(m.blankInstrumentNames[i]);
  }
  int looped = 0, oneShot = 0;
  for (std::size_t s = 0; s < m.samples.size(); ++s) {
    SCOPED_TRACE(s);
    const SampleInfo& si = m.samples[s];
    EXPECT_EQ(si.type & 0x10, 0) << "8-bit sample data";
    EXPECT_TRUE(si.blankName);
    const int loop = si.type & 3;
    if (loop == 1) {
      // A single cycle: 64 or 256 bytes, looped whole.
      ++looped;
      EXPECT_TRUE(si.length == 64 || si.length == 256) << si.length;
      EXPECT_EQ(si.loopStart, 0u);
      EXPECT_EQ(si.loopLength, si.length);
    } else {
      ++oneShot;
      EXPECT_EQ(loop, 0);
      EXPECT_LE(si.length, 4096u) << "one-shot samples are short";
    }
  }
  EXPECT_GE(looped, 3);
  EXPECT_GE(oneShot, 3);
  EXPECT_EQ(m.endOfSampleData, bytes.size()) << "bytes after the sample data";
}

// ---------------------------------------------------------------------------------------------
// Playback through the music library
// ---------------------------------------------------------------------------------------------

struct Rendered {
  std::vector<std::int16_t> pcm;  // stereo, 44100 Hz
  int channels = 0, patterns = 0, instruments = 0, lengthMs = 0;
};

// Renders the module with the library's defaults and master volume 512, as the intro plays
// it; 'loopCount' 0 plays it once, -1 loops it (then 'maxSeconds' ends the render).
Rendered Render(int loopCount, double maxSeconds) {
  Rendered r;
  ModPlug_Settings settings;
  ModPlug_GetSettings(&settings);
  settings.mLoopCount = loopCount;
  ModPlug_SetSettings(&settings);
  const auto bytes = EmbeddedModule();
  ModPlugFile* file = ModPlug_Load(bytes.data(), static_cast<int>(bytes.size()));
  if (!file) return r;
  ModPlug_SetMasterVolume(file, 512);
  r.channels = ModPlug_NumChannels(file);
  r.patterns = ModPlug_NumPatterns(file);
  r.instruments = ModPlug_NumInstruments(file);
  r.lengthMs = ModPlug_GetLength(file);
  std::int16_t buf[8192];
  int got;
  const std::size_t limit = static_cast<std::size_t>(maxSeconds * 44100) * 2;
  while (r.pcm.size() < limit && (got = ModPlug_Read(file, buf, sizeof buf)) > 0)
    r.pcm.insert(r.pcm.end(), buf, buf + got / 2);
  ModPlug_Unload(file);
  return r;
}

// Longest run of 10 ms windows whose peak stays under -60 dBFS, in seconds, over the stereo
// frames [first, last).
double LongestSilence(const std::vector<std::int16_t>& pcm, std::size_t first, std::size_t last) {
  const std::size_t window = 441;
  std::size_t run = 0, longest = 0;
  for (std::size_t w = first; w + window <= last; w += window) {
    int p = 0;
    for (std::size_t i = w * 2; i < (w + window) * 2; ++i) p = std::max(p, std::abs(static_cast<int>(pcm[i])));
    run = p < 33 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest * 0.01;
}

const Rendered& Song() {
  static const Rendered r = Render(0, 600);
  return r;
}

TEST(ModulePlayback, LibraryLoadsItWithItsShape) {
  const Rendered& r = Song();
  ASSERT_FALSE(r.pcm.empty()) << "the music library refused the module";
  EXPECT_EQ(r.channels, 4);
  EXPECT_EQ(r.patterns, 31);  // the library counts the orders it will play
  EXPECT_EQ(r.instruments, 8);
  // 31 orders of 64 rows at 5 ticks of 2.5 / 127 s: 195.3 s.
  const double expectedMs = 31 * 64 * 5 * 2500.0 / 127;
  EXPECT_NEAR(r.lengthMs, expectedMs, 2000);  // the library reports whole seconds
  EXPECT_NEAR(r.pcm.size() / 2 / 44100.0, expectedMs / 1000, 2.0);
}

TEST(ModulePlayback, AudibleWithoutClipping) {
  const Rendered& r = Song();
  ASSERT_FALSE(r.pcm.empty());
  int peak = 0;
  std::size_t clipped = 0;
  double sum = 0;
  for (std::int16_t s : r.pcm) {
    peak = std::max(peak, std::abs(static_cast<int>(s)));
    clipped += s == 32767 || s == -32768;
    sum += double(s) * s;
  }
  const double rmsDb = 10 * std::log10(sum / r.pcm.size() / (32768.0 * 32768.0));
  EXPECT_EQ(clipped, 0u);
  EXPECT_LT(peak, 32000) << "no headroom left";
  EXPECT_GT(peak, 16000) << "too quiet";
  EXPECT_GT(rmsDb, -24.0);
}

TEST(ModulePlayback, NeverSilentForABar) {
  const Rendered& r = Song();
  ASSERT_FALSE(r.pcm.empty());
  // One bar is 16 rows: 16 * 5 * 2.5 / 127 s.
  const double barSeconds = 16 * 5 * 2.5 / 127;
  // The last second is the tail after the final row; the loop restarts there.
  const std::size_t frames = r.pcm.size() / 2 - 44100;
  EXPECT_LT(LongestSilence(r.pcm, 0, frames), barSeconds);
  // And each bar carries real level, not just a murmur.
  const std::size_t barFrames = static_cast<std::size_t>(barSeconds * 44100);
  for (std::size_t b = 0; (b + 1) * barFrames <= frames; ++b) {
    double sum = 0;
    for (std::size_t i = b * barFrames * 2; i < (b + 1) * barFrames * 2; ++i) sum += double(r.pcm[i]) * r.pcm[i];
    EXPECT_GT(10 * std::log10(sum / (barFrames * 2) / (32768.0 * 32768.0)), -36.0) << "bar " << b;
  }
}

TEST(ModulePlayback, LoopsBackToTheStartWithoutAGap) {
  // Looped as the intro plays it: the seconds around the restart carry sound throughout.
  const double songSeconds = 31 * 64 * 5 * 2.5 / 127;
  const Rendered looped = Render(-1, songSeconds + 6);
  ASSERT_GT(looped.pcm.size() / 2, static_cast<std::size_t>((songSeconds + 5) * 44100)) << "the song did not loop";
  const std::size_t restart = static_cast<std::size_t>(songSeconds * 44100);
  EXPECT_LT(LongestSilence(looped.pcm, restart - 4 * 44100, restart + 5 * 44100), 0.5);
}

}  // namespace
