// tests/assets/text_facts_test.cpp: the scroll text, the effect source as stored and as the
// intro assembles it, a CPU model of the effect's maths, and the data area against the files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "assets/data_area.h"
#include "tests/assets/asset_files.h"

namespace {

using assets_test::ReadAsset;

// ---------------------------------------------------------------------------------------------
// Scroll text
// ---------------------------------------------------------------------------------------------

TEST(ScrollTextFacts, LengthAndRepertoire) {
  const std::string text = assets::kScrollText;
  EXPECT_EQ(text.size(), 466u);
  EXPECT_EQ(assets::kScrollTextChars, 466u);
  const std::string allowed = " ,.:01247Sabcdefghijklmnopqrstuvwxyz";
  for (char c : text) EXPECT_NE(allowed.find(c), std::string::npos) << "'" << c << "'";
  // The non-letters are all in use, as is the one capital.
  for (char c : std::string(" ,.:01247S")) EXPECT_NE(text.find(c), std::string::npos) << "'" << c << "'";
}

TEST(ScrollTextFacts, SentencesEndInFullStopsAndAreSeparatedByEightBlanks) {
  const std::string text = assets::kScrollText;
  std::vector<std::string> sentences;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find("  ", start)) != std::string::npos;) {
    // Every run of more than one blank is exactly eight long.
    std::size_t end = at;
    while (end < text.size() && text[end] == ' ') ++end;
    EXPECT_EQ(end - at, 8u) << "blank run at " << at;
    sentences.push_back(text.substr(start, at - start));
    start = end;
  }
  sentences.push_back(text.substr(start));
  EXPECT_GE(sentences.size(), 3u);
  for (const auto& s : sentences) {
    SCOPED_TRACE(s);
    ASSERT_GE(s.size(), 4u);
    EXPECT_EQ(s.substr(s.size() - 3), "...") << "ends in a run of full stops";
  }
  EXPECT_NE(text.find("greetings"), std::string::npos);
}

TEST(ScrollTextFacts, MatchesTheCommittedFile) {
  const auto file = ReadAsset("scrolltext.txt");
  EXPECT_EQ(std::string(file.begin(), file.end()), std::string(assets::kScrollText));
}

// ---------------------------------------------------------------------------------------------
// Effect source
// ---------------------------------------------------------------------------------------------

// Reads the stored lines the way the intro does: zero-terminated texts up to the line "End".
// Returns false if the item ends before an "End" line.
bool AssembleLikeTheIntro(std::string& out, std::size_t& linesRead, std::size_t& bytesUsed) {
  const char* p = reinterpret_cast<const char*>(assets::ItemBytes(assets::kEffectSource));
  const char* end = p + assets::kEffectSource.bytes;
  out.clear();
  linesRead = 0;
  const char* cursor = p;
  while (cursor < end) {
    const void* zero = std::memchr(cursor, 0, end - cursor);
    if (!zero) return false;
    const std::string line(cursor, static_cast<const char*>(zero));
    cursor = static_cast<const char*>(zero) + 1;
    if (line == "End") {
      bytesUsed = cursor - p;
      return true;
    }
    out += line + "\n";
    ++linesRead;
  }
  return false;
}

TEST(EffectSourceFacts, StoredAsSixtyThreeLinesThenEnd) {
  std::string source;
  std::size_t lines = 0, used = 0;
  ASSERT_TRUE(AssembleLikeTheIntro(source, lines, used));
  EXPECT_EQ(lines, 63u);
  EXPECT_EQ(assets::kEffectSourceLines, 63u);
  EXPECT_EQ(used, assets::kEffectSource.bytes) << "the item ends right after \"End\"";
  EXPECT_EQ(source.size(), 1837u);
  EXPECT_EQ(assets::kEffectSourceChars, 1837u);
  EXPECT_EQ(source.back(), '\n');
  EXPECT_EQ(source.find("\nEnd\n"), std::string::npos);
  EXPECT_NE(source.substr(0, 4), "End\n");
  const auto file = ReadAsset("effect/crystals.fx");
  EXPECT_EQ(source, std::string(file.begin(), file.end()));
}

