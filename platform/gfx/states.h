// platform/gfx/states.h: Direct3D 9's render states, sampler states and the values they take,
// one row each. The device's enums (gfx.h) and the effect compiler's state tables are both
// built from these rows, so each code and value is written once.
//
// No includes and no declarations: only the row lists, each a macro taking a row macro X.
#pragma once

// X(effectName, ENUMNAME, code, valueKind, applied)
//   effectName  how effect files spell the state (matched without regard to case)
//   ENUMNAME    the suffix of its D3DRS_ name
//   valueKind   which value list names its values (Bool, Int, Float: plain numbers)
//   applied     1 when a pass of an effect sets it on the device; 0 for the fixed-function
//               states the device stores but does not draw with (an effect that sets one is
//               warned that it has no effect)
#define GFX_RENDER_STATES(X)                                                  \
    X(ZEnable, ZENABLE, 7, ZBuffer, 1)                                       \
    X(FillMode, FILLMODE, 8, Fill, 1)                                        \
    X(ShadeMode, SHADEMODE, 9, Shade, 1)                                     \
    X(ZWriteEnable, ZWRITEENABLE, 14, Bool, 1)                               \
    X(AlphaTestEnable, ALPHATESTENABLE, 15, Bool, 1)                         \
    X(LastPixel, LASTPIXEL, 16, Bool, 0)                                     \
    X(SrcBlend, SRCBLEND, 19, Blend, 1)                                      \
    X(DestBlend, DESTBLEND, 20, Blend, 1)                                    \
    X(CullMode, CULLMODE, 22, Cull, 1)                                       \
    X(ZFunc, ZFUNC, 23, Cmp, 1)                                              \
    X(AlphaRef, ALPHAREF, 24, Int, 1)                                        \
    X(AlphaFunc, ALPHAFUNC, 25, Cmp, 1)                                      \
    X(DitherEnable, DITHERENABLE, 26, Bool, 1)                               \
    X(AlphaBlendEnable, ALPHABLENDENABLE, 27, Bool, 1)                       \
    X(FogEnable, FOGENABLE, 28, Bool, 1)                                     \
    X(SpecularEnable, SPECULARENABLE, 29, Bool, 1)                           \
    X(FogColor, FOGCOLOR, 34, Int, 1)                                        \
    X(FogTableMode, FOGTABLEMODE, 35, FogMode, 0)                            \
    X(FogStart, FOGSTART, 36, Float, 0)                                      \
    X(FogEnd, FOGEND, 37, Float, 0)                                          \
    X(FogDensity, FOGDENSITY, 38, Float, 0)                                  \
    X(RangeFogEnable, RANGEFOGENABLE, 48, Bool, 0)                           \
    X(StencilEnable, STENCILENABLE, 52, Bool, 1)                             \
    X(StencilFail, STENCILFAIL, 53, StencilOp, 1)                            \
    X(StencilZFail, STENCILZFAIL, 54, StencilOp, 1)                          \
    X(StencilPass, STENCILPASS, 55, StencilOp, 1)                            \
    X(StencilFunc, STENCILFUNC, 56, Cmp, 1)                                  \
    X(StencilRef, STENCILREF, 57, Int, 1)                                    \
    X(StencilMask, STENCILMASK, 58, Int, 1)                                  \
    X(StencilWriteMask, STENCILWRITEMASK, 59, Int, 1)                        \
    X(TextureFactor, TEXTUREFACTOR, 60, Int, 1)                              \
    X(Wrap0, WRAP0, 128, Int, 0)                                             \
    X(Clipping, CLIPPING, 136, Bool, 0)                                      \
    X(Lighting, LIGHTING, 137, Bool, 1)                                      \
    X(Ambient, AMBIENT, 139, Int, 1)                                         \
    X(FogVertexMode, FOGVERTEXMODE, 140, FogMode, 0)                         \
    X(ColorVertex, COLORVERTEX, 141, Bool, 0)                                \
    X(LocalViewer, LOCALVIEWER, 142, Bool, 0)                                \
    X(NormalizeNormals, NORMALIZENORMALS, 143, Bool, 1)                      \
    X(DiffuseMaterialSource, DIFFUSEMATERIALSOURCE, 145, Int, 0)             \
    X(SpecularMaterialSource, SPECULARMATERIALSOURCE, 146, Int, 0)           \
    X(AmbientMaterialSource, AMBIENTMATERIALSOURCE, 147, Int, 0)             \
    X(EmissiveMaterialSource, EMISSIVEMATERIALSOURCE, 148, Int, 0)           \
    X(VertexBlend, VERTEXBLEND, 151, Int, 0)                                 \
    X(ClipPlaneEnable, CLIPPLANEENABLE, 152, Int, 0)                         \
    X(PointSize, POINTSIZE, 154, Float, 1)                                   \
    X(PointSpriteEnable, POINTSPRITEENABLE, 156, Bool, 0)                    \
    X(PointScaleEnable, POINTSCALEENABLE, 157, Bool, 0)                      \
    X(MultiSampleAntialias, MULTISAMPLEANTIALIAS, 161, Bool, 1)              \
    X(ColorWriteEnable, COLORWRITEENABLE, 168, Int, 1)                       \
    X(BlendOp, BLENDOP, 171, BlendOp, 1)                                     \
    X(ScissorTestEnable, SCISSORTESTENABLE, 174, Bool, 1)                    \
    X(SlopeScaleDepthBias, SLOPESCALEDEPTHBIAS, 175, Float, 0)               \
    X(AntialiasedLineEnable, ANTIALIASEDLINEENABLE, 176, Bool, 0)            \
    X(TwoSidedStencilMode, TWOSIDEDSTENCILMODE, 185, Bool, 0)                \
    X(SrgbWriteEnable, SRGBWRITEENABLE, 194, Bool, 0)                        \
    X(DepthBias, DEPTHBIAS, 195, Float, 0)                                   \
    X(SeparateAlphaBlendEnable, SEPARATEALPHABLENDENABLE, 206, Bool, 1)      \
    X(SrcBlendAlpha, SRCBLENDALPHA, 207, Blend, 1)                           \
    X(DestBlendAlpha, DESTBLENDALPHA, 208, Blend, 1)                         \
    X(BlendOpAlpha, BLENDOPALPHA, 209, BlendOp, 1)

