// platform/gfx/states.h: every state an effect pass or sampler_state block may set, and the
// values they take, one row each. The device's enums (gfx.h), the effect compiler's state
// tables and the state list in docs/effect-states.md are all built from these rows, so each
// name, code and value is written once.
//
// No includes and no declarations: only the row lists, each a macro taking a row macro X.
#pragma once

// What happens to a state when a pass sets it (the "fate" column):
//   Gl      the device applies it to GL; the picture shows it
//   Kept    the device stores it (GetRenderState reads it back) and nothing it draws depends
//           on it here: tessellation, debug and multisample controls, fog and light
//           parameters whose switch is judged on its own row, and the like
//   Vertex  fixed-function vertex processing (transform, lighting, vertex fog, coordinate
//           generation, point size), computed by the generated vertex stage of a pass without
//           a vertex shader; a pass with one ignores it, as Direct3D does. A "lost" text names
//           what the generated stage cannot compute
//   Pixel   fixed-function pixel processing (texture-stage cascade, specular add, fog, point
//           sprites), computed by the generated pixel stage; a render state with a "lost"
//           text is warned beside a pixel shader, which would need it
//   Lost    GL 3.3 core or this device cannot draw it: stored, and a pass that sets it to
//           anything but "neutral" is warned with the "lost" text, naming what is lost
//
// X(effectName, ENUMNAME, code, valueKind, fate, neutral, lost)
//   effectName  how effect files spell the state (matched without regard to case)
//   ENUMNAME    the suffix of its D3DRS_ name
//   valueKind   which value list names its values (Bool, Int, Float, Colour: plain values)
//   neutral     the value with which nothing is lost (a float's bits for Float states)
#define GFX_RENDER_STATES(X)                                                                  \
    X(ZEnable, ZENABLE, 7, ZBuffer, Gl, 0, "")                                               \
    X(FillMode, FILLMODE, 8, Fill, Gl, 0, "")                                                \
    X(ShadeMode, SHADEMODE, 9, Shade, Pixel, 2, "")                                          \
    X(ZWriteEnable, ZWRITEENABLE, 14, Bool, Gl, 0, "")                                       \
    X(AlphaTestEnable, ALPHATESTENABLE, 15, Bool, Gl, 0, "")                                 \
    X(LastPixel, LASTPIXEL, 16, Bool, Kept, 0, "")                                           \
    X(SrcBlend, SRCBLEND, 19, Blend, Gl, 0, "")                                              \
    X(DestBlend, DESTBLEND, 20, Blend, Gl, 0, "")                                            \
    X(CullMode, CULLMODE, 22, Cull, Gl, 0, "")                                               \
    X(ZFunc, ZFUNC, 23, Cmp, Gl, 0, "")                                                      \
    X(AlphaRef, ALPHAREF, 24, Int, Gl, 0, "")                                                \
    X(AlphaFunc, ALPHAFUNC, 25, Cmp, Gl, 0, "")                                              \
    X(DitherEnable, DITHERENABLE, 26, Bool, Kept, 0, "")                                     \
    X(AlphaBlendEnable, ALPHABLENDENABLE, 27, Bool, Gl, 0, "")                               \
    X(FogEnable, FOGENABLE, 28, Bool, Pixel, 0, "fog beside a model 3 or assembly pixel shader") \
    X(SpecularEnable, SPECULARENABLE, 29, Bool, Vertex, 0, "")            \
    X(FogColor, FOGCOLOR, 34, Colour, Pixel, 0, "")                                           \
    X(FogTableMode, FOGTABLEMODE, 35, FogMode, Pixel, 0, "")                                  \
    X(FogStart, FOGSTART, 36, Float, Pixel, 0, "")                                            \
    X(FogEnd, FOGEND, 37, Float, Pixel, 0, "")                                                \
    X(FogDensity, FOGDENSITY, 38, Float, Pixel, 0, "")                                        \
    X(ZBias, ZBIAS, 47, Int, Lost, 0, "the Direct3D 8 depth bias (Direct3D 9 has DepthBias)") \
    X(RangeFogEnable, RANGEFOGENABLE, 48, Bool, Vertex, 0, "")                                 \
    X(StencilEnable, STENCILENABLE, 52, Bool, Gl, 0, "")                                     \
    X(StencilFail, STENCILFAIL, 53, StencilOp, Gl, 0, "")                                    \
    X(StencilZFail, STENCILZFAIL, 54, StencilOp, Gl, 0, "")                                  \
    X(StencilPass, STENCILPASS, 55, StencilOp, Gl, 0, "")                                    \
    X(StencilFunc, STENCILFUNC, 56, Cmp, Gl, 0, "")                                          \
    X(StencilRef, STENCILREF, 57, Int, Gl, 0, "")                                            \
    X(StencilMask, STENCILMASK, 58, Int, Gl, 0, "")                                          \
    X(StencilWriteMask, STENCILWRITEMASK, 59, Int, Gl, 0, "")                                \
    X(TextureFactor, TEXTUREFACTOR, 60, Colour, Kept, 0, "")                                 \
    X(Wrap0, WRAP0, 128, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")           \
    X(Wrap1, WRAP1, 129, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")           \
    X(Wrap2, WRAP2, 130, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")           \
    X(Wrap3, WRAP3, 131, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")           \
    X(Wrap4, WRAP4, 132, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")           \
    X(Wrap5, WRAP5, 133, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")           \
    X(Wrap6, WRAP6, 134, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")           \
    X(Wrap7, WRAP7, 135, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")           \
    X(Clipping, CLIPPING, 136, Bool, Kept, 0, "")                                            \
    X(Lighting, LIGHTING, 137, Bool, Vertex, 0, "")                           \
    X(Ambient, AMBIENT, 139, Colour, Vertex, 0, "")                                            \
    X(FogVertexMode, FOGVERTEXMODE, 140, FogMode, Vertex, 0, "")                               \
    X(ColorVertex, COLORVERTEX, 141, Bool, Vertex, 0, "")                                      \
    X(LocalViewer, LOCALVIEWER, 142, Bool, Vertex, 0, "")                                      \
    X(NormalizeNormals, NORMALIZENORMALS, 143, Bool, Vertex, 0, "")                            \
    X(DiffuseMaterialSource, DIFFUSEMATERIALSOURCE, 145, MaterialSource, Vertex, 0, "")        \
    X(SpecularMaterialSource, SPECULARMATERIALSOURCE, 146, MaterialSource, Vertex, 0, "")      \
    X(AmbientMaterialSource, AMBIENTMATERIALSOURCE, 147, MaterialSource, Vertex, 0, "")        \
    X(EmissiveMaterialSource, EMISSIVEMATERIALSOURCE, 148, MaterialSource, Vertex, 0, "")      \
    X(VertexBlend, VERTEXBLEND, 151, VertexBlend, Vertex, 0, "vertex blending")              \
    X(ClipPlaneEnable, CLIPPLANEENABLE, 152, ClipPlanes, Gl, 0, "")                          \
    X(PointSize, POINTSIZE, 154, Float, Vertex, 0x3F800000, "")        \
    X(PointSize_Min, POINTSIZE_MIN, 155, Float, Vertex, 0, "")                                 \
    X(PointSpriteEnable, POINTSPRITEENABLE, 156, Bool, Pixel, 0, "")                         \
    X(PointScaleEnable, POINTSCALEENABLE, 157, Bool, Vertex, 0, "")      \
    X(PointScale_A, POINTSCALE_A, 158, Float, Vertex, 0, "")                                   \
    X(PointScale_B, POINTSCALE_B, 159, Float, Vertex, 0, "")                                   \
    X(PointScale_C, POINTSCALE_C, 160, Float, Vertex, 0, "")                                   \
    X(MultiSampleAntialias, MULTISAMPLEANTIALIAS, 161, Bool, Kept, 0, "")                    \
    X(MultiSampleMask, MULTISAMPLEMASK, 162, Int, Kept, 0, "")                               \
    X(PatchEdgeStyle, PATCHEDGESTYLE, 163, PatchEdge, Kept, 0, "")                           \
    X(DebugMonitorToken, DEBUGMONITORTOKEN, 165, DebugMonitor, Kept, 0, "")                  \
    X(PointSize_Max, POINTSIZE_MAX, 166, Float, Vertex, 0, "")                                 \
    X(IndexedVertexBlendEnable, INDEXEDVERTEXBLENDENABLE, 167, Bool, Vertex, 0,              \
      "indexed vertex blending")                                                              \
    X(ColorWriteEnable, COLORWRITEENABLE, 168, ColorWrite, Gl, 0, "")                        \
    X(TweenFactor, TWEENFACTOR, 170, Float, Kept, 0, "")                                     \
    X(BlendOp, BLENDOP, 171, BlendOp, Gl, 0, "")                                             \
    X(PositionDegree, POSITIONDEGREE, 172, Degree, Kept, 0, "")                              \
    X(NormalDegree, NORMALDEGREE, 173, Degree, Kept, 0, "")                                  \
    X(ScissorTestEnable, SCISSORTESTENABLE, 174, Bool, Gl, 0, "")                            \
    X(SlopeScaleDepthBias, SLOPESCALEDEPTHBIAS, 175, Float, Gl, 0, "")                       \
    X(AntialiasedLineEnable, ANTIALIASEDLINEENABLE, 176, Bool, Gl, 0, "")                    \
    X(MinTessellationLevel, MINTESSELLATIONLEVEL, 178, Float, Kept, 0, "")                   \
    X(MaxTessellationLevel, MAXTESSELLATIONLEVEL, 179, Float, Kept, 0, "")                   \
    X(AdaptiveTess_X, ADAPTIVETESS_X, 180, Float, Kept, 0, "")                               \
    X(AdaptiveTess_Y, ADAPTIVETESS_Y, 181, Float, Kept, 0, "")                               \
    X(AdaptiveTess_Z, ADAPTIVETESS_Z, 182, Float, Kept, 0, "")                               \
    X(AdaptiveTess_W, ADAPTIVETESS_W, 183, Float, Kept, 0, "")                               \
    X(EnableAdaptiveTessellation, ENABLEADAPTIVETESSELLATION, 184, Bool, Kept, 0, "")        \
    X(TwoSidedStencilMode, TWOSIDEDSTENCILMODE, 185, Bool, Gl, 0, "")                        \
    X(CCW_StencilFail, CCW_STENCILFAIL, 186, StencilOp, Gl, 0, "")                           \
    X(CCW_StencilZFail, CCW_STENCILZFAIL, 187, StencilOp, Gl, 0, "")                         \
    X(CCW_StencilPass, CCW_STENCILPASS, 188, StencilOp, Gl, 0, "")                           \
    X(CCW_StencilFunc, CCW_STENCILFUNC, 189, Cmp, Gl, 0, "")                                 \
    X(ColorWriteEnable1, COLORWRITEENABLE1, 190, ColorWrite, Kept, 0, "")                    \
    X(ColorWriteEnable2, COLORWRITEENABLE2, 191, ColorWrite, Kept, 0, "")                    \
    X(ColorWriteEnable3, COLORWRITEENABLE3, 192, ColorWrite, Kept, 0, "")                    \
    X(BlendFactor, BLENDFACTOR, 193, Colour, Lost, 0xFFFFFFFF, "the constant blend factor")  \
    X(SRGBWriteEnable, SRGBWRITEENABLE, 194, Bool, Pixel, 0, "")                             \
    X(DepthBias, DEPTHBIAS, 195, Float, Gl, 0, "")                                           \
    X(Wrap8, WRAP8, 198, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")           \
    X(Wrap9, WRAP9, 199, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")           \
    X(Wrap10, WRAP10, 200, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")         \
    X(Wrap11, WRAP11, 201, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")         \
    X(Wrap12, WRAP12, 202, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")         \
    X(Wrap13, WRAP13, 203, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")         \
    X(Wrap14, WRAP14, 204, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")         \
    X(Wrap15, WRAP15, 205, Wrap, Lost, 0, "cylindrical texture-coordinate wrapping")         \
    X(SeparateAlphaBlendEnable, SEPARATEALPHABLENDENABLE, 206, Bool, Gl, 0, "")              \
    X(SrcBlendAlpha, SRCBLENDALPHA, 207, Blend, Gl, 0, "")                                   \
    X(DestBlendAlpha, DESTBLENDALPHA, 208, Blend, Gl, 0, "")                                 \
    X(BlendOpAlpha, BLENDOPALPHA, 209, BlendOp, Gl, 0, "")

// X(effectName, ENUMNAME, code, valueKind, fate, neutral, lost): the D3DSAMP_ states of a
// sampler, set in a sampler_state block or in a pass as "AddressU[n] = ..." for register n.
#define GFX_SAMPLER_STATES(X)                                                                 \
    X(AddressU, ADDRESSU, 1, Address, Gl, 0, "")                                             \
    X(AddressV, ADDRESSV, 2, Address, Gl, 0, "")                                             \
    X(AddressW, ADDRESSW, 3, Address, Gl, 0, "")                                             \
    X(BorderColor, BORDERCOLOR, 4, Colour, Gl, 0, "")                                        \
    X(MagFilter, MAGFILTER, 5, Filter, Gl, 0, "")                                            \
    X(MinFilter, MINFILTER, 6, Filter, Gl, 0, "")                                            \
    X(MipFilter, MIPFILTER, 7, Filter, Gl, 0, "")                                            \
    X(MipMapLodBias, MIPMAPLODBIAS, 8, Float, Gl, 0, "")                                     \
    X(MaxMipLevel, MAXMIPLEVEL, 9, Int, Gl, 0, "")                                           \
    X(MaxAnisotropy, MAXANISOTROPY, 10, Int, Kept, 0, "")                                    \
    X(SRGBTexture, SRGBTEXTURE, 11, Bool, Gl, 0, "")                                         \
    X(ElementIndex, ELEMENTINDEX, 12, Int, Kept, 0, "")                                      \
    X(DMapOffset, DMAPOFFSET, 13, Int, Kept, 0, "")

// X(effectName, code, valueKind, fate, neutral, lost): the D3DTSS_ texture-stage states,
// "ColorOp[n]" for stage n (0-7).
#define GFX_TEXTURE_STAGE_STATES(X)                                                           \
    X(ColorOp, 1, TextureOp, Pixel, 0, "")                                                   \
    X(ColorArg1, 2, TextureArg, Pixel, 0, "")                                                \
    X(ColorArg2, 3, TextureArg, Pixel, 0, "")                                                \
    X(AlphaOp, 4, TextureOp, Pixel, 0, "")                                                   \
    X(AlphaArg1, 5, TextureArg, Pixel, 0, "")                                                \
    X(AlphaArg2, 6, TextureArg, Pixel, 0, "")                                                \
    X(BumpEnvMat00, 7, Float, Pixel, 0, "")                                                  \
    X(BumpEnvMat01, 8, Float, Pixel, 0, "")                                                  \
    X(BumpEnvMat10, 9, Float, Pixel, 0, "")                                                  \
    X(BumpEnvMat11, 10, Float, Pixel, 0, "")                                                 \
    X(TexCoordIndex, 11, TexCoordIndex, Vertex, 0, "")                                       \
    X(BumpEnvLScale, 22, Float, Pixel, 0, "")                                                \
    X(BumpEnvLOffset, 23, Float, Pixel, 0, "")                                               \
    X(TextureTransformFlags, 24, TextureTransform, Vertex, 0, "")                            \
    X(ColorArg0, 26, TextureArg, Pixel, 0, "")                                               \
    X(AlphaArg0, 27, TextureArg, Pixel, 0, "")                                               \
    X(ResultArg, 28, TextureArg, Pixel, 0, "")                                               \
    X(Constant, 32, Colour, Pixel, 0, "")

// X(effectName, member, valueKind, fate): the members of light n (LightType[n] = POINT, ...)
// and of the material. Vertex lighting reads them; a pass without it does not.
#define GFX_LIGHT_STATES(X)                                                                   \
    X(LightType, Type, LightType, Vertex)                                                    \
    X(LightDiffuse, Diffuse, Vector, Vertex)                                                 \
    X(LightSpecular, Specular, Vector, Vertex)                                               \
    X(LightAmbient, Ambient, Vector, Vertex)                                                 \
    X(LightPosition, Position, Vector, Vertex)                                               \
    X(LightDirection, Direction, Vector, Vertex)                                             \
    X(LightRange, Range, Float, Vertex)                                                      \
    X(LightFalloff, Falloff, Float, Vertex)                                                  \
    X(LightAttenuation0, Attenuation0, Float, Vertex)                                        \
    X(LightAttenuation1, Attenuation1, Float, Vertex)                                        \
    X(LightAttenuation2, Attenuation2, Float, Vertex)                                        \
    X(LightTheta, Theta, Float, Vertex)                                                      \
    X(LightPhi, Phi, Float, Vertex)                                                          \
    X(LightEnable, Enable, Bool, Vertex)
#define GFX_MATERIAL_STATES(X)                                                                \
    X(MaterialDiffuse, Diffuse, Vector, Vertex)                                              \
    X(MaterialAmbient, Ambient, Vector, Vertex)                                              \
    X(MaterialSpecular, Specular, Vector, Vertex)                                            \
    X(MaterialEmissive, Emissive, Vector, Vertex)                                            \
    X(MaterialPower, Power, Float, Vertex)

// X(effectName, highestIndex): the user clip planes, "ClipPlane[n] = <p>" (a float4 a, b, c, d:
// a point x, y, z, w is kept where a x + b y + c z + d w >= 0), in world space for a pass
// without a vertex shader and in clip space beside one; ClipPlaneEnable's bit n turns plane n on.
#define GFX_CLIP_PLANE_STATES(X) X(ClipPlane, 5)

// X(effectName, code, highestIndex): the transform states (D3DTS_*), set from a matrix
// parameter; an index selects the world matrix or the texture stage.
#define GFX_TRANSFORM_STATES(X)                                                               \
    X(WorldTransform, 256, 0)                                                                \
    X(ViewTransform, 2, 0)                                                                   \
    X(ProjectionTransform, 3, 0)                                                             \
    X(TextureTransform, 16, 7)

// X(effectName, vertex, registerType, registers): the shader-constant states, which set
// constant registers from a parameter: "VertexShaderConstant4[8] = <m>" sets c8..c11.
// "registers" is how many registers one assignment covers (0: as many as the value has).
#define GFX_SHADER_CONSTANT_STATES(X)                                                         \
    X(VertexShaderConstant, 1, F, 0)                                                         \
    X(VertexShaderConstant1, 1, F, 1)                                                        \
    X(VertexShaderConstant2, 1, F, 2)                                                        \
    X(VertexShaderConstant3, 1, F, 3)                                                        \
    X(VertexShaderConstant4, 1, F, 4)                                                        \
    X(VertexShaderConstantF, 1, F, 0)                                                        \
    X(VertexShaderConstantI, 1, I, 0)                                                        \
    X(VertexShaderConstantB, 1, B, 0)                                                        \
    X(PixelShaderConstant, 0, F, 0)                                                          \
    X(PixelShaderConstant1, 0, F, 1)                                                         \
    X(PixelShaderConstant2, 0, F, 2)                                                         \
    X(PixelShaderConstant3, 0, F, 3)                                                         \
    X(PixelShaderConstant4, 0, F, 4)                                                         \
    X(PixelShaderConstantF, 0, F, 0)                                                         \
    X(PixelShaderConstantI, 0, I, 0)                                                         \
    X(PixelShaderConstantB, 0, B, 0)

// X(effectName, group, valueKind): the remaining pass states, each handled by its own code:
// the shaders, the texture of stage n, the sampler of register n and the vertex format.
#define GFX_OBJECT_STATES(X)                                                                  \
    X(VertexShader, Shader, Int)                                                             \
    X(PixelShader, Shader, Int)                                                              \
    X(Texture, Texture, Int)                                                                 \
    X(Sampler, Sampler, Int)                                                                 \
    X(FVF, Fvf, Fvf)

// Value lists, X(NAME, value): NAME is the suffix after the enum's prefix (D3DBLEND_ONE is
// ONE in the Blend list); effects may write it with or without the prefix, and combine the
// names of flag lists with '|'.
#define GFX_ZBUFFER_VALUES(X) X(FALSE, 0) X(TRUE, 1) X(USEW, 2)
#define GFX_FILL_VALUES(X) X(POINT, 1) X(WIREFRAME, 2) X(SOLID, 3)
#define GFX_SHADE_VALUES(X) X(FLAT, 1) X(GOURAUD, 2) X(PHONG, 3)
#define GFX_CULL_VALUES(X) X(NONE, 1) X(CW, 2) X(CCW, 3)
#define GFX_CMP_VALUES(X)                                                                   \
    X(NEVER, 1) X(LESS, 2) X(EQUAL, 3) X(LESSEQUAL, 4) X(GREATER, 5) X(NOTEQUAL, 6)          \
    X(GREATEREQUAL, 7) X(ALWAYS, 8)
#define GFX_BLEND_VALUES(X)                                                                 \
    X(ZERO, 1) X(ONE, 2) X(SRCCOLOR, 3) X(INVSRCCOLOR, 4) X(SRCALPHA, 5) X(INVSRCALPHA, 6)   \
    X(DESTALPHA, 7) X(INVDESTALPHA, 8) X(DESTCOLOR, 9) X(INVDESTCOLOR, 10)                  \
    X(SRCALPHASAT, 11) X(BOTHSRCALPHA, 12) X(BOTHINVSRCALPHA, 13) X(BLENDFACTOR, 14)         \
    X(INVBLENDFACTOR, 15)
#define GFX_BLENDOP_VALUES(X) X(ADD, 1) X(SUBTRACT, 2) X(REVSUBTRACT, 3) X(MIN, 4) X(MAX, 5)
#define GFX_STENCILOP_VALUES(X)                                                             \
    X(KEEP, 1) X(ZERO, 2) X(REPLACE, 3) X(INCRSAT, 4) X(DECRSAT, 5) X(INVERT, 6) X(INCR, 7)  \
    X(DECR, 8)
#define GFX_FOGMODE_VALUES(X) X(NONE, 0) X(EXP, 1) X(EXP2, 2) X(LINEAR, 3)
#define GFX_ADDRESS_VALUES(X) \
    X(WRAP, 1) X(MIRROR, 2) X(CLAMP, 3) X(BORDER, 4) X(MIRRORONCE, 5)
#define GFX_FILTER_VALUES(X)                                                                \
    X(NONE, 0) X(POINT, 1) X(LINEAR, 2) X(ANISOTROPIC, 3) X(PYRAMIDALQUAD, 6)                \
    X(GAUSSIANQUAD, 7) X(CONVOLUTIONMONO, 8)
// D3DCOLORWRITEENABLE_ flags.
#define GFX_COLORWRITE_VALUES(X) X(RED, 1) X(GREEN, 2) X(BLUE, 4) X(ALPHA, 8)
// D3DWRAP_ and D3DWRAPCOORD_ flags.
#define GFX_WRAP_VALUES(X) \
    X(U, 1) X(V, 2) X(W, 4) X(COORD0, 1) X(COORD1, 2) X(COORD2, 4) X(COORD3, 8)
#define GFX_MATERIALSOURCE_VALUES(X) X(MATERIAL, 0) X(COLOR1, 1) X(COLOR2, 2)
// D3DVERTEXBLENDFLAGS (the 1WEIGHTS.. names start with a digit: effects write numbers).
#define GFX_VERTEXBLEND_VALUES(X) X(DISABLE, 0) X(TWEENING, 255)
// D3DCLIPPLANEn flags.
#define GFX_CLIPPLANES_VALUES(X)                                                            \
    X(CLIPPLANE0, 1) X(CLIPPLANE1, 2) X(CLIPPLANE2, 4) X(CLIPPLANE3, 8) X(CLIPPLANE4, 16)    \
    X(CLIPPLANE5, 32)
#define GFX_PATCHEDGE_VALUES(X) X(DISCRETE, 0) X(CONTINUOUS, 1)
#define GFX_DEBUGMONITOR_VALUES(X) X(ENABLE, 0) X(DISABLE, 1)
#define GFX_DEGREE_VALUES(X) X(LINEAR, 1) X(QUADRATIC, 2) X(CUBIC, 3) X(QUINTIC, 5)
#define GFX_TEXTUREOP_VALUES(X)                                                             \
    X(DISABLE, 1) X(SELECTARG1, 2) X(SELECTARG2, 3) X(MODULATE, 4) X(MODULATE2X, 5)          \
    X(MODULATE4X, 6) X(ADD, 7) X(ADDSIGNED, 8) X(ADDSIGNED2X, 9) X(SUBTRACT, 10)             \
    X(ADDSMOOTH, 11) X(BLENDDIFFUSEALPHA, 12) X(BLENDTEXTUREALPHA, 13)                       \
    X(BLENDFACTORALPHA, 14) X(BLENDTEXTUREALPHAPM, 15) X(BLENDCURRENTALPHA, 16)              \
    X(PREMODULATE, 17) X(MODULATEALPHA_ADDCOLOR, 18) X(MODULATECOLOR_ADDALPHA, 19)           \
    X(MODULATEINVALPHA_ADDCOLOR, 20) X(MODULATEINVCOLOR_ADDALPHA, 21) X(BUMPENVMAP, 22)      \
    X(BUMPENVMAPLUMINANCE, 23) X(DOTPRODUCT3, 24) X(MULTIPLYADD, 25) X(LERP, 26)
// D3DTA_ arguments and their modifier flags.
#define GFX_TEXTUREARG_VALUES(X)                                                            \
    X(DIFFUSE, 0) X(CURRENT, 1) X(TEXTURE, 2) X(TFACTOR, 3) X(SPECULAR, 4) X(TEMP, 5)        \
    X(CONSTANT, 6) X(COMPLEMENT, 0x10) X(ALPHAREPLICATE, 0x20)
// D3DTSS_TCI_ generators, or-ed with the coordinate set's index.
#define GFX_TEXCOORDINDEX_VALUES(X)                                                         \
    X(PASSTHRU, 0) X(CAMERASPACENORMAL, 0x10000) X(CAMERASPACEPOSITION, 0x20000)             \
    X(CAMERASPACEREFLECTIONVECTOR, 0x30000) X(SPHEREMAP, 0x40000)
// D3DTTFF_ flags.
#define GFX_TEXTURETRANSFORM_VALUES(X)                                                      \
    X(DISABLE, 0) X(COUNT1, 1) X(COUNT2, 2) X(COUNT3, 3) X(COUNT4, 4) X(PROJECTED, 256)
#define GFX_LIGHTTYPE_VALUES(X) X(POINT, 1) X(SPOT, 2) X(DIRECTIONAL, 3)
// D3DFVF_ flags (TEXn: n coordinate sets).
#define GFX_FVF_VALUES(X)                                                                   \
    X(XYZ, 0x2) X(XYZRHW, 0x4) X(XYZB1, 0x6) X(XYZB2, 0x8) X(XYZB3, 0xA) X(XYZB4, 0xC)       \
    X(XYZB5, 0xE) X(XYZW, 0x4002) X(NORMAL, 0x10) X(PSIZE, 0x20) X(DIFFUSE, 0x40)            \
    X(SPECULAR, 0x80) X(TEX0, 0x000) X(TEX1, 0x100) X(TEX2, 0x200) X(TEX3, 0x300)            \
    X(TEX4, 0x400) X(TEX5, 0x500) X(TEX6, 0x600) X(TEX7, 0x700) X(TEX8, 0x800)               \
    X(LASTBETA_UBYTE4, 0x1000) X(LASTBETA_D3DCOLOR, 0x8000)
