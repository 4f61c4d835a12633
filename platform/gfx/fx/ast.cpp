// platform/gfx/fx/ast.cpp: built-in type names and type spelling.
#include "platform/gfx/fx/ast.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace platform::gfx::fx {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

Type MakeNumeric(Base base, int rows, int cols) {
    Type t;
    if (rows <= 1 && cols <= 1) {
        t = Type::Scalar(base);
    } else if (rows <= 1) {
        t = Type::Vector(base, cols);
    } else if (cols <= 1) {
        t = Type::Vector(base, rows);
    } else {
        Type m = Type::Matrix(rows, cols);
        m.elements = base == Base::Bool || base == Base::Int || base == Base::Uint ? base : Base::Float;
        return m;
    }
    t.shape = rows == 1 ? Shape::Row : cols == 1 && rows > 1 ? Shape::Column
              : cols == 1 ? Shape::One : Shape::Plain;
    return t;
}

bool BuiltinTypeNamed(std::string_view name, Type& out) {
    struct Obj {
        const char* name;
        Base base;
        Dim dim;
    };
    static constexpr Obj kObjects[] = {
        {"texture", Base::Texture, Dim::None},     {"Texture", Base::Texture, Dim::None},
        {"texture1D", Base::Texture, Dim::D1},     {"Texture1D", Base::Texture, Dim::D1},
        {"texture2D", Base::Texture, Dim::D2},     {"Texture2D", Base::Texture, Dim::D2},
        {"texture3D", Base::Texture, Dim::D3},     {"Texture3D", Base::Texture, Dim::D3},
        {"textureCUBE", Base::Texture, Dim::Cube}, {"TextureCube", Base::Texture, Dim::Cube},
        {"sampler", Base::Sampler, Dim::None},       {"sampler1D", Base::Sampler, Dim::D1},
        {"sampler2D", Base::Sampler, Dim::D2},     {"sampler3D", Base::Sampler, Dim::D3},
        {"samplerCUBE", Base::Sampler, Dim::Cube}, {"string", Base::String, Dim::None},
        {"void", Base::Void, Dim::None},
    };
    for (const Obj& o : kObjects) {
        if (name == o.name) {
            out = Type{o.base};
            out.dim = o.dim;
            if (o.base == Base::Void || o.base == Base::String) out.cols = 0;
            return true;
        }
    }
    struct Scalar {
        const char* name;
        Base base;
    };
    static constexpr Scalar kScalars[] = {
        {"bool", Base::Bool},   {"int", Base::Int},     {"uint", Base::Uint},
        {"dword", Base::Uint},  {"half", Base::Float},  {"float", Base::Float},
        {"double", Base::Float}, {"min16float", Base::Float}, {"min10float", Base::Float},
        {"min16int", Base::Int},
    };
    for (const Scalar& s : kScalars) {
        const std::string_view n(s.name);
        if (name.substr(0, n.size()) != n) continue;
        std::string_view rest = name.substr(n.size());
        auto digit = [](char c) { return c >= '1' && c <= '4'; };
        bool named = false;
        if (rest.empty()) {
            out = Type::Scalar(s.base);
            named = true;
        } else if (rest.size() == 1 && digit(rest[0])) {
            out = MakeNumeric(s.base, 0, rest[0] - '0');
            named = true;
        } else if (rest.size() == 3 && digit(rest[0]) && rest[1] == 'x' && digit(rest[2])) {
            out = MakeNumeric(s.base, rest[0] - '0', rest[2] - '0');
            named = true;
        }
        if (named) {
            out.precision = n == "double" ? Precision::Double : n == "half" ? Precision::Half : Precision::Float;
            return true;
        }
    }
    // The effect framework's object type names are matched in any case ("String", "TEXTURE",
    // "vertexshader"), as the old compiler did.
    static constexpr Obj kEffectObjects[] = {
        {"string", Base::String, Dim::None},
        {"texture", Base::Texture, Dim::None},
        {"vertexshader", Base::VertexShader, Dim::None},
        {"pixelshader", Base::PixelShader, Dim::None},
    };
    for (const Obj& o : kEffectObjects) {
        if (EqualsNoCase(name, o.name)) {
            out = Type{o.base};
            out.cols = 0;
            return true;
        }
    }
    // vector and matrix are spelt in any case too ("Vector", "Matrix"), as the reference's
    // keyword table marks them.
    if (EqualsNoCase(name, "vector")) {
        out = Type::Vector(Base::Float, 4);
        return true;
    }
    if (EqualsNoCase(name, "matrix")) {
        out = Type::Matrix(4, 4);
        return true;
    }
    return false;
}