// X(effectName, ENUMNAME, code, valueKind): the D3DSAMP_ states of a sampler.
#define GFX_SAMPLER_STATES(X)                           \
    X(AddressU, ADDRESSU, 1, Address)                  \
    X(AddressV, ADDRESSV, 2, Address)                  \
    X(AddressW, ADDRESSW, 3, Address)                  \
    X(BorderColor, BORDERCOLOR, 4, Colour)             \
    X(MagFilter, MAGFILTER, 5, Filter)                 \
    X(MinFilter, MINFILTER, 6, Filter)                 \
    X(MipFilter, MIPFILTER, 7, Filter)                 \
    X(MipMapLodBias, MIPMAPLODBIAS, 8, Float)          \
    X(MaxMipLevel, MAXMIPLEVEL, 9, Int)                \
    X(MaxAnisotropy, MAXANISOTROPY, 10, Int)           \
    X(SRGBTexture, SRGBTEXTURE, 11, Bool)

// Value lists, X(NAME, value): NAME is the suffix after the enum's prefix (D3DBLEND_ONE is
// ONE in the Blend list); effects may write it with or without the prefix.
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
#define GFX_FILTER_VALUES(X) \
    X(NONE, 0) X(POINT, 1) X(LINEAR, 2) X(ANISOTROPIC, 3) X(PYRAMIDALQUAD, 6) X(GAUSSIANQUAD, 7)
