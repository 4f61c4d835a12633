// platform/gfx/fx/fold.cpp: parameter declarations of generated GLSL rewritten as constants.
#include "platform/gfx/fx/fold.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace platform::gfx::fx {
namespace {

enum class Component { Float, Int, Bool, Other };

// A GLSL type as the emitter spells it: its component kind and components per element.
struct GlslShape {
    Component component = Component::Other;
    int components = 0;
};

GlslShape ShapeOf(std::string_view type) {
    auto digit = [](char c) { return c >= '2' && c <= '4' ? c - '0' : 0; };
    if (type == "float") return {Component::Float, 1};
    if (type == "int") return {Component::Int, 1};
    if (type == "bool") return {Component::Bool, 1};
    if (type.size() == 4 && type.substr(0, 3) == "vec") return {Component::Float, digit(type[3])};
    if (type.size() == 5 && type.substr(0, 4) == "ivec") return {Component::Int, digit(type[4])};
    if (type.size() == 5 && type.substr(0, 4) == "bvec") return {Component::Bool, digit(type[4])};
    if (type.size() == 4 && type.substr(0, 3) == "mat") {
        const int n = digit(type[3]);
        return {Component::Float, n * n};
    }
    if (type.size() == 6 && type.substr(0, 3) == "mat" && type[4] == 'x')
        return {Component::Float, digit(type[3]) * digit(type[5])};
    return {};
}

bool Holds(Component c, ParamType t) {
    return (c == Component::Float && t == ParamType::Float) ||
           (c == Component::Int && t == ParamType::Int) || (c == Component::Bool && t == ParamType::Bool);
}

// One component as a GLSL literal; false for a float that has none (infinite, NaN).
bool Literal(Component c, const std::uint8_t* bytes, std::string* out) {
    char buf[40];
    if (c == Component::Float) {
        float f;
        std::memcpy(&f, bytes, 4);
        if (!std::isfinite(f)) return false;
        // Nine significant digits give the float back exactly.
        std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
        *out += buf;
        if (std::strpbrk(buf, ".e") == nullptr) *out += ".0";
        return true;
    }
    std::int32_t i;
    std::memcpy(&i, bytes, 4);
    if (c == Component::Bool) {
        *out += i != 0 ? "true" : "false";
    } else if (i == INT_MIN) {
        *out += "(-2147483647 - 1)";  // 2147483648 is no int literal
    } else {
        std::snprintf(buf, sizeof buf, "%d", static_cast<int>(i));
        *out += buf;
    }
    return true;
}

// The initialiser of a constant of type "type" with "elements" elements (0: no array), or
// false when some component has no literal.
bool Initialiser(std::string_view type, GlslShape shape, int elements, const std::uint8_t* bytes,
                 std::string* out) {
    const int count = elements > 0 ? elements : 1;
    if (elements > 0) *out += std::string(type) + "[" + std::to_string(elements) + "](";
    for (int e = 0; e < count; ++e) {
        if (e > 0) *out += ", ";
        if (shape.components > 1) *out += std::string(type) + "(";
        for (int k = 0; k < shape.components; ++k) {
            if (k > 0) *out += ", ";
            if (!Literal(shape.component, bytes + 4 * (e * shape.components + k), out)) return false;
        }
        if (shape.components > 1) *out += ")";
    }
    if (elements > 0) *out += ")";
    return true;
}

// The constant declaration standing for the declaration line "line" ("uniform TYPE NAME;" or
// "uniform TYPE NAME[N];"), or an empty string when "line" declares none of "values".
std::string Rewrite(std::string_view line, const std::vector<ParameterInfo>& parameters,
                    const std::vector<FoldedValue>& values, int* parameter) {
    constexpr std::string_view kUniform = "uniform ";
    if (line.substr(0, kUniform.size()) != kUniform || line.empty() || line.back() != ';') return {};
    std::string_view rest = line.substr(kUniform.size(), line.size() - kUniform.size() - 1);
    const std::size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) return {};
    const std::string_view type = rest.substr(0, blank);
    std::string_view name = rest.substr(blank + 1);
    int elements = 0;
    if (const std::size_t bracket = name.find('['); bracket != std::string_view::npos) {
        if (name.back() != ']') return {};
        for (char c : name.substr(bracket + 1, name.size() - bracket - 2)) {
            if (c < '0' || c > '9' || elements > 65536) return {};
            elements = elements * 10 + (c - '0');
        }
        name = name.substr(0, bracket);
    }
    for (const FoldedValue& v : values) {
        if (v.parameter < 0 || static_cast<std::size_t>(v.parameter) >= parameters.size()) continue;
        const ParameterInfo& p = parameters[static_cast<std::size_t>(v.parameter)];
        if (p.glslName != name) continue;
        const GlslShape shape = ShapeOf(type);
        const std::size_t needed = 4u * static_cast<std::size_t>(shape.components) *
                                   static_cast<std::size_t>(elements > 0 ? elements : 1);
        if (shape.components == 0 || !Holds(shape.component, p.type) || !v.bytes || v.sizeBytes < needed)
            return {};
        std::string out = "const " + std::string(type) + " " + std::string(name) +
                          (elements > 0 ? "[" + std::to_string(elements) + "]" : "") + " = ";
        if (!Initialiser(type, shape, elements, v.bytes, &out)) return {};
        *parameter = v.parameter;
        return out + ";";
    }
    return {};
}

}  // namespace

std::string FoldParameters(std::string_view glsl, const std::vector<ParameterInfo>& parameters,
                           const std::vector<FoldedValue>& values, std::vector<int>* folded) {
    std::string out;
    out.reserve(glsl.size() + 64 * values.size());
    std::size_t at = 0;
    while (at < glsl.size()) {
        std::size_t end = glsl.find('\n', at);
        if (end == std::string_view::npos) end = glsl.size();
        const std::string_view line = glsl.substr(at, end - at);
        int parameter = -1;
        const std::string constant = Rewrite(line, parameters, values, &parameter);
        if (constant.empty()) {
            out += line;
        } else {
            out += constant;
            if (folded) folded->push_back(parameter);
        }
        if (end < glsl.size()) out += '\n';
        at = end + 1;
    }
    return out;
}

}  // namespace platform::gfx::fx
