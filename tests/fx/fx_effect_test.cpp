// tests/fx/fx_effect_test.cpp: effect-level constructs of Direct3D 9 effects without GL:
// #include through a handler and in fxcheck, shader arrays and shader variables, struct
// parameters, passes with fixed-function stages, the era's spellings, inline assembly.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "platform/gfx/fx/fx.h"

namespace {

namespace fx = platform::gfx::fx;

std::vector<fx::Diag> Ids(const fx::CompileResult& r) {
    std::vector<fx::Diag> ids;
    for (const fx::Diagnostic& d : r.diagnostics) ids.push_back(d.id);
    return ids;
}

// --- #include ----------------------------------------------------------------------------------

// Compiles "files[main]" with an include handler over the in-memory "files".
fx::CompileResult CompileFiles(const std::map<std::string, std::string>& files,
                               const std::string& main) {
    fx::CompileOptions options;
    options.sourceName = main;
    options.include = [&files](const fx::IncludeRequest& r, fx::IncludedFile& f) {
        const auto it = files.find(r.name);
        if (it == files.end()) return false;
        f.path = it->first;
        f.text = it->second;
        return true;
    };
    return fx::Compile(files.at(main), options);
}

TEST(FxInclude, IncludedFilesShareMacrosAndNameTheirFileInDiagnostics) {
    const std::map<std::string, std::string> files = {
        {"main.fx",
         "#include \"common.fxh\"\n"
         "float4 PS() : COLOR0 { return TINT * Scale; }\n"
         "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n"},
        {"common.fxh", "#define TINT float4(1, 0, 0, 1)\n#include <scale.fxh>\n"},
        {"scale.fxh", "float Scale = 2;\n"},
    };
    const fx::CompileResult ok = CompileFiles(files, "main.fx");
    ASSERT_TRUE(ok.ok) << ok.Messages();
    EXPECT_GE(ok.FindParameter("Scale"), 0);

    auto broken = files;
    broken["scale.fxh"] = "\n\nfloat Scale = missing;\n";
    const fx::CompileResult bad = CompileFiles(broken, "main.fx");
    EXPECT_EQ(bad.Messages(), "scale.fxh(3,15): error: undeclared identifier 'missing'\n");

    broken["common.fxh"] = "#if 1\n";  // a conditional must close in its own file
    EXPECT_EQ(Ids(CompileFiles(broken, "main.fx")).at(0), fx::Diag::UnbalancedConditional);
}

TEST(FxInclude, MissingSelfIncludingAndHandlerlessIncludesAreRefused) {
    const struct {
        std::map<std::string, std::string> files;
        fx::Diag id;
        int line, column;
    } rows[] = {
        {{{"m.fx", "\n  #include \"nowhere.fxh\"\n"}}, fx::Diag::IncludeNotFound, 2, 3},
        {{{"m.fx", "#include \"loop.fxh\"\n"}, {"loop.fxh", "#include \"loop.fxh\"\n"}},
         fx::Diag::IncludeTooDeep, 1, 1},
        {{{"m.fx", "#include nowhere\n"}}, fx::Diag::BadDirective, 1, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.files.at("m.fx"));
        const fx::CompileResult result = CompileFiles(r.files, "m.fx");
        ASSERT_FALSE(result.diagnostics.empty());
        EXPECT_EQ(result.diagnostics[0].id, r.id) << result.Messages();
        EXPECT_EQ(result.diagnostics[0].line, r.line);
        EXPECT_EQ(result.diagnostics[0].column, r.column);
    }
    // Without a handler (the engine's case) #include stays refused.
    EXPECT_EQ(Ids(fx::Compile("#include \"a.fxh\"\n")).at(0), fx::Diag::IncludeRefused);
}

// --- fxcheck -------------------------------------------------------------------------------------

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun Fxcheck(const std::string& args) {
    ToolRun r;
    FILE* pipe = popen((std::string(FX_FXCHECK) + " " + args + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

TEST(Fxcheck, IncludesResolveBesideTheIncluderThenInIncludeDirectories) {
    const std::string root = testing::TempDir() + "fxcheck_include";
    std::system(("mkdir -p " + root + "/fx/parts " + root + "/lib").c_str());
    std::ofstream(root + "/fx/main.fx")
        << "#include \"parts/a.fxh\"\n#include <lib.fxh>\n"
           "float4 PS() : COLOR0 { return A * B; }\n"
           "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n";
    std::ofstream(root + "/fx/parts/a.fxh") << "#include \"b.fxh\"\nfloat4 A;\n";  // beside a.fxh
    std::ofstream(root + "/fx/parts/b.fxh") << "static const float kB = 1;\n";
    std::ofstream(root + "/lib/lib.fxh") << "float B = kB;\n";

    const ToolRun missing = Fxcheck(root + "/fx/main.fx");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "(2,1): error: cannot open include file 'lib.fxh'\n");
    const ToolRun found = Fxcheck(root + "/fx/main.fx -I " + root + "/nothing -I" + root + "/lib");
    EXPECT_EQ(found.status, 0) << found.out;
    EXPECT_EQ(found.out, "technique T\n  pass P\n");
    EXPECT_EQ(Fxcheck(root + "/fx/main.fx -I").status, 2);
}

}  // namespace