std::string AssembledSource() {
  std::string source;
  std::size_t lines = 0, used = 0;
  AssembleLikeTheIntro(source, lines, used);
  return source;
}

TEST(EffectSourceFacts, DeclaresItsNamesInOrderWithTheirValues) {
  const std::string src = AssembledSource();
  const struct { const char* pattern; } rows[] = {
      {R"(texture\s+texture0\s*;)"},
      {R"(sampler\s+tex0\s*=\s*sampler_state)"},
      {R"(uniform\s+float\s+time\s*;)"},
      {R"(uniform\s+float2\s+resolution\s*=\s*float2\(\s*933\s*,\s*511\s*\)\s*;)"},
      {R"(float\s+PI\s*=\s*3\.1415926535897932\s*;)"},
      {R"(float\s+speed\s*=\s*0\.1\s*;)"},
      {R"(float\s+speed_x\s*=\s*0\.2\s*;)"},
      {R"(float\s+speed_y\s*=\s*0\.4\s*;)"},
      {R"(float\s+intensity\s*=\s*3\s*;)"},
      {R"(int\s+steps\s*=\s*3\s*;)"},
      {R"(float\s+frequency\s*=\s*6\.0\s*;)"},
      {R"(int\s+angle\s*=\s*8\s*;)"},
      {R"(float\s+delta\s*=\s*30\.0\s*;)"},
      {R"(float\s+intence\s*=\s*300\.0\s*;)"},
      {R"(float\s+emboss\s*=\s*0\.4\s*;)"},
      {R"(float\s+col\s*\(\s*float2\s+\w+\s*\))"},
      {R"(float4\s+main\s*\(\s*float2\s+\w+\s*:\s*TEXCOORD0\s*,\s*float4\s+\w+\s*:\s*COLOR\s*\)\s*:\s*COLOR)"},
      {R"(struct\s+VS_INPUT\s*\{\s*float3\s+position\s*:\s*POSITION\s*;\s*float2\s+texture0\s*:\s*TEXCOORD0\s*;\s*\})"},
      {R"(struct\s+VS_OUTPUT\s*\{\s*float4\s+hposition\s*:\s*POSITION\s*;\s*float2\s+texture0\s*:\s*TEXCOORD0\s*;\s*\})"},
      {R"(VS_OUTPUT\s+myvs\s*\(\s*VS_INPUT\s+\w+\s*\))"},
      {R"(technique\s+Start\s*\{\s*pass\s+p1\s*\{)"},
      {R"(VertexShader\s*=\s*compile\s+vs_3_0\s+myvs\s*\(\s*\)\s*;)"},
      {R"(PixelShader\s*=\s*compile\s+ps_3_0\s+main\s*\(\s*\)\s*;)"},
  };
  std::size_t from = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.pattern);
    std::smatch m;
    const std::string rest = src.substr(from);
    ASSERT_TRUE(std::regex_search(rest, m, std::regex(r.pattern))) << "missing or out of order";
    from += m.position(0) + m.length(0);
  }
  // The names the intro sets but the effect must not declare, and one technique only.
  for (const char* absent : {"Var1", "Var2", "Var3", "postfx", "postFX"})
    EXPECT_EQ(src.find(absent), std::string::npos) << absent;
  EXPECT_EQ(std::regex_search(src.substr(src.find("technique") + 9), std::regex(R"(\btechnique\b)")), false);
  // The sampler sets no filter or address state of its own.
  for (const char* state : {"Filter", "Address"}) EXPECT_EQ(src.find(state), std::string::npos) << state;
}

// ---------------------------------------------------------------------------------------------
// CPU model of the effect, fed with the constants read from the source itself
// ---------------------------------------------------------------------------------------------

struct EffectConstants {
  double resX, resY, pi, speed, speedX, speedY, intensity, frequency, delta, intence, emboss;
  int steps, angle;
};

