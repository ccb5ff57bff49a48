// The test devices: a stand-in that succeeds without drawing, and a wrapper that fails one chosen
// call (and can keep each presented frame).
#include "support/platform/gpu_test_devices.h"

#include <cstring>
#include <map>

namespace korvel::test {

using namespace platform;

namespace {

// Succeeds at every call it can; surfaces are real memory so uploads can be checked, textures are
// numbers with a size. As with OpenGL, a texture takes no surface larger than itself.
class StubGpuDevice final : public GpuDevice {
 public:
  int32_t AdapterIndex() override { return 0; }
  bool DisplayMode(int32_t /*adapter*/, int32_t* width, int32_t* height) override {
    *width = 1920;
    *height = 1080;
    return true;
  }
  bool CreateContext(GpuContextTry /*attempt*/) override {
    generation_ = NextGpuGeneration();
    live_ = true;
    return true;
  }
  bool Caps(GpuCaps* caps) override {
    *caps = GpuCaps{8192, 8192, 3, 30};
    return true;
  }
  void SetDefaultStates() override {}
  bool CreateVertexLayout() override { return true; }
  bool CreateFrameEffect(GpuProgram /*effect*/) override { return true; }
  uint32_t Generation() const override { return generation_; }
  bool CreateTexture(int32_t width, int32_t height, GpuTexture* texture) override {
    if (!live_ || width < 1 || height < 1) return false;
    *texture = (static_cast<uint64_t>(generation_) << 32) | ++next_;
    textures_[*texture] = Size{width, height};
    return true;
  }
  void ReleaseTexture(GpuTexture texture) override { textures_.erase(texture); }
  bool TextureAlive(GpuTexture texture) const override {
    return GpuGeneration(texture) == generation_ && textures_.count(texture) != 0;
  }
  bool CreateSurface(int32_t width, int32_t height, GpuSurface* surface) override {
    if (!live_ || width < 1 || height < 1) return false;
    *surface = (static_cast<uint64_t>(generation_) << 32) | ++next_;
    Surface& s = surfaces_[*surface];
    s.width = width;
    s.height = height;
    s.bytes.assign(static_cast<size_t>(width) * 4 * static_cast<size_t>(height), 0);
    return true;
  }
  void ReleaseSurface(GpuSurface surface) override { surfaces_.erase(surface); }
  bool LockSurface(GpuSurface surface, uint8_t** bits, int32_t* pitch) override {
    auto it = surfaces_.find(surface);
    if (it == surfaces_.end()) return false;
    *bits = it->second.bytes.data();
    *pitch = it->second.width * 4;
    return true;
  }
  bool UnlockSurface(GpuSurface surface) override { return surfaces_.count(surface) != 0; }
  bool UpdateTexture(GpuSurface surface, GpuTexture texture) override {
    auto s = surfaces_.find(surface);
    if (s == surfaces_.end() || !TextureAlive(texture)) return false;
    const Size& t = textures_.at(texture);
    return s->second.width <= t.width && s->second.height <= t.height;
  }
  bool BeginScene() override { return live_; }
  bool Clear(uint32_t /*argb*/) override { return live_; }
  bool DrawQuad(const QuadVertex* /*vertices*/, const GpuDrawState& /*state*/) override {
    return live_;
  }
  bool EndScene() override { return live_; }
  bool Present(const Rect* /*source*/) override { return live_; }
  bool CreateTarget(int32_t width, int32_t height) override {
    return live_ && width >= 1 && height >= 1;
  }
  bool SetTarget() override { return live_; }
  bool RestoreTarget() override { return live_; }
  bool ReadBack(int32_t width, int32_t height, uint8_t* dst, int32_t dst_pitch) override {
    for (int32_t y = 0; y < height; ++y) {
      std::memset(dst + static_cast<size_t>(y) * dst_pitch, 0, static_cast<size_t>(width) * 4);
    }
    return live_;
  }
  void DrawableSize(int32_t* width, int32_t* height) override {
    *width = 0;
    *height = 0;
  }
  bool DeviceLost() override { return false; }
  void Release() override {
    textures_.clear();
    surfaces_.clear();
    live_ = false;
  }

 private:
  struct Size {
    int32_t width = 0, height = 0;
  };
  struct Surface {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> bytes;
  };
  uint32_t generation_ = 0;
  uint32_t next_ = 0;
  bool live_ = false;
  std::map<GpuTexture, Size> textures_;
  std::map<GpuSurface, Surface> surfaces_;
};

class FailingGpuDevice final : public GpuDevice {
 public:
  FailingGpuDevice(std::unique_ptr<GpuDevice> inner, const GpuFaultPlan& plan)
      : inner_(inner != nullptr ? std::move(inner) : MakeStubGpuDevice()), plan_(plan) {}

