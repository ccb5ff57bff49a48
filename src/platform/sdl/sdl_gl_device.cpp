// The OpenGL device of window 0: a 3.3 core context (else ES 3.0) through SDL, textures holding the
// engine's blue-green-red-alpha bytes, quads drawn by GLSL programs, an offscreen target for
// captures. Every call runs on the main thread (the callers hand their work over).
#include <GL/glcorearb.h>

#include <cstdio>
#include <cstring>
#include <map>

#include "platform/gpu_device.h"
#include "platform/sdl/sdl_gl_shaders.h"
#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {
namespace {

// The entry points used, loaded through SDL once a context is current.
#define KORVEL_GL_FUNCTIONS(X)                                                                  \
  X(PFNGLGETSTRINGPROC, GetString) X(PFNGLGETINTEGERVPROC, GetIntegerv)                         \
  X(PFNGLGETERRORPROC, GetError) X(PFNGLVIEWPORTPROC, Viewport)                                 \
  X(PFNGLCLEARCOLORPROC, ClearColor) X(PFNGLCLEARPROC, Clear) X(PFNGLENABLEPROC, Enable)        \
  X(PFNGLDISABLEPROC, Disable) X(PFNGLBLENDFUNCPROC, BlendFunc)                                 \
  X(PFNGLBLENDEQUATIONPROC, BlendEquation) X(PFNGLGENTEXTURESPROC, GenTextures)                 \
  X(PFNGLDELETETEXTURESPROC, DeleteTextures) X(PFNGLBINDTEXTUREPROC, BindTexture)               \
  X(PFNGLTEXIMAGE2DPROC, TexImage2D) X(PFNGLTEXSUBIMAGE2DPROC, TexSubImage2D)                   \
  X(PFNGLTEXPARAMETERIPROC, TexParameteri) X(PFNGLPIXELSTOREIPROC, PixelStorei)                 \
  X(PFNGLACTIVETEXTUREPROC, ActiveTexture) X(PFNGLCREATESHADERPROC, CreateShader)               \
  X(PFNGLSHADERSOURCEPROC, ShaderSource) X(PFNGLCOMPILESHADERPROC, CompileShader)               \
  X(PFNGLGETSHADERIVPROC, GetShaderiv) X(PFNGLDELETESHADERPROC, DeleteShader)                   \
  X(PFNGLCREATEPROGRAMPROC, CreateProgram) X(PFNGLATTACHSHADERPROC, AttachShader)               \
  X(PFNGLBINDATTRIBLOCATIONPROC, BindAttribLocation) X(PFNGLLINKPROGRAMPROC, LinkProgram)       \
  X(PFNGLGETPROGRAMIVPROC, GetProgramiv) X(PFNGLDELETEPROGRAMPROC, DeleteProgram)               \
  X(PFNGLUSEPROGRAMPROC, UseProgram) X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)         \
  X(PFNGLUNIFORM1IPROC, Uniform1i) X(PFNGLUNIFORM2FPROC, Uniform2f)                             \
  X(PFNGLUNIFORM4FPROC, Uniform4f) X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays)                 \
  X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray)                                                  \
  X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays) X(PFNGLGENBUFFERSPROC, GenBuffers)         \
  X(PFNGLBINDBUFFERPROC, BindBuffer) X(PFNGLBUFFERDATAPROC, BufferData)                         \
  X(PFNGLDELETEBUFFERSPROC, DeleteBuffers) X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer) \
  X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)                                  \
  X(PFNGLDRAWARRAYSPROC, DrawArrays) X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)               \
  X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                                                  \
  X(PFNGLFRAMEBUFFERTEXTURE2DPROC, FramebufferTexture2D)                                        \
  X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)                                    \
  X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers) X(PFNGLREADPIXELSPROC, ReadPixels)

struct GlFunctions {
#define KORVEL_GL_MEMBER(type, name) type name = nullptr;
  KORVEL_GL_FUNCTIONS(KORVEL_GL_MEMBER)
#undef KORVEL_GL_MEMBER
};