double Constant(const std::string& src, const std::string& name) {
  std::smatch m;
  const std::regex re("\\b" + name + R"(\s*=\s*([-0-9.]+)\s*;)");
  if (!std::regex_search(src, m, re)) ADD_FAILURE() << "no value for " << name;
  return m.empty() ? 0 : std::stod(m[1].str());
}

EffectConstants ReadConstants() {
  const std::string src = AssembledSource();
  EffectConstants k{};
  std::smatch m;
  EXPECT_TRUE(std::regex_search(src, m, std::regex(R"(resolution\s*=\s*float2\(\s*([0-9.]+)\s*,\s*([0-9.]+)\s*\))")));
  if (!m.empty()) k.resX = std::stod(m[1].str()), k.resY = std::stod(m[2].str());
  k.pi = Constant(src, "PI");
  k.speed = Constant(src, "speed");
  k.speedX = Constant(src, "speed_x");
  k.speedY = Constant(src, "speed_y");
  k.intensity = Constant(src, "intensity");
  k.frequency = Constant(src, "frequency");
  k.delta = Constant(src, "delta");
  k.intence = Constant(src, "intence");
  k.emboss = Constant(src, "emboss");
  k.steps = static_cast<int>(Constant(src, "steps"));
  k.angle = static_cast<int>(Constant(src, "angle"));
  return k;
}

// The pattern: 'steps' cosine waves in directions i * 2 pi / angle, drifting with time.
double Col(const EffectConstants& k, double qx, double qy, double time) {
  const double turn = 2 * k.pi / k.angle;
  double s = 0;
  for (int i = 0; i < k.steps; ++i) {
    const double theta = turn * i;
    const double ax = qx + std::cos(theta) * time * k.speed + time * k.speedX;
    const double ay = qy - (std::sin(theta) * time * k.speed - time * k.speedY);
    s += std::cos((ax * std::cos(theta) - ay * std::sin(theta)) * k.frequency) * k.intensity;
  }
  return std::cos(s);
}

struct PixelOut {
  double dx, dy, brightness, sampleU, sampleV;  // sample point after wrap addressing
};

PixelOut Pixel(const EffectConstants& k, double u, double v, double time) {
  const double px = u * k.resX / k.resX, py = (1 - v) * k.resY / k.resY;
  const double c = Col(k, px, py, time);
  const double dx = k.emboss * (c - Col(k, px + k.resX / k.delta, py, time)) / k.delta;
  const double dy = k.emboss * (c - Col(k, px, py + k.resY / k.delta, time)) / k.delta;
  const double su = px + dx, sv = -(py + dy);
  auto wrap = [](double t) { return t - std::floor(t); };
  return {dx, dy, 1 + dx * dy * k.intence, wrap(su), wrap(sv)};
}

TEST(EffectModel, DisplacementAndBrightnessStayInTheirBounds) {
  const EffectConstants k = ReadConstants();
  const double maxShift = k.emboss * 2 / k.delta;             // 0.0267 of the picture
  const double maxGain = maxShift * maxShift * k.intence;      // 0.2134
  EXPECT_NEAR(maxShift, 0.02667, 1e-4);
  EXPECT_NEAR(maxGain, 0.2134, 1e-3);
  double seenShift = 0, lowest = 2, highest = 0;
  for (double time : {0.0, 1.5, 123.25, -21474.8, 21474.8}) {
    for (int j = 0; j <= 60; ++j) {
      for (int i = 0; i <= 80; ++i) {
        const PixelOut o = Pixel(k, i / 80.0, j / 60.0, time);
        ASSERT_LE(std::abs(o.dx), maxShift + 1e-12);
        ASSERT_LE(std::abs(o.dy), maxShift + 1e-12);
        ASSERT_GE(o.brightness, 1 - maxGain - 1e-12);
        ASSERT_LE(o.brightness, 1 + maxGain + 1e-12);
        seenShift = std::max({seenShift, std::abs(o.dx), std::abs(o.dy)});
        lowest = std::min(lowest, o.brightness);
        highest = std::max(highest, o.brightness);
      }
    }
  }
  // The effect is visible, not a no-op: it moves pixels and changes brightness both ways.
  EXPECT_GT(seenShift, maxShift / 4);
  EXPECT_LT(lowest, 0.99);
  EXPECT_GT(highest, 1.01);
}

