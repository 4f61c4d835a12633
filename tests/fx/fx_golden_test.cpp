// tests/fx/fx_golden_test.cpp: the GLSL the compiler writes for a few representative effects,
// per target, against the text checked in under tests/fx/expected/<target>/ (one file per
// technique, pass and stage: "blur.fx.Blur.Horizontal.frag"). The pixel tests say whether the
// output is right; these say when it changed. After a deliberate change, rewrite them with
// scripts/update-fx-goldens (FX_UPDATE_GOLDENS=1) and review the diff.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/gfx/fx/fx.h"

namespace {

namespace fx = platform::gfx::fx;

struct Golden {
    const char* file;  // under tests/fx/corpus, or "asset:" for the intro's own effect
    fx::GlslTarget target;
    const char* folder;
};

constexpr Golden kGoldens[] = {
    {"transform.fx", fx::GlslTarget::Core330, "glsl330"}, {"transform.fx", fx::GlslTarget::Es300, "essl300"},
    {"lighting.fx", fx::GlslTarget::Core330, "glsl330"},  {"lighting.fx", fx::GlslTarget::Es300, "essl300"},
    {"blur.fx", fx::GlslTarget::Core330, "glsl330"},      {"blur.fx", fx::GlslTarget::Es300, "essl300"},
    {"features.fx", fx::GlslTarget::Core330, "glsl330"},  {"features.fx", fx::GlslTarget::Es300, "essl300"},
    {"asset:crystals.fx", fx::GlslTarget::Core330, "glsl330"},
    {"asset:crystals.fx", fx::GlslTarget::Es300, "essl300"},
};

std::string Read(const std::string& path, bool& found) {
    std::ifstream in(path, std::ios::binary);
    found = static_cast<bool>(in);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class FxGolden : public ::testing::TestWithParam<Golden> {};

TEST_P(FxGolden, TheEmittedGlslIsTheCheckedInText) {
    const Golden& g = GetParam();
    const std::string name = g.file;
    const bool asset = name.rfind("asset:", 0) == 0;
    const std::string file = asset ? name.substr(6) : name;
    const std::string path = asset ? std::string(FX_ASSETS_EFFECT) : std::string(FX_CORPUS_DIR) + "/" + file;
    bool found = false;
    const std::string source = Read(path, found);
    ASSERT_TRUE(found) << path;
    fx::CompileOptions options;
    options.glsl = g.target;
    const fx::CompileResult r = fx::Compile(source, options);
    ASSERT_TRUE(r.ok) << r.Messages();
    const bool update = std::getenv("FX_UPDATE_GOLDENS") != nullptr;
    int compared = 0;
    for (std::size_t t = 0; t < r.techniques.size(); ++t)
        for (std::size_t p = 0; p < r.techniques[t].passes.size(); ++p) {
            const fx::PassInfo& pass = r.techniques[t].passes[p];
            const std::string tname = r.techniques[t].name.empty() ? std::to_string(t) : r.techniques[t].name;
            const std::string pname = pass.name.empty() ? std::to_string(p) : pass.name;
            const std::string stem = std::string(FX_GOLDEN_DIR) + "/" + g.folder + "/" + file + "." + tname + "." + pname;
            for (int stage = 0; stage < 2; ++stage) {
                const std::string expectedPath = stem + (stage ? ".frag" : ".vert");
                const std::string& text = stage ? pass.fragmentGlsl : pass.vertexGlsl;
                if (update) {
                    std::ofstream(expectedPath, std::ios::binary) << text;
                    continue;
                }
                bool have = false;
                const std::string expected = Read(expectedPath, have);
                EXPECT_TRUE(have) << expectedPath << " is missing: run scripts/update-fx-goldens";
                if (have)
                    EXPECT_EQ(text, expected) << expectedPath
                                              << " differs; if the change is meant, run scripts/update-fx-goldens";
                ++compared;
            }
        }
    if (!update) EXPECT_GT(compared, 0);
}

INSTANTIATE_TEST_SUITE_P(Effects, FxGolden, ::testing::ValuesIn(kGoldens),
                         [](const ::testing::TestParamInfo<Golden>& i) {
                             std::string n = std::string(i.param.file) + "_" + i.param.folder;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
