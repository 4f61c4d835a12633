// platform/gfx/fx/diag.cpp: names, severities and texts of the compiler's diagnostics.
#include "platform/gfx/fx/diag.h"

#include <cstdio>

namespace platform::gfx::fx {
namespace {

struct Row {
    const char* name;
    Severity severity;
    const char* format;
};

constexpr Row kRows[] = {
#define FX_DIAG_ROW(id, severity, format) {#id, Severity::severity, format},
    FX_DIAGNOSTICS(FX_DIAG_ROW)
#undef FX_DIAG_ROW
};

// Substitutes the "%s" markers of "format" by "args" in order; a message never depends on
// printf's handling of user text (which may itself contain '%').
std::string Substitute(const char* format, const std::string* args, int count) {
    std::string out;
    int next = 0;
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            if (next < count) out += args[next];
            ++next;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

const char* DiagName(Diag id) { return kRows[static_cast<int>(id)].name; }

Severity DiagSeverity(Diag id) { return kRows[static_cast<int>(id)].severity; }

Diagnostic MakeDiagnostic(Diag id, int line, int column, const std::string& a,
                          const std::string& b, const std::string& c) {
    const std::string args[3] = {a, b, c};
    Diagnostic d;
    d.id = id;
    d.severity = DiagSeverity(id);
    d.line = line;
    d.column = column;
    d.message = Substitute(kRows[static_cast<int>(id)].format, args, 3);
    return d;
}

std::string FormatDiagnostics(const std::vector<Diagnostic>& diagnostics) {
    std::string out;
    for (const Diagnostic& d : diagnostics) {
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "(%d,%d): %s: ", d.line, d.column,
                      d.severity == Severity::Error ? "error" : "warning");
        out += d.file;
        out += prefix;
        out += d.message;
        out += '\n';
    }
    return out;
}

}  // namespace platform::gfx::fx