TEST(EffectModel, WrapTurnsTheFlippedNegatedPointIntoAPlainDisplacement) {
  const EffectConstants k = ReadConstants();
  const struct { double u, v, time; } rows[] = {
      {0.5, 0.5, 0.0}, {0.1, 0.9, 2.0}, {0.9, 0.05, 7.5}, {0.33, 0.66, -100.0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.u << "," << r.v << " t=" << r.time);
    const PixelOut o = Pixel(k, r.u, r.v, r.time);
    // Not mirrored: the sample lands at (u + dx, v - dy), modulo the picture.
    auto near = [](double a, double b) { return std::abs(a - b) < 1e-9 || std::abs(std::abs(a - b) - 1) < 1e-9; };
    EXPECT_TRUE(near(o.sampleU, r.u + o.dx)) << o.sampleU;
    EXPECT_TRUE(near(o.sampleV, r.v - o.dy)) << o.sampleV;
  }
}

TEST(EffectModel, TimeDriftsThePatternAndZeroTimeDependsOnPositionOnly) {
  const EffectConstants k = ReadConstants();
  // Same position and time: same result; another time: a different pattern somewhere.
  int changed = 0;
  for (int i = 0; i < 50; ++i) {
    const double u = i / 50.0, v = 1 - i / 70.0;
    const PixelOut a = Pixel(k, u, v, 0), b = Pixel(k, u, v, 0), c = Pixel(k, u, v, 3.0);
    EXPECT_EQ(a.dx, b.dx);
    EXPECT_EQ(a.brightness, b.brightness);
    changed += std::abs(a.dx - c.dx) > 1e-4;
  }
  EXPECT_GT(changed, 25);
  // The drift follows speed_x and speed_y: at time t the first wave (direction 0) is the
  // zero-time wave moved by t * (speed + speed_x) in x.
  const double t = 4.0;
  const double shift = t * (k.speed + k.speedX);
  EffectConstants one = k;
  one.steps = 1;
  for (int i = 0; i < 10; ++i) {
    const double x = i * 0.1;
    EXPECT_NEAR(Col(one, x + shift, 0.3, 0.0), Col(one, x, 0.3 - t * k.speedY, t), 1e-9);
  }
}

// ---------------------------------------------------------------------------------------------
// The data area against the committed files
// ---------------------------------------------------------------------------------------------

TEST(DataArea, ItemsLieBackToBackInTableOrderAndMatchTheFiles) {
  const struct { const char* name; assets::DataItem item; const char* file; } rows[] = {
      {"logo", assets::kLogo, "images/logo.png"},
      {"logo dots", assets::kLogoDots, "images/logo_dots.png"},
      {"information panel", assets::kInfoPanel, "images/info_panel.png"},
      {"edge shade", assets::kEdgeShade, "images/edge_shade.png"},
      {"module", assets::kModule, "music/intro.xm"},
      {"font", assets::kFont, "images/font.png"},
      {"caption", assets::kCaption, "images/caption.png"},
      {"caption animation", assets::kCaptionAnim, "images/caption_anim.png"},
      {"effect source", assets::kEffectSource, nullptr},
  };
  std::size_t expectedOffset = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(r.item.offset, expectedOffset);
    expectedOffset = r.item.offset + r.item.bytes;
    if (!r.file) continue;
    const auto file = ReadAsset(r.file);
    ASSERT_EQ(r.item.bytes, file.size());
    EXPECT_EQ(std::memcmp(assets::ItemBytes(r.item), file.data(), file.size()), 0);
  }
  EXPECT_EQ(expectedOffset, assets::kDataAreaBytes);
  // The effect item is the source lines plus one terminator each, then "End\0".
  EXPECT_EQ(assets::kEffectSource.bytes, 1837u + 4u);
}

}  // namespace