bool LoadFunctions(GlFunctions* gl) {
  bool all = true;
#define KORVEL_GL_LOAD(type, name)                                              \
  gl->name = reinterpret_cast<type>(SDL_GL_GetProcAddress("gl" #name));          \
  if (gl->name == nullptr) all = false;
  KORVEL_GL_FUNCTIONS(KORVEL_GL_LOAD)
#undef KORVEL_GL_LOAD
  return all;
}

constexpr int kPrograms = static_cast<int>(GpuProgram::kCount);

struct Program {
  GLuint id = 0;
  GLint target = -1, texture = -1, tex_size = -1, tex_diff_u = -1, tfactor = -1;
};

struct Surface {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> bytes;
  bool locked = false;
};

struct Texture {
  GLuint id = 0;
  int32_t width = 0, height = 0;
};

GLenum Factor(GpuBlendFactor f) {
  switch (f) {
    case GpuBlendFactor::kZero: return GL_ZERO;
    case GpuBlendFactor::kOne: return GL_ONE;
    case GpuBlendFactor::kSrcAlpha: return GL_SRC_ALPHA;
    case GpuBlendFactor::kInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case GpuBlendFactor::kSrcColor: return GL_SRC_COLOR;
    case GpuBlendFactor::kInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case GpuBlendFactor::kInvDestColor: return GL_ONE_MINUS_DST_COLOR;
  }
  return GL_ONE;
}

GLenum Equation(GpuBlendOp op) {
  switch (op) {
    case GpuBlendOp::kAdd: return GL_FUNC_ADD;
    case GpuBlendOp::kRevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case GpuBlendOp::kMax: return GL_MAX;
    case GpuBlendOp::kMin: return GL_MIN;
  }
  return GL_FUNC_ADD;
}

class GlDevice;
// The live devices by window (main thread only).
std::map<SDL_Window*, GlDevice*> g_devices;

class GlDevice final : public GpuDevice {
 public:
  explicit GlDevice(SDL_Window* window) : window_(window) { g_devices[window] = this; }
  ~GlDevice() override {
    Release();
    Forget();
  }
  // The window goes: everything is released and nothing can be made again.
  void Detach() {
    Release();
    Forget();
    window_ = nullptr;
  }

  int32_t AdapterIndex() override {
    if (window_ == nullptr) return 0;
    const int index = SDL_GetWindowDisplayIndex(window_);
    return index >= 0 ? index : 0;
  }

  bool DisplayMode(int32_t adapter, int32_t* width, int32_t* height) override {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(adapter, &mode) != 0) return false;
    *width = mode.w;
    *height = mode.h;
    return true;
  }

  bool CreateContext(GpuContextTry attempt) override {
    Release();
    if (window_ == nullptr) return false;
    es_ = attempt == GpuContextTry::kEs30;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK,
                        es_ ? SDL_GL_CONTEXT_PROFILE_ES : SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, es_ ? 0 : 3);
    if (attempt == GpuContextTry::kCore33) SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    context_ = SDL_GL_CreateContext(window_);
    if (context_ == nullptr) return false;
    if (SDL_GL_MakeCurrent(window_, context_) != 0 || !LoadFunctions(&gl_)) {
      Release();
      return false;
    }
    SDL_GL_SetSwapInterval(0);
    generation_ = NextGpuGeneration();
    return true;
  }

  bool Caps(GpuCaps* caps) override {
    if (context_ == nullptr) return false;
    GLint size = 0;
    gl_.GetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    caps->max_texture_width = caps->max_texture_height = size;
    const auto* version = reinterpret_cast<const char*>(gl_.GetString(GL_SHADING_LANGUAGE_VERSION));
    caps->shading_major = caps->shading_minor = 0;
    if (version != nullptr) {
      // "4.50 ..." or "OpenGL ES GLSL ES 3.00 ...": the first digits.
      const char* p = version;
      while (*p != '\0' && (*p < '0' || *p > '9')) ++p;
      int major = 0, minor = 0;
      if (std::sscanf(p, "%d.%d", &major, &minor) == 2) {
        caps->shading_major = major;
        caps->shading_minor = minor;
      }
    }
    return size > 0;
  }

  void SetDefaultStates() override {
    if (context_ == nullptr) return;
    gl_.Disable(GL_CULL_FACE);
    gl_.Disable(GL_DEPTH_TEST);
    gl_.Disable(GL_DITHER);
    gl_.Disable(GL_BLEND);
    gl_.PixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gl_.PixelStorei(GL_PACK_ALIGNMENT, 4);
  }

  bool CreateVertexLayout() override {
    if (context_ == nullptr) return false;
    gl_.GenVertexArrays(1, &vao_);
    gl_.GenBuffers(1, &vbo_);
    gl_.BindVertexArray(vao_);
    gl_.BindBuffer(GL_ARRAY_BUFFER, vbo_);
    gl_.BufferData(GL_ARRAY_BUFFER, sizeof(QuadVertex) * 4, nullptr, GL_STREAM_DRAW);
    constexpr GLsizei kStride = sizeof(QuadVertex);
    gl_.VertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, kStride, nullptr);
    gl_.EnableVertexAttribArray(0);
    gl_.VertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, kStride,
                            reinterpret_cast<const void*>(uintptr_t{16}));
    gl_.EnableVertexAttribArray(1);
    for (GLuint t = 0; t < 8; ++t) {
      gl_.VertexAttribPointer(2 + t, 2, GL_FLOAT, GL_FALSE, kStride,
                              reinterpret_cast<const void*>(uintptr_t{20} + 8 * t));
      gl_.EnableVertexAttribArray(2 + t);
    }
    return gl_.GetError() == GL_NO_ERROR;
  }

  bool CreateFrameEffect(GpuProgram effect) override { return UseProgramOf(effect) != nullptr; }

  uint32_t Generation() const override { return generation_; }

  bool CreateTexture(int32_t width, int32_t height, GpuTexture* texture) override {
    if (context_ == nullptr || width < 1 || height < 1) return false;
    GLuint id = 0;
    gl_.GenTextures(1, &id);
    if (id == 0) return false;
    gl_.GetError();
    gl_.BindTexture(GL_TEXTURE_2D, id);
    gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                   nullptr);
    if (gl_.GetError() != GL_NO_ERROR) {
      gl_.DeleteTextures(1, &id);
      return false;
    }
    SetSampling();
    *texture = Handle(++next_number_);
    textures_[*texture] = Texture{id, width, height};
    return true;
  }

  void ReleaseTexture(GpuTexture texture) override {
    auto it = textures_.find(texture);
    if (it == textures_.end()) return;
    if (context_ != nullptr) gl_.DeleteTextures(1, &it->second.id);
    textures_.erase(it);
  }

  bool TextureAlive(GpuTexture texture) const override {
    return GpuGeneration(texture) == generation_ && textures_.count(texture) != 0;
  }

  bool CreateSurface(int32_t width, int32_t height, GpuSurface* surface) override {
    if (context_ == nullptr || width < 1 || height < 1 || width > 16384 || height > 16384) {
      return false;
    }
    *surface = Handle(++next_number_);
    Surface& s = surfaces_[*surface];
    s.width = width;
    s.height = height;
    s.bytes.assign(static_cast<size_t>(width) * 4 * static_cast<size_t>(height), 0);
    return true;
  }

  void ReleaseSurface(GpuSurface surface) override { surfaces_.erase(surface); }

  bool LockSurface(GpuSurface surface, uint8_t** bits, int32_t* pitch) override {
    auto it = surfaces_.find(surface);
    if (it == surfaces_.end() || it->second.locked) return false;
    it->second.locked = true;
    *bits = it->second.bytes.data();
    *pitch = it->second.width * 4;
    return true;
  }

  bool UnlockSurface(GpuSurface surface) override {
    auto it = surfaces_.find(surface);
    if (it == surfaces_.end() || !it->second.locked) return false;
    it->second.locked = false;
    return true;
  }

  bool UpdateTexture(GpuSurface surface, GpuTexture texture) override {
    auto s = surfaces_.find(surface);
    auto t = textures_.find(texture);
    if (context_ == nullptr || s == surfaces_.end() || t == textures_.end() ||
        s->second.locked || s->second.width > t->second.width ||
        s->second.height > t->second.height) {
      return false;
    }
    gl_.GetError();
    gl_.BindTexture(GL_TEXTURE_2D, t->second.id);
    gl_.TexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, s->second.width, s->second.height, GL_RGBA,
                      GL_UNSIGNED_BYTE, s->second.bytes.data());
    return gl_.GetError() == GL_NO_ERROR;
  }

  bool BeginScene() override {
    if (context_ == nullptr) return false;
    Viewport();
    return true;
  }

  bool Clear(uint32_t argb) override {
    if (context_ == nullptr) return false;
    gl_.ClearColor(static_cast<float>((argb >> 16) & 255) / 255.0f,
                   static_cast<float>((argb >> 8) & 255) / 255.0f,
                   static_cast<float>(argb & 255) / 255.0f,
                   static_cast<float>(argb >> 24) / 255.0f);
    gl_.Clear(GL_COLOR_BUFFER_BIT);
    return true;
  }

  bool DrawQuad(const QuadVertex vertices[4], const GpuDrawState& state) override {
    auto t = textures_.find(state.texture);
    if (context_ == nullptr || vao_ == 0 || t == textures_.end()) return false;
    const Program* program = UseProgramOf(state.program);
    if (program == nullptr) return false;
    gl_.ActiveTexture(GL_TEXTURE0);
    gl_.BindTexture(GL_TEXTURE_2D, t->second.id);
    gl_.Uniform1i(program->texture, 0);
    gl_.Uniform2f(program->target, static_cast<float>(target_width_),
                  static_cast<float>(target_height_));
    gl_.Uniform2f(program->tex_size, state.tex_size[0], state.tex_size[1]);
    gl_.Uniform2f(program->tex_diff_u, state.tex_diff_u[0], state.tex_diff_u[1]);
    const uint32_t f = state.texture_factor;
    gl_.Uniform4f(program->tfactor, static_cast<float>((f >> 16) & 255) / 255.0f,
                  static_cast<float>((f >> 8) & 255) / 255.0f,
                  static_cast<float>(f & 255) / 255.0f, static_cast<float>(f >> 24) / 255.0f);
    if (state.blend) {
      gl_.Enable(GL_BLEND);
      gl_.BlendFunc(Factor(state.src), Factor(state.dst));
      gl_.BlendEquation(Equation(state.op));
    } else {
      gl_.Disable(GL_BLEND);
    }
    gl_.BindVertexArray(vao_);
    gl_.BindBuffer(GL_ARRAY_BUFFER, vbo_);
    gl_.BufferData(GL_ARRAY_BUFFER, sizeof(QuadVertex) * 4, vertices, GL_STREAM_DRAW);
    gl_.GetError();
    gl_.DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    return gl_.GetError() == GL_NO_ERROR;
  }

  bool EndScene() override { return context_ != nullptr; }

  bool Present(const Rect* /*source*/) override {
    if (context_ == nullptr) return false;
    SDL_GL_SwapWindow(window_);
    return true;
  }

  bool CreateTarget(int32_t width, int32_t height) override {
    if (context_ == nullptr || width < 1 || height < 1) return false;
    if (fbo_ != 0 && fbo_width_ == width && fbo_height_ == height) return true;
    ReleaseTarget();
    gl_.GenTextures(1, &fbo_texture_);
    gl_.BindTexture(GL_TEXTURE_2D, fbo_texture_);
    gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                   nullptr);
    gl_.GenFramebuffers(1, &fbo_);
    gl_.BindFramebuffer(GL_FRAMEBUFFER, fbo_);
    gl_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, fbo_texture_,
                             0);
    const bool complete = gl_.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    gl_.BindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete) {
      ReleaseTarget();
      return false;
    }
    fbo_width_ = width;
    fbo_height_ = height;
    return true;
  }

  bool SetTarget() override {
    if (context_ == nullptr || fbo_ == 0) return false;
    gl_.BindFramebuffer(GL_FRAMEBUFFER, fbo_);
    on_target_ = true;
    Viewport();
    return true;
  }

  bool RestoreTarget() override {
    if (context_ == nullptr) return false;
    gl_.BindFramebuffer(GL_FRAMEBUFFER, 0);
    on_target_ = false;
    Viewport();
    return true;
  }

  bool ReadBack(int32_t width, int32_t height, uint8_t* dst, int32_t dst_pitch) override {
    if (context_ == nullptr || width < 1 || height < 1) return false;
    Viewport();
    if (width > target_width_ || height > target_height_) return false;
    std::vector<uint8_t> rows(static_cast<size_t>(width) * 4 * static_cast<size_t>(height));
    gl_.GetError();
    // Rows come bottom-up from the target's top-left `height` rows.
    gl_.ReadPixels(0, target_height_ - height, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                   rows.data());
    if (gl_.GetError() != GL_NO_ERROR) return false;
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* s = rows.data() + static_cast<size_t>(height - 1 - y) * width * 4;
      uint8_t* d = dst + static_cast<size_t>(y) * dst_pitch;
      for (int32_t x = 0; x < width; ++x) {
        d[x * 4 + 0] = s[x * 4 + 2];
        d[x * 4 + 1] = s[x * 4 + 1];
        d[x * 4 + 2] = s[x * 4 + 0];
        d[x * 4 + 3] = s[x * 4 + 3];
      }
    }
    return true;
  }

  void DrawableSize(int32_t* width, int32_t* height) override {
    int w = 0, h = 0;
    if (context_ != nullptr) SDL_GL_GetDrawableSize(window_, &w, &h);
    *width = w;
    *height = h;
  }

  bool DeviceLost() override { return false; }

  void Release() override {
    if (context_ != nullptr) {
      SDL_GL_MakeCurrent(window_, context_);
      for (auto& [handle, texture] : textures_) gl_.DeleteTextures(1, &texture.id);
      for (Program& p : programs_) {
        if (p.id != 0) gl_.DeleteProgram(p.id);
      }
      ReleaseTarget();
      if (vbo_ != 0) gl_.DeleteBuffers(1, &vbo_);
      if (vao_ != 0) gl_.DeleteVertexArrays(1, &vao_);
      SDL_GL_MakeCurrent(window_, nullptr);
      SDL_GL_DeleteContext(context_);
      context_ = nullptr;
    }
    textures_.clear();
    surfaces_.clear();
    for (Program& p : programs_) p = Program{};
    vao_ = vbo_ = 0;
    on_target_ = false;
  }

 private:
  // Drops the window's entry when it is this device's (a newer device may have taken the window).
  void Forget() {
    if (window_ == nullptr) return;
    const auto it = g_devices.find(window_);
    if (it != g_devices.end() && it->second == this) g_devices.erase(it);
  }

  uint64_t Handle(uint32_t number) const {
    return (static_cast<uint64_t>(generation_) << 32) | number;
  }

  // Swaps red and blue when sampling (the bytes are blue, green, red, alpha), clamps, filters
  // linearly.
  void SetSampling() {
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_R, GL_BLUE);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, GL_RED);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }

  void Viewport() {
    if (on_target_) {
      target_width_ = fbo_width_;
      target_height_ = fbo_height_;
    } else {
      int w = 0, h = 0;
      SDL_GL_GetDrawableSize(window_, &w, &h);
      target_width_ = w > 0 ? w : 1;
      target_height_ = h > 0 ? h : 1;
    }
    gl_.Viewport(0, 0, target_width_, target_height_);
  }

  GLuint Compile(GLenum kind, const std::string& source) {
    GLuint shader = gl_.CreateShader(kind);
    const char* text = source.c_str();
    gl_.ShaderSource(shader, 1, &text, nullptr);
    gl_.CompileShader(shader);
    GLint ok = 0;
    gl_.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == 0) {
      gl_.DeleteShader(shader);
      return 0;
    }
    return shader;
  }

  // The program, made on first use and made current; null when it cannot be built.
  const Program* UseProgramOf(GpuProgram which) {
    const int index = static_cast<int>(which);
    if (context_ == nullptr || index < 0 || index >= kPrograms) return nullptr;
    Program& p = programs_[index];
    if (p.id == 0) {
      const GLuint vs = Compile(GL_VERTEX_SHADER, QuadVertexShader(es_));
      const GLuint fs = Compile(GL_FRAGMENT_SHADER, FragmentShader(which, es_));
      if (vs == 0 || fs == 0) {
        if (vs != 0) gl_.DeleteShader(vs);
        if (fs != 0) gl_.DeleteShader(fs);
        return nullptr;
      }
      const GLuint id = gl_.CreateProgram();
      gl_.AttachShader(id, vs);
      gl_.AttachShader(id, fs);
      gl_.BindAttribLocation(id, 0, "KR_Pos");
      gl_.BindAttribLocation(id, 1, "KR_Diffuse");
      for (GLuint t = 0; t < 8; ++t) {
        const std::string name = "KR_T" + std::to_string(t);
        gl_.BindAttribLocation(id, 2 + t, name.c_str());
      }
      gl_.LinkProgram(id);
      gl_.DeleteShader(vs);
      gl_.DeleteShader(fs);
      GLint ok = 0;
      gl_.GetProgramiv(id, GL_LINK_STATUS, &ok);
      if (ok == 0) {
        gl_.DeleteProgram(id);
        return nullptr;
      }
      p.id = id;
      p.target = gl_.GetUniformLocation(id, "KR_Target");
      p.texture = gl_.GetUniformLocation(id, "KR_Texture");
      p.tex_size = gl_.GetUniformLocation(id, "KR_TexSize");
      p.tex_diff_u = gl_.GetUniformLocation(id, "KR_TexDiffU");
      p.tfactor = gl_.GetUniformLocation(id, "KR_TFactor");
    }
    gl_.UseProgram(p.id);
    return &p;
  }

  void ReleaseTarget() {
    if (fbo_ != 0) gl_.DeleteFramebuffers(1, &fbo_);
    if (fbo_texture_ != 0) gl_.DeleteTextures(1, &fbo_texture_);
    fbo_ = fbo_texture_ = 0;
    fbo_width_ = fbo_height_ = 0;
  }

  SDL_Window* window_;
  SDL_GLContext context_ = nullptr;
  GlFunctions gl_;
  bool es_ = false;
  uint32_t generation_ = 0;
  uint32_t next_number_ = 0;  // texture and surface numbers, never reused
  std::map<GpuTexture, Texture> textures_;
  std::map<GpuSurface, Surface> surfaces_;
  Program programs_[kPrograms];
  GLuint vao_ = 0, vbo_ = 0;
  GLuint fbo_ = 0, fbo_texture_ = 0;
  int32_t fbo_width_ = 0, fbo_height_ = 0;
  bool on_target_ = false;
  int32_t target_width_ = 1, target_height_ = 1;
};

}  // namespace

void DetachGlDevice(SDL_Window* handle) {
  auto it = g_devices.find(handle);
  if (it != g_devices.end()) it->second->Detach();
}

std::unique_ptr<GpuDevice> SdlBackend::MakeGpuDevice(WindowId window) {
  std::unique_ptr<GpuDevice> device;
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr || (SDL_GetWindowFlags(record->handle) & SDL_WINDOW_OPENGL) == 0) return;
    device = std::make_unique<GlDevice>(record->handle);
  });
  return device;
}

}  // namespace korvel::platform::sdl
