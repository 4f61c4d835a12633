// platform/gfx/gl/depth_bias_gl.cpp: Direct3D's depth bias on GL's polygon offset, with the
// depth step of the driver measured once.
//
// Direct3D adds DEPTHBIAS (in depth-buffer units, 0 to 1) plus SLOPESCALEDEPTHBIAS times the
// triangle's largest depth slope to each fragment's depth. GL's polygon offset scales the slope
// the same way, but counts its constant in steps "r" that the driver chooses: 1 / 2^bits on
// some, twice that on others (Mesa's llvmpipe). The step is measured on a 1 x 1 depth buffer
// of the target's format, so a bias of 0.01 moves the depth by 0.01 on every driver.
#include "platform/gfx/gl/gl_api.h"

#include <cmath>
#include <cstring>

#include "platform/gfx/gl/gl_internal.h"

namespace platform::gfx::gl {
namespace {

const char* const kProbeVertex = GFX_GL_SHADER_HEADER R"(
void main() {
    gl_Position = vec4(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0, 0.0, 1.0);
}
)";

const char* const kProbeFragment = GFX_GL_SHADER_HEADER R"(
out vec4 colour;
void main() { colour = vec4(1.0); }
)";

// The depth a full-pixel triangle at window depth 0.5 leaves with polygon offset "units".
float ProbeDepth(float units) {
    const float one = 1.0f;
    glClearBufferfv(GL_DEPTH, 0, &one);
    glPolygonOffset(0.0f, units);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    float depth = 0;
    glReadPixels(0, 0, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return depth;
}

}  // namespace

double MeasureDepthOffsetStep(GLuint vertexArray, int depthBits) {
    const double nominal = 1.0 / static_cast<double>((1u << depthBits) - 1u);
    if constexpr (kGlEs) return nominal;  // depth buffers cannot be read back there
    std::vector<char> log;
    const GLuint program = BuildProgram(kProbeVertex, kProbeFragment, &log);
    if (!program) return nominal;
    GLint framebuffer = 0, readFramebuffer = 0, vao = 0, current = 0, viewport[4] = {};
    GLboolean depthMask = GL_TRUE;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vao);
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);

    GLuint fbo = 0, depth = 0;
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    const bool stencil = depthBits == 24;
    glRenderbufferStorage(GL_RENDERBUFFER, stencil ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT16, 1, 1);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, depth);
    const GLenum none = GL_NONE;
    glDrawBuffers(1, &none);
    glReadBuffer(GL_NONE);
    double step = nominal;
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
        glViewport(0, 0, 1, 1);
        DepthRange(0.0f, 1.0f);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_STENCIL_TEST);
        glDisable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_ALWAYS);
        glDepthMask(GL_TRUE);
        SetFillMode(D3DFILL_SOLID);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glUseProgram(program);
        glBindVertexArray(vertexArray);
        constexpr float kUnits = 256.0f;
        const double measured = (ProbeDepth(kUnits) - ProbeDepth(0.0f)) / kUnits;
        // Anything far from the nominal step is a failed measurement, not a driver's choice.
        if (std::isfinite(measured) && measured > nominal / 4 && measured < nominal * 4) step = measured;
    }
    glDeleteFramebuffers(1, &fbo);
    glDeleteRenderbuffers(1, &depth);
    glDeleteProgram(program);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(framebuffer));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer));
    glBindVertexArray(static_cast<GLuint>(vao));
    glUseProgram(static_cast<GLuint>(current));
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glDepthMask(depthMask);
    glPolygonOffset(0.0f, 0.0f);
    glDisable(GL_POLYGON_OFFSET_FILL);
    return step;
}

void ApplyDepthBias(DWORD biasBits, DWORD slopeBits, double step) {
    float bias = 0, slope = 0;
    std::memcpy(&bias, &biasBits, sizeof bias);
    std::memcpy(&slope, &slopeBits, sizeof slope);
    if (!std::isfinite(bias)) bias = 0;
    if (!std::isfinite(slope)) slope = 0;
    const bool on = bias != 0 || slope != 0;
    // As in Direct3D, wireframe and point-mode triangles are biased, lines and points are not.
    const GLenum modes[] = {
        GL_POLYGON_OFFSET_FILL,
#if defined(GL_POLYGON_OFFSET_LINE)  // OpenGL ES fills every triangle
        GL_POLYGON_OFFSET_LINE, GL_POLYGON_OFFSET_POINT,
#endif
    };
    for (const GLenum m : modes) on ? glEnable(m) : glDisable(m);
    if (on) glPolygonOffset(slope, static_cast<float>(static_cast<double>(bias) / step));
}

}  // namespace platform::gfx::gl
