// tools/fxcheck/fxcheck.cpp: compiles an effect file, prints its diagnostics and its techniques
// and passes, and optionally writes each pass's GLSL.
//
//   fxcheck FILE [-I DIR]... [-D NAME[=VALUE]]... [--glsl DIR | --glsl-es DIR]
//   fxcheck --states      prints the effect-state table (docs/effect-states.md)
//
// Diagnostics go to stderr as "(line,column): error: message" lines ("PATH(line,column): ..."
// inside included files); stdout lists "technique NAME" lines each followed by "  pass NAME"
// lines. Exit status: 0 when the effect compiles (warnings allowed), 1 on compile errors, 2 on
// bad usage or unreadable/unwritable files. With --glsl DIR, each pass's shaders go to
// DIR/TECHNIQUE.PASS.vert and .frag (GLSL 3.30 core; --glsl-es writes GLSL ES 3.00, what the
// browser build compiles, with a warning for passes ES cannot draw as asked). #include "name" is looked up beside the file that
// includes it, then in each -I directory in order; #include <name> in the -I directories, then
// beside the file that includes it.
// As on the effects' own platform, '\\' in an include name separates directories and a name
// that does not match a file exactly matches one that differs only in letter case. -D defines
// a macro before the file's first line (NAME alone is 1).
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <system_error>
#include <sys/stat.h>
#include <vector>

#include "platform/gfx/fx/fx.h"

namespace fx = platform::gfx::fx;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: fxcheck FILE [-I DIR]... [-D NAME[=VALUE]]... [--glsl DIR | --glsl-es DIR]\n");
    return 2;
}

bool ReadFile(const std::string& path, std::string& text) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return static_cast<bool>(in) || in.eof();
}

// The directory part of "path" with its trailing '/', or "" for a bare file name.
std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// "path" with each component that does not exist replaced by a directory entry that differs
// from it only in letter case (the first in directory order); "" when a component has none.
std::string MatchNoCase(const std::string& path) {
    std::error_code error;
    if (std::filesystem::exists(path, error)) return path;
    std::string done = path.empty() || path[0] != '/' ? "" : "/";
    std::size_t start = done.size();
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == "." || part == "..") {
            if (!part.empty()) done += part + "/";
            continue;
        }
        const std::string exact = done + part;
        std::string chosen;
        if (std::filesystem::exists(exact, error)) {
            chosen = exact;
        } else {
            std::filesystem::directory_iterator it(done.empty() ? "." : done, error), last;
            for (; !error && it != last; it.increment(error)) {
                const std::string name = it->path().filename().string();
                if (SameNoCase(name, part)) {
                    chosen = done + name;
                    break;
                }
            }
            if (chosen.empty()) return "";
        }
        done = chosen + (end < path.size() ? "/" : "");
    }
    return done;
}

