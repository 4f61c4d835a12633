// tools/fxcheck/fxcheck.cpp: compiles an effect file, prints its diagnostics and its techniques
// and passes, and optionally writes each pass's GLSL.
//
//   fxcheck FILE [--glsl DIR]
//
// Diagnostics go to stderr as "(line,column): error: message" lines; stdout lists
// "technique NAME" lines each followed by "  pass NAME" lines. Exit status: 0 when the effect
// compiles (warnings allowed), 1 on compile errors, 2 on bad usage or unreadable/unwritable
// files. With --glsl DIR, each pass's shaders go to DIR/TECHNIQUE.PASS.vert and .frag.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "platform/gfx/fx/fx.h"

namespace fx = platform::gfx::fx;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: fxcheck FILE [--glsl DIR]\n");
    return 2;
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "fxcheck: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// A technique or pass name as a file-name part: unnamed ones get their index, and characters
// that could leave the directory are replaced.
std::string FilePart(const std::string& name, std::size_t index) {
    if (name.empty()) return std::to_string(index);
    std::string s = name;
    for (char& c : s)
        if (c == '/' || c == '\\') c = '_';
    if (s == "." || s == "..") s = "_" + s;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const char* file = nullptr;
    const char* glslDir = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--glsl") == 0) {
            if (i + 1 >= argc || glslDir) return Usage();
            glslDir = argv[++i];
        } else if (!file && argv[i][0] != '-') {
            file = argv[i];
        } else {
            return Usage();
        }
    }
    if (!file) return Usage();
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "fxcheck: cannot read %s: %s\n", file, std::strerror(errno));
        return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const fx::CompileResult result = fx::Compile(text.str());
    std::fputs(result.Messages().c_str(), stderr);
    if (!result.ok) return 1;
    if (glslDir) {
        std::error_code error;
        std::filesystem::create_directory(glslDir, error);
        if (error) {
            std::fprintf(stderr, "fxcheck: cannot create %s: %s\n", glslDir, error.message().c_str());
            return 2;
        }
    }
    for (std::size_t t = 0; t < result.techniques.size(); ++t) {
        const fx::TechniqueInfo& tech = result.techniques[t];
        std::printf("technique %s\n", tech.name.c_str());
        for (std::size_t p = 0; p < tech.passes.size(); ++p) {
            const fx::PassInfo& pass = tech.passes[p];
            std::printf("  pass %s\n", pass.name.c_str());
            if (!glslDir) continue;
            const std::string base = std::string(glslDir) + "/" + FilePart(tech.name, t) + "." +
                                     FilePart(pass.name, p);
            if (!WriteFile(base + ".vert", pass.vertexGlsl) ||
                !WriteFile(base + ".frag", pass.fragmentGlsl))
                return 2;
        }
    }
    return 0;
}