  int32_t AdapterIndex() override { return inner_->AdapterIndex(); }
  bool DisplayMode(int32_t adapter, int32_t* width, int32_t* height) override {
    return Pass(GpuCall::kDisplayMode) && inner_->DisplayMode(adapter, width, height);
  }
  bool CreateContext(GpuContextTry attempt) override {
    static constexpr GpuCall kCalls[] = {GpuCall::kCreateContextCore33,
                                         GpuCall::kCreateContextCore33Any,
                                         GpuCall::kCreateContextEs30};
    return Pass(kCalls[static_cast<int>(attempt)]) && inner_->CreateContext(attempt);
  }
  bool Caps(GpuCaps* caps) override { return Pass(GpuCall::kCaps) && inner_->Caps(caps); }
  void SetDefaultStates() override { inner_->SetDefaultStates(); }
  bool CreateVertexLayout() override {
    return Pass(GpuCall::kVertexLayout) && inner_->CreateVertexLayout();
  }
  bool CreateFrameEffect(GpuProgram effect) override {
    return Pass(GpuCall::kFrameEffect) && inner_->CreateFrameEffect(effect);
  }
  uint32_t Generation() const override { return inner_->Generation(); }
  bool CreateTexture(int32_t width, int32_t height, GpuTexture* texture) override {
    return Pass(GpuCall::kCreateTexture) && inner_->CreateTexture(width, height, texture);
  }
  void ReleaseTexture(GpuTexture texture) override { inner_->ReleaseTexture(texture); }
  bool TextureAlive(GpuTexture texture) const override { return inner_->TextureAlive(texture); }
  bool CreateSurface(int32_t width, int32_t height, GpuSurface* surface) override {
    return Pass(GpuCall::kCreateSurface) && inner_->CreateSurface(width, height, surface);
  }
  void ReleaseSurface(GpuSurface surface) override { inner_->ReleaseSurface(surface); }
  bool LockSurface(GpuSurface surface, uint8_t** bits, int32_t* pitch) override {
    return Pass(GpuCall::kLockSurface) && inner_->LockSurface(surface, bits, pitch);
  }
  bool UnlockSurface(GpuSurface surface) override {
    // The inner surface is unlocked whatever the answer.
    const bool ok = inner_->UnlockSurface(surface);
    return Pass(GpuCall::kUnlockSurface) && ok;
  }
  bool UpdateTexture(GpuSurface surface, GpuTexture texture) override {
    return Pass(GpuCall::kUpdateTexture) && inner_->UpdateTexture(surface, texture);
  }
  bool BeginScene() override { return Pass(GpuCall::kBeginScene) && inner_->BeginScene(); }
  bool Clear(uint32_t argb) override { return Pass(GpuCall::kClear) && inner_->Clear(argb); }
  bool DrawQuad(const QuadVertex vertices[4], const GpuDrawState& state) override {
    if (plan_.draws != nullptr) plan_.draws->push_back(state);
    return Pass(GpuCall::kDrawQuad) && inner_->DrawQuad(vertices, state);
  }
  bool EndScene() override { return Pass(GpuCall::kEndScene) && inner_->EndScene(); }
  bool Present(const Rect* source) override {
    if (plan_.presented != nullptr && plan_.presented_width > 0 && plan_.presented_height > 0) {
      plan_.presented->assign(
          static_cast<size_t>(plan_.presented_width) * 4 * plan_.presented_height, 0);
      inner_->ReadBack(plan_.presented_width, plan_.presented_height, plan_.presented->data(),
                       plan_.presented_width * 4);
    }
    return Pass(GpuCall::kPresent) && inner_->Present(source);
  }
  bool CreateTarget(int32_t width, int32_t height) override {
    return Pass(GpuCall::kCreateTarget) && inner_->CreateTarget(width, height);
  }
  bool SetTarget() override { return Pass(GpuCall::kSetTarget) && inner_->SetTarget(); }
  bool RestoreTarget() override {
    const bool ok = inner_->RestoreTarget();
    return Pass(GpuCall::kRestoreTarget) && ok;
  }
  bool ReadBack(int32_t width, int32_t height, uint8_t* dst, int32_t dst_pitch) override {
    return Pass(GpuCall::kReadBack) && inner_->ReadBack(width, height, dst, dst_pitch);
  }
  void DrawableSize(int32_t* width, int32_t* height) override {
    inner_->DrawableSize(width, height);
  }
  bool DeviceLost() override { return !Pass(GpuCall::kDeviceLost) || inner_->DeviceLost(); }
  void Release() override { inner_->Release(); }

 private:
  // Counts the call; false when it is the one to fail.
  bool Pass(GpuCall call) {
    if (plan_.log != nullptr) plan_.log->push_back(call);
    if ((plan_.always_fail >> static_cast<int>(call) & 1) != 0) return false;
    if (call != plan_.fail) return true;
    int32_t& uses = plan_.uses != nullptr ? *plan_.uses : uses_;
    ++uses;
    return !(plan_.nth == 0 || uses == plan_.nth);
  }

  std::unique_ptr<GpuDevice> inner_;
  GpuFaultPlan plan_;
  int32_t uses_ = 0;
};

}  // namespace

std::unique_ptr<GpuDevice> MakeStubGpuDevice() { return std::make_unique<StubGpuDevice>(); }

std::unique_ptr<GpuDevice> MakeFailingGpuDevice(std::unique_ptr<GpuDevice> inner,
                                                const GpuFaultPlan& plan) {
  return std::make_unique<FailingGpuDevice>(std::move(inner), plan);
}

}  // namespace korvel::test
