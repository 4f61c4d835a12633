// tests/assets/effect_compile_test.cpp: the effect source, as the intro assembles it, compiles
// with the project's effect checker and yields the technique and pass the intro runs.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "assets/data_area.h"

namespace {

// Writes the intro's assembled source (the stored lines, each followed by a line feed) to a
// temporary file and returns its path.
std::string WriteAssembledSource() {
  const char* p = reinterpret_cast<const char*>(assets::ItemBytes(assets::kEffectSource));
  const char* end = p + assets::kEffectSource.bytes;
  std::string source;
  for (const char* line = p; line < end;) {
    const std::string text(line);
    line += text.size() + 1;
    if (text == "End") break;
    source += text + "\n";
  }
  const std::string path = testing::TempDir() + "crystals_assembled.fx";
  std::ofstream(path, std::ios::binary) << source;
  return path;
}

struct CheckerRun {
  int status = -1;
  std::string output;
};

CheckerRun RunChecker(const std::string& args) {
  CheckerRun r;
  const std::string command = std::string(INTRO_FXCHECK) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.output.append(buf, n);
  const int raw = pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

TEST(EffectCompile, CompilesWithTechniqueStartAndPassP1) {
  const std::string path = WriteAssembledSource();
  const std::string glslDir = testing::TempDir();
  const CheckerRun r = RunChecker(path + " --glsl " + glslDir);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output.find("error:"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("technique Start\n  pass p1"), std::string::npos) << r.output;
  // The pixel stage reads the frame through the sampler and the time parameter.
  std::ifstream frag(glslDir + "/Start.p1.frag");
  ASSERT_TRUE(frag.good()) << "no fragment shader written";
  const std::string glsl((std::istreambuf_iterator<char>(frag)), std::istreambuf_iterator<char>());
  EXPECT_NE(glsl.find("time"), std::string::npos);
  EXPECT_NE(glsl.find("sampler2D"), std::string::npos);
}

}  // namespace
