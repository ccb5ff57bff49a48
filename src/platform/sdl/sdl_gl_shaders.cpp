// GLSL sources. Textures hold the engine's pixels with red and blue swapped back by the sampler's
// swizzle, so every program works in true RGBA. Positions are target pixels, y down.
#include "platform/sdl/sdl_gl_shaders.h"

namespace korvel::platform::sdl {
namespace {

std::string Header(bool es) {
  return es ? "#version 300 es\nprecision highp float;\nprecision highp int;\n"
            : "#version 330 core\n";
}

// The frame effects read their neighbours through the coordinate sets; `d` moves every set onto
// texel centres so that a frame shown at its own size gives back each texel exactly.
constexpr const char* kEffectA = R"(
uniform sampler2D KR_Texture;
uniform vec2 KR_TexSize;
uniform vec2 KR_TexDiffU;
in vec2 vT0; in vec2 vT1; in vec2 vT2; in vec2 vT3;
in vec2 vT4; in vec2 vT5; in vec2 vT6; in vec2 vT7;
out vec4 KR_Out;
vec4 Samp(vec2 uv) { return texture(KR_Texture, uv); }
// Catmull-Rom weights of the texels at -1, 0, 1, 2.
vec4 Weights(float t) {
  float t2 = t * t, t3 = t2 * t;
  return vec4(-0.5 * t3 + t2 - 0.5 * t, 1.5 * t3 - 2.5 * t2 + 1.0,
              -1.5 * t3 + 2.0 * t2 + 0.5 * t, 0.5 * t3 - 0.5 * t2);
}
vec4 Column(vec2 a, vec2 b, vec2 c, vec2 e, vec4 wy) {
  return wy.x * Samp(a) + wy.y * Samp(b) + wy.z * Samp(c) + wy.w * Samp(e);
}
void main() {
  vec2 p = vT5 * KR_TexSize - 0.5;
  vec2 i = floor(p + 1.0 / 256.0);
  vec2 f = max(p - i, 0.0);
  vec2 d = vT5 - (i + 0.5) / KR_TexSize;
  vec4 wx = Weights(f.x), wy = Weights(f.y);
  vec4 c0 = Column(vT0 - d, vT1 - d, vT2 - d, vT3 - d, wy);
  vec4 c1 = Column(vT4 - d, vT5 - d, vT6 - d, vT7 - d, wy);
  vec2 s = KR_TexDiffU - d;
  vec4 c2 = Column(vT0 + s, vT1 + s, vT2 + s, vT3 + s, wy);
  vec4 c3 = Column(vT4 + s, vT5 + s, vT6 + s, vT7 + s, wy);
  KR_Out = clamp(wx.x * c0 + wx.y * c1 + wx.z * c2 + wx.w * c3, 0.0, 1.0);
}
)";

constexpr const char* kEffectB = R"(
uniform sampler2D KR_Texture;
uniform vec2 KR_TexSize;
#ifdef GL_ES
const float SharpN = 1.25;
#else
uniform float SharpN = 1.25;
#endif
in vec2 vT0; in vec2 vT1; in vec2 vT2; in vec2 vT3;
out vec4 KR_Out;
vec4 Samp(vec2 uv) { return texture(KR_Texture, uv); }
void main() {
  vec2 p = vT0 * KR_TexSize - 0.5;
  vec2 i = floor(p + 1.0 / 256.0);
  vec2 f = max(p - i, 0.0);
  vec2 d = vT0 - (i + 0.5) / KR_TexSize;
  // Sharpened weights, as the CPU's smooth scaler sharpens its own.
  vec2 w = clamp((f - 0.5) * SharpN + 0.5, 0.0, 1.0);
  vec4 top = mix(Samp(vT0 - d), Samp(vT1 - d), w.x);
  vec4 bottom = mix(Samp(vT2 - d), Samp(vT3 - d), w.x);
  KR_Out = mix(top, bottom, w.y);
}
)";

// The texture stages of the layer modes. Stage 1 of modes 3 and 5 names a texture slot that holds
// none; it reads as the mode's neutral colour (white for the multiply, black for the screen), so
// transparent pixels leave the target as it is.
constexpr const char* kLayer = R"(
uniform sampler2D KR_Texture;
uniform vec4 KR_TFactor;
in vec4 vDiffuse;
in vec2 vT0;
out vec4 KR_Out;
void main() {
  vec4 t = texture(KR_Texture, vT0);
  vec4 dif = vDiffuse;
#if MODE == 0
  KR_Out = vec4(t.rgb, t.a * KR_TFactor.a);
#elif MODE == 1
  KR_Out = vec4(t.rgb, t.a * dif.a);
#elif MODE == 3
  vec4 cur = vec4(t.rgb * dif.rgb, t.a);
  KR_Out = vec4(mix(vec3(1.0), cur.rgb, cur.a), cur.a);
#elif MODE == 5
  vec4 cur = t * dif;
  KR_Out = vec4(mix(vec3(0.0), cur.rgb, cur.a), cur.a);
#elif MODE == 7
  vec4 cur = t * dif;
  KR_Out = vec4(mix(KR_TFactor.rgb, cur.rgb, cur.a), cur.a);
#else
  KR_Out = t * dif;
#endif
}
)";

}  // namespace

std::string QuadVertexShader(bool es) {
  return Header(es) + R"(
uniform vec2 KR_Target;
in vec4 KR_Pos;
in vec4 KR_Diffuse;
in vec2 KR_T0; in vec2 KR_T1; in vec2 KR_T2; in vec2 KR_T3;
in vec2 KR_T4; in vec2 KR_T5; in vec2 KR_T6; in vec2 KR_T7;
out vec4 vDiffuse;
out vec2 vT0; out vec2 vT1; out vec2 vT2; out vec2 vT3;
out vec2 vT4; out vec2 vT5; out vec2 vT6; out vec2 vT7;
void main() {
  gl_Position = vec4(KR_Pos.x / KR_Target.x * 2.0 - 1.0, 1.0 - KR_Pos.y / KR_Target.y * 2.0,
                     0.0, 1.0);
  vDiffuse = KR_Diffuse.zyxw;  // the colour's bytes are blue, green, red, alpha
  vT0 = KR_T0; vT1 = KR_T1; vT2 = KR_T2; vT3 = KR_T3;
  vT4 = KR_T4; vT5 = KR_T5; vT6 = KR_T6; vT7 = KR_T7;
}
)";
}

std::string FragmentShader(GpuProgram program, bool es) {
  switch (program) {
    case GpuProgram::kFrameEffectA: return Header(es) + kEffectA;
    case GpuProgram::kFrameEffectB: return Header(es) + kEffectB;
    default: break;
  }
  static constexpr int kModes[] = {0, 1, 2, 3, 5, 6, 7, 9};
  const int index = static_cast<int>(program) - static_cast<int>(GpuProgram::kLayer0);
  const int mode = index >= 0 && index < 8 ? kModes[index] : 0;
  return Header(es) + "#define MODE " + std::to_string(mode) + "\n" + kLayer;
}

}  // namespace korvel::platform::sdl
