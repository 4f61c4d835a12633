// tools/assetgen/modrender.cpp: renders a module with the music library and reports its levels.
//
//   modrender [--seconds N] MODULE [OUT.wav]
//
// Plays the module once through (no looping) at 44100 Hz, 16-bit stereo, with the library's
// default settings and master volume 512, as the intro does. With --seconds the module loops
// endlessly, as the intro plays it, and exactly N seconds are rendered. Prints the duration, the peak,
// the number of clipped samples, the loudness of every 16 rows (one bar at 127 BPM, tempo 5)
// and the longest stretch of silence; writes the sound as a WAV file when OUT.wav is given.
#include <libmodplug/modplug.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kRate = 44100;

bool ReadFile(const char* path, std::vector<unsigned char>& bytes) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  unsigned char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  std::fclose(f);
  return true;
}

void Put32(std::FILE* f, std::uint32_t v) {
  unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                        static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
  std::fwrite(b, 1, 4, f);
}

void Put16(std::FILE* f, std::uint16_t v) {
  unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  std::fwrite(b, 1, 2, f);
}

bool WriteWav(const char* path, const std::vector<std::int16_t>& pcm) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const std::uint32_t data = static_cast<std::uint32_t>(pcm.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 1);
  Put16(f, 2);
  Put32(f, kRate);
  Put32(f, kRate * 4);
  Put16(f, 4);
  Put16(f, 16);
  std::fwrite("data", 1, 4, f);
  Put32(f, data);
  for (std::int16_t s : pcm) Put16(f, static_cast<std::uint16_t>(s));
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  long seconds = 0;  // 0: once through, at most 20 minutes
  if (argc >= 3 && std::strcmp(argv[1], "--seconds") == 0) {
    seconds = std::strtol(argv[2], nullptr, 10);
    argc -= 2;
    argv += 2;
  }
  if (argc < 2 || seconds < 0 || seconds > 20 * 60) {
    std::fprintf(stderr, "usage: modrender [--seconds N (1-1200)] MODULE [OUT.wav]\n");
    return 2;
  }
  std::vector<unsigned char> bytes;
  if (!ReadFile(argv[1], bytes)) {
    std::fprintf(stderr, "modrender: cannot read %s\n", argv[1]);
    return 1;
  }
  ModPlug_Settings settings;
  ModPlug_GetSettings(&settings);
  settings.mLoopCount = seconds > 0 ? -1 : 0;
  ModPlug_SetSettings(&settings);
  ModPlugFile* file = ModPlug_Load(bytes.data(), static_cast<int>(bytes.size()));
  if (!file) {
    std::fprintf(stderr, "modrender: the music library refuses %s\n", argv[1]);
    return 1;
  }
  ModPlug_SetMasterVolume(file, 512);
  std::vector<std::int16_t> pcm;
  std::int16_t buf[8192];
  int got;
  const std::size_t limit = static_cast<std::size_t>(seconds > 0 ? seconds : 20 * 60) * kRate * 2;
  while (pcm.size() < limit && (got = ModPlug_Read(file, buf, sizeof buf)) > 0)
    pcm.insert(pcm.end(), buf, buf + got / 2);
  if (pcm.size() > limit) pcm.resize(limit);
  ModPlug_Unload(file);

  const std::size_t frames = pcm.size() / 2;
  int peak = 0;
  std::size_t clipped = 0;
  for (std::int16_t s : pcm) {
    peak = std::max(peak, std::abs(static_cast<int>(s)));
    if (s == 32767 || s == -32768) ++clipped;
  }
  // One bar: 16 rows of 5 ticks, a tick lasting 2.5 / BPM seconds.
  const double barSeconds = 16 * 5 * 2.5 / 127.0;
  const std::size_t barFrames = static_cast<std::size_t>(barSeconds * kRate);
  std::printf("duration %.1f s, peak %d (%.2f dBFS), clipped samples %zu\n",
              frames / double(kRate), peak, 20 * std::log10(std::max(peak, 1) / 32768.0),
              clipped);
  std::printf("bar loudness (RMS dBFS):");
  for (std::size_t b = 0; b * barFrames < frames; ++b) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = b * barFrames * 2; i < std::min(pcm.size(), (b + 1) * barFrames * 2); ++i) {
      sum += double(pcm[i]) * pcm[i];
      ++n;
    }
    if (b % 16 == 0) std::printf("\n ");
    std::printf(" %6.1f", 10 * std::log10(std::max(sum / std::max<std::size_t>(n, 1), 1.0) / (32768.0 * 32768.0)));
  }
  std::printf("\n");
  // Silence: 10 ms windows whose peak stays under -60 dBFS.
  const std::size_t window = kRate / 100;
  std::size_t run = 0, longest = 0;
  for (std::size_t w = 0; (w + 1) * window <= frames; ++w) {
    int p = 0;
    for (std::size_t i = w * window * 2; i < (w + 1) * window * 2; ++i)
      p = std::max(p, std::abs(static_cast<int>(pcm[i])));
    run = p < 33 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  std::printf("longest silence %.2f s (a bar is %.2f s)\n", longest * 0.01, barSeconds);
  if (argc > 2 && !WriteWav(argv[2], pcm)) {
    std::fprintf(stderr, "modrender: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
