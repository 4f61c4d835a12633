// platform/gfx/fx/glsl_cast.cpp: casts that read a value component by component ("(int[4])f"
// of a float[6], "(float[4])v", "(S)v"): the source's scalars in order (array elements, struct
// members, matrix rows) fill the target's, each converted to its scalar type.
#include "platform/gfx/fx/glsl_emitter.h"

#include <cctype>
#include <cstddef>
#include <utility>
#include <vector>

namespace platform::gfx::fx::glsl {
namespace {

// The GLSL of each scalar of a value "text" of type "t", with its scalar type.
void Scalars(const std::string& text, const Type& t, std::vector<std::pair<std::string, Base>>& out) {
    if (t.isArray()) {
        for (int k = 0; k < t.arraySize; ++k) Scalars(text + "[" + std::to_string(k) + "]", t.element(), out);
    } else if (t.base == Base::Struct) {
        for (const VarDecl* m : t.st->members) Scalars(text + "." + UserName(m->name), m->type, out);
    } else if (t.rows > 0) {
        for (int r = 0; r < t.rows; ++r)
            for (int c = 0; c < t.cols; ++c)
                out.emplace_back(text + "[" + std::to_string(r) + "][" + std::to_string(c) + "]", t.base);  // held as floats
    } else if (t.cols > 1) {
        for (int c = 0; c < t.cols; ++c) out.emplace_back(text + "[" + std::to_string(c) + "]", t.base);
    } else {
        out.emplace_back(text, t.base);
    }
}

// A value of type "t" built from scalars[pos...].
std::string Build(const Type& t, const std::vector<std::pair<std::string, Base>>& scalars, std::size_t& pos) {
    if (t.isArray()) {
        std::string s = GlslType(t.element()) + ArraySuffix(t) + "(";
        for (int k = 0; k < t.arraySize; ++k) s += (k ? ", " : "") + Build(t.element(), scalars, pos);
        return s + ")";
    }
    if (t.base == Base::Struct) {
        std::string s = GlslType(t) + "(";
        for (std::size_t i = 0; i < t.st->members.size(); ++i)
            s += (i ? ", " : "") + Build(t.st->members[i]->type, scalars, pos);
        return s + ")";
    }
    // Matrices list their rows in order, which is the GLSL constructor's column order here;
    // their elements are floats, converted through the matrix's own scalar type (an int
    // matrix truncates, a bool matrix holds 0 and 1).
    const Base base = t.scalarBase();
    const std::string elementType = GlslType(Type::Scalar(base));
    std::string s = t.components() > 1 ? GlslType(t) + "(" : "";
    for (int k = 0; k < t.components(); ++k, ++pos) {
        const auto& [text, from] = scalars[pos];
        std::string value = from == base ? text : elementType + "(" + text + ")";
        if (t.rows > 0 && base != Base::Float) value = "float(" + value + ")";
        s += (k ? ", " : "") + value;
    }
    return t.components() > 1 ? s + ")" : s;
}

// "float[8]" as part of a helper's name: "floatx8".
std::string Spelled(const Type& t) {
    std::string s = GlslType(t.element());
    for (char ch : ArraySuffix(t))
        if (std::isdigit(static_cast<unsigned char>(ch))) s += ch;
        else if (ch == '[') s += 'x';
    return s;
}

}  // namespace

// The checker allows the cast only when "from" holds at least as many scalars as "to".
std::string Emitter::castComponents(const std::string& text, const Type& from, const Type& to) {
    std::vector<std::pair<std::string, Base>> scalars;
    Scalars("v", from, scalars);
    if (static_cast<long long>(scalars.size()) < ScalarCount(to)) return zero(to);
    std::size_t pos = 0;
    const std::string value = Build(to, scalars, pos);
    const std::string name = "fx_cast_" + Spelled(from) + "_to_" + Spelled(to);
    dynamicHelpers_.insert(GlslType(to.element()) + ArraySuffix(to) + " " + name + "(" +
                           GlslType(from.element()) + " v" + ArraySuffix(from) + ") { return " +
                           value + "; }\n");
    return name + "(" + text + ")";
}

// "(to)x = v" for a cast that reads x's scalars in order: v's scalars, converted, overwrite
// x's leading ones; the assignment's value is v.
std::string Emitter::assignComponents(const std::string& target, const Type& targetType, const std::string& value,
                                      const Type& valueType) {
    std::vector<std::pair<std::string, Base>> into, from;
    Scalars("x", targetType, into);
    Scalars("v", valueType, from);
    std::string body;
    for (std::size_t k = 0; k < from.size() && k < into.size(); ++k) {
        const std::string scalarType = GlslType(Type::Scalar(into[k].second));
        body += " " + into[k].first + " = " +
                (from[k].second == into[k].second ? from[k].first : scalarType + "(" + from[k].first + ")") + ";";
    }
    const std::string valueDecl = GlslType(valueType.element()) + ArraySuffix(valueType);
    const std::string name = "fx_write_" + Spelled(valueType) + "_into_" + Spelled(targetType);
    dynamicHelpers_.insert(valueDecl + " " + name + "(inout " + GlslType(targetType.element()) + " x" +
                           ArraySuffix(targetType) + ", " + GlslType(valueType.element()) + " v" +
                           ArraySuffix(valueType) + ") {" + body + " return v; }\n");
    return name + "(" + target + ", " + value + ")";
}

}  // namespace platform::gfx::fx::glsl
