// The GPU device: the few drawing calls the GPU path makes (context, textures, system-memory
// surfaces, quads, present, read-back, an offscreen target), behind one interface. The SDL backend
// implements it on OpenGL 3.3 core (else OpenGL ES 3.0); headless has none. Tests put a wrapper of
// their own around every new device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvel::platform {

// A texture: the device generation in the high 32 bits, the device's own number in the low 32.
// A handle from an earlier generation (before a reset) names nothing.
using GpuTexture = uint64_t;
// A system-memory surface, numbered like textures.
using GpuSurface = uint64_t;
inline constexpr uint64_t kNoGpuObject = 0;

inline constexpr uint32_t GpuGeneration(uint64_t handle) {
  return static_cast<uint32_t>(handle >> 32);
}
// A generation no device of this process has used (every new context takes one).
uint32_t NextGpuGeneration();

// One corner of a pre-transformed quad: 84 bytes, in this order.
struct QuadVertex {
  float x, y, z, rhw;  // pixels of the render target, rhw 1
  uint32_t diffuse;    // 0xAARRGGBB
  float tex[8][2];     // texture coordinate sets 0..7
};
static_assert(sizeof(QuadVertex) == 84, "the vertex layout is 84 bytes");

// The three ways a context is asked for, in the order they are tried.
enum class GpuContextTry : uint8_t {
  kCore33 = 0,        // OpenGL 3.3 core, accelerated visual requested
  kCore33Any = 1,     // the same without the accelerated-visual request
  kEs30 = 2,          // OpenGL ES 3.0
};

struct GpuCaps {
  int32_t max_texture_width = 256, max_texture_height = 256;
  int32_t shading_major = 0, shading_minor = 0;  // the shading language version
};

enum class GpuBlendFactor : uint8_t {
  kZero, kOne, kSrcAlpha, kInvSrcAlpha, kSrcColor, kInvSrcColor, kInvDestColor,
};
enum class GpuBlendOp : uint8_t { kAdd, kRevSubtract, kMax, kMin };

// The fragment programs: the two frame effects and one per layer blend mode that has a state row.
enum class GpuProgram : uint8_t {
  kFrameEffectA = 0,  // 8 coordinate sets, KR_TexDiffU
  kFrameEffectB = 1,  // 4 coordinate sets, SharpN
  kLayer0, kLayer1, kLayer2, kLayer3, kLayer5, kLayer6, kLayer7, kLayer9,
  kCount,
};

// Everything one quad draw sets.
struct GpuDrawState {
  GpuTexture texture = kNoGpuObject;
  GpuProgram program = GpuProgram::kLayer0;
  bool blend = false;
  GpuBlendFactor src = GpuBlendFactor::kOne, dst = GpuBlendFactor::kZero;
  GpuBlendOp op = GpuBlendOp::kAdd;
  uint32_t texture_factor = 0xFFFFFFFF;  // 0xAARRGGBB
  float tex_size[2] = {1, 1};            // KR_TexSize
  float tex_diff_u[2] = {0, 0};          // KR_TexDiffU
};

// Every call a test can make fail.
enum class GpuCall : uint8_t {
  kNone,
  kCreateContextCore33, kCreateContextCore33Any, kCreateContextEs30,
  kDisplayMode, kCaps, kVertexLayout, kFrameEffect, kCreateTexture, kCreateSurface, kLockSurface,
  kUnlockSurface, kUpdateTexture, kBeginScene, kClear, kDrawQuad, kEndScene, kPresent,
  kCreateTarget, kSetTarget, kRestoreTarget, kReadBack, kDeviceLost,
};

class GpuDevice {
 public:
  virtual ~GpuDevice() = default;

  // The display under the window's centre (0 when it cannot be told) and that display's mode.
  virtual int32_t AdapterIndex() = 0;
  virtual bool DisplayMode(int32_t adapter, int32_t* width, int32_t* height) = 0;
  // Makes the context; false leaves none.
  virtual bool CreateContext(GpuContextTry attempt) = 0;
  virtual bool Caps(GpuCaps* caps) = 0;
  // Fixed states: no culling, no depth, no dithering, clamped linear sampling.
  virtual void SetDefaultStates() = 0;
  virtual bool CreateVertexLayout() = 0;
  // Compiles one frame effect (false: "Shader Init Error"); the layer programs come on first use.
  virtual bool CreateFrameEffect(GpuProgram effect) = 0;
  // The generation of the current context; textures of other generations name nothing.
  virtual uint32_t Generation() const = 0;

  virtual bool CreateTexture(int32_t width, int32_t height, GpuTexture* texture) = 0;
  virtual void ReleaseTexture(GpuTexture texture) = 0;
  virtual bool TextureAlive(GpuTexture texture) const = 0;
  virtual bool CreateSurface(int32_t width, int32_t height, GpuSurface* surface) = 0;
  virtual void ReleaseSurface(GpuSurface surface) = 0;
  // Rows of width × 4 bytes (blue, green, red, alpha) at `pitch` bytes apart.
  virtual bool LockSurface(GpuSurface surface, uint8_t** bits, int32_t* pitch) = 0;
  virtual bool UnlockSurface(GpuSurface surface) = 0;
  // The whole surface into the texture's top-left corner.
  virtual bool UpdateTexture(GpuSurface surface, GpuTexture texture) = 0;

  // The target: the window's drawable, or (while set) an offscreen target.
  virtual bool BeginScene() = 0;
  virtual bool Clear(uint32_t argb) = 0;
  virtual bool DrawQuad(const QuadVertex vertices[4], const GpuDrawState& state) = 0;
  virtual bool EndScene() = 0;
  // Shows the drawable; `source` (may be null) is the part of it that holds the frame.
  virtual bool Present(const Rect* source) = 0;
  // An offscreen target of the size given, made current until RestoreTarget.
  virtual bool CreateTarget(int32_t width, int32_t height) = 0;
  virtual bool SetTarget() = 0;
  virtual bool RestoreTarget() = 0;
  // Reads rows of the current target, top-down, into blue, green, red, alpha bytes.
  virtual bool ReadBack(int32_t width, int32_t height, uint8_t* dst, int32_t dst_pitch) = 0;
  // The drawable's size (the window's client area in pixels).
  virtual void DrawableSize(int32_t* width, int32_t* height) = 0;
  // The context was lost and must be made again.
  virtual bool DeviceLost() = 0;
  // Releases every object and the context; the device can make a context again afterwards.
  virtual void Release() = 0;
};

// The device of a window: the SDL backend's OpenGL device (null when the window has no OpenGL),
// headless none.
std::unique_ptr<GpuDevice> CreateGpuDevice(WindowId window);

// Every device made afterwards is passed through `wrap` (null: none; the program sets none). A
// wrapper may be handed a null device (headless) and make its own.
using GpuDeviceWrapper = std::unique_ptr<GpuDevice> (*)(std::unique_ptr<GpuDevice> device);
void SetGpuDeviceWrapper(GpuDeviceWrapper wrap);
// Passes a new device through the wrapper (backends' devices go through it).
std::unique_ptr<GpuDevice> WrapGpuDevice(std::unique_ptr<GpuDevice> device);

}  // namespace korvel::platform
