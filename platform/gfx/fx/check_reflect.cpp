// platform/gfx/fx/check_reflect.cpp: reflection: the parameter table (types, sizes, initial
// values, annotations, sampler states) the effect object reads.
#include "platform/gfx/fx/checker.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace platform::gfx::fx {

// The reflected type of a texture or sampler parameter.
ParamType Checker::ObjectType(const Type& t) {
    if (t.base == Base::VertexShader) return ParamType::VertexShader;
    if (t.base == Base::PixelShader) return ParamType::PixelShader;
    if (t.base == Base::Texture) {
        switch (t.dim) {
            case Dim::D1: return ParamType::Texture1D;
            case Dim::D2: return ParamType::Texture2D;
            case Dim::D3: return ParamType::Texture3D;
            case Dim::Cube: return ParamType::TextureCube;
            default: return ParamType::Texture;
        }
    }
    switch (t.dim) {
        case Dim::None: return ParamType::Sampler;
        case Dim::D1: return ParamType::Sampler1D;
        case Dim::D3: return ParamType::Sampler3D;
        case Dim::Cube: return ParamType::SamplerCube;
        default: return ParamType::Sampler2D;
    }
}

// An annotation as the reflection shows it: a string's text, or the constant numbers of a
// value or brace list.
AnnotationInfo Checker::annotationInfo(const AnnotationDecl& a) {
    AnnotationInfo info;
    info.name = a.name;
    info.type = a.type;
    if (!a.value) return info;
    if (a.value->kind == ExprKind::StringLit) {
        std::string_view s = a.value->text;
        if (s.size() >= 2) s = s.substr(1, s.size() - 2);
        info.value = std::string(s);
        return info;
    }
    std::vector<Expr*> ls;
    if (a.value->kind == ExprKind::Brace) {
        std::vector<Expr*> stack = {a.value};
        std::function<void(Expr*)> walk = [&](Expr* e) {
            if (e->kind == ExprKind::Brace) {
                for (Expr* c : e->args) walk(c);
            } else {
                ls.push_back(e);
            }
        };
        walk(a.value);
    } else {
        ls.push_back(a.value);
    }
    for (Expr* l : ls) {
        std::vector<double> v;
        evalDepth_ = 0;
        if (IsPoison(l->type) || !evalConst(l, v)) continue;
        for (double d : v) {
            info.numbers.push_back(static_cast<float>(d));
            char buf[32];
            std::snprintf(buf, sizeof buf, "%g", d);
            if (!info.value.empty()) info.value += ' ';
            info.value += buf;
        }
    }
    return info;
}

// The class, component type and dimensions of a numeric parameter of type "t", as the
// native reflection gives them: float1xN and floatNx1 (held as vectors) are matrices of one
// row or column, float1 a vector of one component, float1x1 a 1 x 1 matrix.
static void NumericShape(const Type& t, ParameterInfo& p) {
    p.paramClass = t.isMatrixShaped()                       ? ParamClass::MatrixRows
                   : t.isScalar() && t.shape != Shape::One ? ParamClass::Scalar
                                                            : ParamClass::Vector;
    p.type = t.base == Base::Bool    ? ParamType::Bool
             : t.base == Base::Float ? ParamType::Float
                                     : ParamType::Int;
    p.rows = t.isMatrixShaped() ? t.hlslRows() : 1;
    p.columns = t.isMatrixShaped() ? t.hlslCols() : t.cols;
}

// The numeric fields of a value of type "t" named "name" (GLSL: "glsl"), depth first in
// member order with their byte offsets from "offset"; each gets "parent". Returns the bytes
// they take together.
int Checker::reflectMembers(const Type& t, const std::string& name, const std::string& glsl,
                            int offset, int parent, std::vector<float>& init, std::size_t& used) {
    const int count = std::max(1, t.arraySize);
    int bytes = 0;
    for (int k = 0; k < count; ++k) {
        const std::string at = t.isArray() ? "[" + std::to_string(k) + "]" : "";
        const Type e = t.element();
        if (e.base == Base::Struct) {
            for (const VarDecl* m : e.st->members)
                bytes += reflectMembers(m->type, name + at + "." + std::string(m->name),
                                        glsl + at + "." + GlslName(m->name), offset + bytes,
                                        parent, init, used);
            continue;
        }
        ParameterInfo p;
        p.name = name + at;
        p.glslName = glsl + at;
        p.typeName = TypeName(e);
        NumericShape(e, p);
        p.sizeBytes = p.rows * p.columns * 4;
        p.parent = parent;
        p.offsetBytes = offset + bytes;
        for (int c = 0; c < e.components() && used < init.size(); ++c)
            p.initialValue.push_back(init[used++]);
        bytes += p.sizeBytes;
        out_.parameters.push_back(std::move(p));
        out_.parameterDecls.push_back(nullptr);
    }
    return bytes;
}