// Finds an included file: a quoted name beside its includer, then in each directory of "dirs";
// a bracketed name in "dirs", then beside its includer; absolute names are taken as they are.
// Each candidate is tried as written, then with its letter case matched to what is on disk.
bool FindInclude(const std::vector<std::string>& dirs, const fx::IncludeRequest& request,
                 fx::IncludedFile& found) {
    std::string name = request.name;
    for (char& c : name)
        if (c == '\\') c = '/';
    std::vector<std::string> candidates;
    if (!name.empty() && name[0] == '/') {
        candidates.push_back(name);
    } else {
        if (!request.angled) candidates.push_back(DirectoryOf(request.includer) + name);
        for (const std::string& d : dirs)
            candidates.push_back(d + (d.empty() || d.back() == '/' ? "" : "/") + name);
        // The hosts' default include handlers open a bracketed name beside its includer too
        // ("#include <..\Helpers\Gamma.fxh>"), so that comes after the -I directories.
        if (request.angled) candidates.push_back(DirectoryOf(request.includer) + name);
    }
    for (int exact = 1; exact >= 0; --exact) {
        for (const std::string& candidate : candidates) {
            const std::string path = exact ? candidate : MatchNoCase(candidate);
            if (!path.empty() && ReadFile(path, found.text)) {
                found.path = path;
                return true;
            }
        }
    }
    return false;
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

// The effect-state table as the Markdown of docs/effect-states.md.
void PrintStates() {
    std::printf("# Effect states\n\n"
                "Every state a pass or a `sampler_state` block may set, printed by `fxcheck --states`\n"
                "from `platform/gfx/states.h`. Names match without regard to case; value names may\n"
                "carry their Direct3D prefix (`D3DBLEND_ONE`), TRUE and FALSE are 1 and 0, and any\n"
                "value may be an expression of numbers, names, parameters and calls of functions that\n"
                "return one (computed when the pass begins). \"Warned\" states are stored and\n"
                "reported by the compiler, naming what is lost, whenever a pass sets a value other\n"
                "than the one that loses nothing. \"Fixed-function\" states act only in a pass without\n"
                "a shader of their stage (as in Direct3D); there the compiler refuses a setting the\n"
                "generated stage cannot compute, naming the state.\n\n"
                "| group | state | index | values | what happens |\n|---|---|---|---|---|\n");
    int applied = 0, stored = 0, emulated = 0, warned = 0;
    for (const fx::StateDescription& d : fx::DescribeStates()) {
        const std::string index = d.highestIndex < 0 ? "" : "0-" + std::to_string(d.highestIndex);
        std::printf("| %s | %s | %s | %s | %s |\n", d.group.c_str(), d.name.c_str(), index.c_str(),
                    d.values.c_str(), d.fate.c_str());
        if (d.fate.rfind("applied", 0) == 0) ++applied;
        else if (d.fate.rfind("stored", 0) == 0) ++stored;
        else if (d.fate.rfind("fixed", 0) == 0) ++emulated;
        else ++warned;
    }
    std::printf("\n%d rows: %d applied in GL, %d stored, %d fixed-function, %d warned.\n", applied + stored + emulated + warned,
                applied, stored, emulated, warned);
}

}  // namespace

int main(int argc, char** argv) {
    const char* file = nullptr;
    const char* glslDir = nullptr;
    fx::GlslTarget target = fx::GlslTarget::Core330;
    std::vector<std::string> includeDirs;
    std::vector<std::pair<std::string, std::string>> defines;
    if (argc == 2 && std::strcmp(argv[1], "--states") == 0) {
        PrintStates();
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        const bool es = std::strcmp(argv[i], "--glsl-es") == 0;
        if (es || std::strcmp(argv[i], "--glsl") == 0) {
            if (i + 1 >= argc || glslDir) return Usage();
            glslDir = argv[++i];
            if (es) target = fx::GlslTarget::Es300;
        } else if (std::strcmp(argv[i], "-I") == 0) {
            if (i + 1 >= argc) return Usage();
            includeDirs.push_back(argv[++i]);
        } else if (std::strncmp(argv[i], "-I", 2) == 0) {
            includeDirs.push_back(argv[i] + 2);
        } else if (std::strncmp(argv[i], "-D", 2) == 0 || std::strncmp(argv[i], "/D", 2) == 0) {
            std::string def = argv[i] + 2;
            if (def.empty()) {
                if (i + 1 >= argc) return Usage();
                def = argv[++i];
            }
            const std::size_t eq = def.find('=');
            std::string name = def.substr(0, eq);
            bool valid = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
            for (char c : name) valid = valid && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
            if (!valid) {
                std::fprintf(stderr, "fxcheck: -D needs NAME or NAME=VALUE, got '%s'\n", def.c_str());
                return 2;
            }
            defines.emplace_back(name, eq == std::string::npos ? "1" : def.substr(eq + 1));
        } else if (!file && argv[i][0] != '-') {
            file = argv[i];
        } else {
            return Usage();
        }
    }
    if (!file) return Usage();
    std::string text;
    if (!ReadFile(file, text)) {
        std::fprintf(stderr, "fxcheck: cannot read %s: %s\n", file,
                     errno ? std::strerror(errno) : "not a regular file");
        return 2;
    }
    fx::CompileOptions options;
    options.sourceName = file;
    options.defines = defines;
    options.glsl = target;
    options.include = [&includeDirs](const fx::IncludeRequest& r, fx::IncludedFile& f) {
        return FindInclude(includeDirs, r, f);
    };
    const fx::CompileResult result = fx::Compile(text, options);
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