double LiteralValue(ExprKind kind, std::string_view text) {
    if (kind == ExprKind::BoolLit) return text == "true" ? 1.0 : 0.0;
    if (kind == ExprKind::FloatLit) return FloatLiteralValue(text);
    return IntLiteralValue32(text);
}

std::string GlslName(std::string_view name) {
    std::string s = "h" + std::string(name);
    // GLSL reserves these spellings; a source name that would become one gets a suffix.
    static constexpr const char* kReserved[] = {"half", "highp", "hvec2", "hvec3", "hvec4"};
    for (const char* r : kReserved)
        if (s == r) s += '_';
    return s;
}

long long ScalarCount(const Type& t) {
    constexpr long long kCap = 1LL << 40;
    long long one = t.base == Base::Struct ? (t.st ? t.st->scalars : 0) : t.components();
    one = std::min(one, kCap);
    return std::min(one * std::max(1, t.arraySize), kCap);
}

bool HasSideEffects(const Expr* e) {
    if (e->kind == ExprKind::Assign || e->kind == ExprKind::Postfix || e->kind == ExprKind::Call)
        return true;
    if (e->kind == ExprKind::Unary && (e->op == Tok::PlusPlus || e->op == Tok::MinusMinus))
        return true;
    for (const Expr* a : e->args)
        if (HasSideEffects(a)) return true;
    return false;
}

std::string TypeName(const Type& t) {
    std::string s;
    switch (t.base) {
        case Base::Void: s = "void"; break;
        case Base::Bool: s = "bool"; break;
        case Base::Int: s = "int"; break;
        case Base::Uint: s = "uint"; break;
        case Base::Float: s = "float"; break;
        case Base::String: s = "string"; break;
        case Base::Struct: s = t.st ? std::string(t.st->name) : "struct"; break;
        case Base::Texture:
            s = t.dim == Dim::D1 ? "texture1D" : t.dim == Dim::D2 ? "texture2D"
                : t.dim == Dim::D3 ? "texture3D" : t.dim == Dim::Cube ? "textureCUBE" : "texture";
            break;
        case Base::Sampler:
            s = t.dim == Dim::D1 ? "sampler1D" : t.dim == Dim::D2 ? "sampler2D"
                : t.dim == Dim::D3 ? "sampler3D" : t.dim == Dim::Cube ? "samplerCUBE" : "sampler";
            break;
        case Base::VertexShader: s = "VertexShader"; break;
        case Base::PixelShader: s = "PixelShader"; break;
    }
    if (t.isNumeric()) {
        if (t.base == Base::Float && t.precision == Precision::Double) s = "double";
        if (t.base == Base::Float && t.precision == Precision::Half) s = "half";
        if (t.rows > 0 && t.elements != Base::Float)
            s = t.elements == Base::Bool ? "bool" : t.elements == Base::Int ? "int" : "uint";
        if (t.rows > 0 || t.shape == Shape::Row || t.shape == Shape::Column) {
            s += std::to_string(t.hlslRows()) + "x" + std::to_string(t.hlslCols());
        } else if (t.cols > 1 || t.shape == Shape::One) {
            s += std::to_string(t.cols);
        }
    }
    if (t.arraySize > 0) {
        // Each dimension: the first is the elements over those of one index.
        const int dims[3] = {t.outerSize(), t.inner[0] / std::max(1, t.inner[1]), t.inner[1]};
        for (int d : dims)
            if (d > 0) s += "[" + std::to_string(d) + "]";
    }
    return s;
}


const VarDecl::Register* VarDecl::registerFor(std::string_view profile) const {
    const Register* general = nullptr;
    const Register* own = nullptr;
    for (const Register& r : registers) {
        if (r.profile.empty()) general = &r;
        else if (profile == r.profile ||
                 (r.profile.size() == 2 && profile.substr(0, 2) == r.profile))
            own = &r;
    }
    return own ? own : general;
}

}  // namespace platform::gfx::fx