// What every parameter reflects of its declaration: name, semantic, type name, array length,
// 'shared' and annotations.
ParameterInfo Checker::declaredParameter(const VarDecl* g) {
    ParameterInfo p;
    p.name = std::string(g->name);
    p.semantic = std::string(g->semantic);
    p.typeName = TypeName(g->type.element());
    p.elements = g->type.arraySize;
    p.isShared = (g->storage & kStorageShared) != 0;
    for (const AnnotationDecl& a : g->annotations) p.annotations.push_back(annotationInfo(a));
    return p;
}

// A struct-typed parameter: the struct itself (class Struct, its bytes the members' bytes one
// after another), then each numeric member as a parameter named "s.member" / "s[1].member".
void Checker::reflectStruct(VarDecl* g) {
    ParameterInfo p = declaredParameter(g);
    p.paramClass = ParamClass::Struct;
    p.type = ParamType::Void;
    std::vector<float> init;
    if (g->init) {
        std::vector<double> v;
        evalDepth_ = 0;
        if (evalConst(g->init, v))
            for (double d : v) init.push_back(static_cast<float>(d));
    }
    const int index = static_cast<int>(out_.parameters.size());
    g->reflectIndex = index;
    out_.parameters.push_back(std::move(p));
    out_.parameterDecls.push_back(g);
    std::size_t used = 0;
    const int bytes = reflectMembers(g->type, std::string(g->name), GlslName(g->name),
                                     0, index, init, used);
    out_.parameters[static_cast<std::size_t>(index)].sizeBytes = bytes;
}

// One ParameterInfo per uniform global, in declaration order: class, type, sizes, initial
// value, annotations; then the sampler states, which may name texture parameters.
void Checker::buildReflection() {
    for (VarDecl* g : m_.globals) {
        if (g->storage & kStorageStatic) continue;
        if (globals_[g->name] != g) continue;  // a redefinition, already reported
        if (g->type.base == Base::Void) continue;
        if (g->type.base == Base::Struct) {
            reflectStruct(g);
            continue;
        }
        ParameterInfo p = declaredParameter(g);
        const Type t = g->type.element();
        if (t.isNumeric()) {
            p.glslName = GlslName(p.name);
            NumericShape(t, p);
            p.rowMajor = t.isMatrixShaped() && (g->storage & kStorageRowMajor);
            p.sizeBytes = p.rows * p.columns * 4 * std::max(1, p.elements);
            if (g->init) {
                std::vector<double> v;
                evalDepth_ = 0;
                if (evalConst(g->init, v))
                    for (double d : v) p.initialValue.push_back(static_cast<float>(d));
            }
        } else if (t.base == Base::String) {
            p.paramClass = ParamClass::Object;
            p.type = ParamType::String;
            p.rows = p.columns = 1;
        } else {
            p.paramClass = ParamClass::Object;
            p.type = ObjectType(t);
            p.rows = p.columns = 1;
            if (t.base == Base::Sampler) p.glslName = GlslName(p.name);
        }
        g->reflectIndex = static_cast<int>(out_.parameters.size());
        const bool samplerArray = t.base == Base::Sampler && g->type.isArray();
        const std::string glslName = p.glslName, name = p.name;
        out_.parameters.push_back(std::move(p));
        out_.parameterDecls.push_back(g);
        // Each element of a sampler array is a sampler of its own (its texture, its states and
        // its texture unit), "s[1]" below the array.
        for (int e = 0; samplerArray && e < g->type.arraySize && e < 16; ++e) {
            ParameterInfo element;
            element.name = name + "[" + std::to_string(e) + "]";
            element.typeName = out_.parameters[static_cast<std::size_t>(g->reflectIndex)].typeName;
            element.paramClass = ParamClass::Object;
            element.type = out_.parameters[static_cast<std::size_t>(g->reflectIndex)].type;
            element.glslName = glslName + "[" + std::to_string(e) + "]";
            element.parent = g->reflectIndex;
            out_.parameters.push_back(std::move(element));
            out_.parameterDecls.push_back(nullptr);
            if (static_cast<std::size_t>(e) < g->elementSamplerStates.size())
                checkSamplerStates(g->elementSamplerStates[static_cast<std::size_t>(e)], out_.parameters.back());
        }
    }
    for (std::size_t i = 0; i < out_.parameterDecls.size(); ++i) {
        VarDecl* g = const_cast<VarDecl*>(out_.parameterDecls[i]);
        if (g && g->type.base == Base::Sampler) checkSamplerStates(g->samplerStates, out_.parameters[i]);
    }
}

}  // namespace platform::gfx::fx
