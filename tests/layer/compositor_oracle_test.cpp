// The compositor against a naive one with the same rules: seeded random sequences of layer
// operations (move, hide, show, opacity, resize, create, release, order, blend mode, nested
// groups, masks, repaints, and the draw command's copies, rule transitions, crop, canvas and
// swap); after every frame the presented pixels equal the naive composition,
// and one worker and two workers present the same frames.
//
// The pixel kernels work on pixel pairs and aligned groups, with other formulas for a lone last
// pixel or an unaligned start, so a blend's result depends on where its span starts and ends; the
// compositor blends only inside the dirty rectangle and the naive one blends whole rows. For the
// comparison both run with the paired slots applied one pixel at a time (the kernels themselves
// are tested against pixman by the pixel tests). The worker comparison uses the kernels as they
// are: the workers split rows, never spans.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "compositor_oracle.h"
#include "layer/dirty_rects.h"
#include "layer/draw_command.h"
#include "layer_test_env.h"
#include "param_names.h"
#include "pixel/pixel_kernels.h"

namespace korvel {
namespace {

using test::LayerEnv;

// The installed kernels, while the per-pixel versions below stand in for them.
PixelKernelTable g_paired;

template <RowFn PixelKernelTable::*Slot>
void PerPixel(uint8_t* d, const uint8_t* s, size_t bytes) {
  for (size_t i = 0; i + 4 <= bytes; i += 4) (g_paired.*Slot)(d + i, s + i, 4);
}
template <RowOpacityFn PixelKernelTable::*Slot>
void PerPixelOpacity(uint8_t* d, const uint8_t* s, int32_t o, size_t bytes) {
  for (size_t i = 0; i + 4 <= bytes; i += 4) (g_paired.*Slot)(d + i, s + i, o, 4);
}
void PerPixelMask(uint8_t* d, const uint8_t* s, const uint8_t* m, const MaskWeightTable& w,
                  int32_t level, int32_t ramp, size_t bytes) {
  for (size_t i = 0; i + 4 <= bytes; i += 4) {
    g_paired.blend_mask_table(d + i, s + i, m + i, w, level, ramp, 4);
  }
}

// Installs the per-pixel versions for the object's life.
class PerPixelKernels {
 public:
  PerPixelKernels() {
    g_paired = g_pixel_kernels;
    PixelKernelTable& t = g_pixel_kernels;
    t.blend_opacity = PerPixelOpacity<&PixelKernelTable::blend_opacity>;
    t.blend_src_alpha = PerPixel<&PixelKernelTable::blend_src_alpha>;
    t.blend_src_alpha_opacity = PerPixelOpacity<&PixelKernelTable::blend_src_alpha_opacity>;
    t.blend_mask_table = PerPixelMask;
    t.add_saturate = PerPixel<&PixelKernelTable::add_saturate>;
    t.add_saturate_opacity = PerPixelOpacity<&PixelKernelTable::add_saturate_opacity>;
    t.add_src_alpha = PerPixel<&PixelKernelTable::add_src_alpha>;
    t.add_src_alpha_opacity = PerPixelOpacity<&PixelKernelTable::add_src_alpha_opacity>;
    t.subtract_saturate = PerPixel<&PixelKernelTable::subtract_saturate>;
    t.multiply = PerPixel<&PixelKernelTable::multiply>;
    t.screen = PerPixel<&PixelKernelTable::screen>;
    t.screen_opacity = PerPixelOpacity<&PixelKernelTable::screen_opacity>;
    t.lighten = PerPixel<&PixelKernelTable::lighten>;
    t.darken = PerPixel<&PixelKernelTable::darken>;
    t.linear_burn = PerPixel<&PixelKernelTable::linear_burn>;
    t.linear_light = PerPixel<&PixelKernelTable::linear_light>;
  }
  ~PerPixelKernels() { g_pixel_kernels = g_paired; }
  PerPixelKernels(const PerPixelKernels&) = delete;
  PerPixelKernels& operator=(const PerPixelKernels&) = delete;
};

struct Entry {
  std::string path;  // relative to W0, without the group's '/'
  bool group = false;
  bool mask = false;  // a hidden layer that serves as a mask
  bool masked = false;  // has a mask of its own size (its size must stay)
};

class RandomLayerSequence {
 public:
  RandomLayerSequence(uint32_t seed, int steps) : rng_(seed), steps_(steps) {}

  // Runs the sequence; calls `frame` after every step with the presented frame (empty when the
  // frame presented nothing).
  template <typename OnFrame>
  void Run(OnFrame on_frame) {
    std::vector<uint8_t> presented;
    for (int step = 0; step < steps_; ++step) {
      const int ops = Pick(1, 3);
      for (int i = 0; i < ops; ++i) Operate();
      SweepLayerChanges();
      ASSERT_EQ(RenderWindowIfDirty(0), 0) << LastErrorReport().message;
      LayerData* root = LayerOf(g_windows[0]->root_layer);
      ASSERT_NE(root, nullptr);
      const bool shown = root->needs_redraw != 0;
      if (shown) {
        const std::vector<uint8_t> before = presented;
        presented.assign(root->pixels,
                         root->pixels + static_cast<size_t>(root->width) * root->height * 4);
        ExpectChangesInsideFrameParts(*root, before, presented, step);
        if (DirtyPartsSplit(root->frame_parts, root->frame_rect)) ++split_frames_;
      }
      ResetAllLayerDirtyRects();
      on_frame(step, presented, shown);
      if (::testing::Test::HasFatalFailure() || ::testing::Test::HasNonfatalFailure()) return;
    }
  }

 private:
  // What the presentation hands to the window system (the frame rectangle, or its parts when they
  // split it) holds every pixel that differs from the frame presented before.
  static void ExpectChangesInsideFrameParts(const LayerData& root,
                                            const std::vector<uint8_t>& before,
                                            const std::vector<uint8_t>& after, int step) {
    if (before.size() != after.size()) return;  // the first frame, or a resize: shown whole
    const DirtyParts& parts = root.frame_parts;
    const bool split = DirtyPartsSplit(parts, root.frame_rect);
    const auto inside = [](const DirtyRect& r, int64_t x, int64_t y) {
      return x >= r.x0 && x <= r.x1 && y >= r.y0 && y <= r.y1;
    };
    for (size_t i = 0; i < after.size(); i += 4) {
      if (std::memcmp(&before[i], &after[i], 4) == 0) continue;
      const int64_t x = static_cast<int64_t>(i / 4 % static_cast<size_t>(root.width));
      const int64_t y = static_cast<int64_t>(i / 4 / static_cast<size_t>(root.width));
      bool covered = inside(root.frame_rect, x, y);
      if (covered && split) {
        covered = false;
        for (int p = 0; p < parts.count && !covered; ++p) covered = inside(parts.rects[p], x, y);
      }
      ASSERT_TRUE(covered) << "step " << step << ": pixel (" << x << ", " << y
                           << ") changed outside what is presented";
    }
  }

  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int percent) { return Pick(1, 100) <= percent; }

  std::string NewName(const char* prefix) { return prefix + std::to_string(next_++); }
  // A parent for a new layer: W0 or one of the groups.
  std::string ParentPrefix() {
    std::vector<const Entry*> groups;
    for (const Entry& e : entries_) {
      if (e.group && std::count(e.path.begin(), e.path.end(), '/') < 2) groups.push_back(&e);
    }
    if (groups.empty() || Chance(40)) return "";
    return groups[static_cast<size_t>(Pick(0, static_cast<int>(groups.size()) - 1))]->path + "/";
  }
  Entry* Any(bool images_only = false) {
    std::vector<Entry*> pool;
    for (Entry& e : entries_) {
      if (!e.mask && (!images_only || !e.group)) pool.push_back(&e);
    }
    if (pool.empty()) return nullptr;
    return pool[static_cast<size_t>(Pick(0, static_cast<int>(pool.size()) - 1))];
  }
  static std::string CommandPath(const Entry& e) { return e.group ? e.path + "/" : e.path; }

  void Apply(LayerCommandArgs& a) { ASSERT_EQ(ApplyLayerCommand(a), 0) << a.text[0]; }

  void Paint(const std::string& path, bool alpha) {
    NamedTreeNode* node = LayerEnv_Node(path, false);
    LayerData* l = LayerOf(node);
    ASSERT_NE(l, nullptr) << path;
    const bool solid = Chance(50);
    const uint32_t colour = static_cast<uint32_t>(rng_());
    for (int64_t i = 0; i < int64_t{l->width} * l->height; ++i) {
      uint32_t p = solid ? colour : static_cast<uint32_t>(rng_());
      if (!alpha) p |= 0xFF000000u;
      std::memcpy(l->pixels + i * 4, &p, 4);
    }
    l->has_alpha = alpha ? 1 : 0;
    MarkDirtyUpward(node);
  }
  static NamedTreeNode* LayerEnv_Node(const std::string& path, bool group) {
    LayerPath p;
    if (NormalizeLayerPath(path, &p) != 0) return nullptr;
    return FindLayerQuiet(p.text, group);
  }

  void CreateImage(bool as_mask, const std::string& parent, int32_t w, int32_t h, int64_t x,
                   int64_t y) {
    const std::string path = parent + NewName(as_mask ? "m" : "i");
    LayerCommandArgs a;
    a.Text(kLayerPath, path).Text(kLayerImage, "").Set(kLayerOrder, Pick(1, 6));
    a.Set(kLayerWidth, w).Set(kLayerHeight, h).Set(kLayerX, x).Set(kLayerY, y);
    if (as_mask) a.Set(kLayerVisible, 0);
    Apply(a);
    Paint(path, !as_mask && Chance(50));
    entries_.push_back(Entry{path, false, as_mask});
  }

  void Operate() {
    const int op = Pick(0, 17);
    Entry* e = Any();
    switch (op) {
      case 0:
      case 1: {  // a new image layer; sometimes one that covers its parent
        const bool cover = Chance(25);
        CreateImage(false, ParentPrefix(), cover ? 80 : Pick(1, 40), cover ? 60 : Pick(1, 30),
                    cover ? -Pick(0, 4) : Pick(-10, 60), cover ? -Pick(0, 4) : Pick(-10, 45));
        break;
      }
      case 2: {  // a new group
        const std::string path = ParentPrefix() + NewName("g");
        LayerCommandArgs a;
        a.Text(kLayerPath, path + "/").Set(kLayerOrder, Pick(1, 6));
        a.Set(kLayerWidth, Pick(4, 50)).Set(kLayerHeight, Pick(4, 40));
        a.Set(kLayerX, Pick(-8, 50)).Set(kLayerY, Pick(-8, 40));
        Apply(a);
        entries_.push_back(Entry{path, true, false});
        break;
      }
      case 3: {  // move
        if (e == nullptr) break;
        LayerCommandArgs a;
        a.Text(kLayerPath, CommandPath(*e));
        a.Set(Chance(50) ? kLayerX : kLayerY, Pick(-20, 20), static_cast<uint8_t>(Pick(0, 2)));
        Apply(a);
        break;
      }
      case 4: {  // hide or show
        if (e == nullptr) break;
        LayerCommandArgs a;
        a.Text(kLayerPath, CommandPath(*e)).Set(kLayerVisible, Chance(60) ? 1 : 0);
        Apply(a);
        break;
      }
      case 5: {  // opacity with every operation
        if (e == nullptr) break;
        LayerCommandArgs a;
        const auto operation = static_cast<uint8_t>(Pick(0, 4));
        const int64_t operand = operation == 0 ? Pick(0, 256) : Pick(-150, 150);
        a.Text(kLayerPath, CommandPath(*e)).Set(kLayerOpacity, operand, operation);
        Apply(a);
        break;
      }
      case 6: {  // resize a group
        Entry* g = nullptr;
        for (Entry& x : entries_) {
          if (x.group && Chance(50)) g = &x;
        }
        if (g == nullptr) break;
        LayerCommandArgs a;
        a.Text(kLayerPath, g->path + "/");
        if (Chance(70)) a.Set(kLayerWidth, Chance(5) ? 0 : Pick(1, 60));
        if (Chance(70)) a.Set(kLayerHeight, Pick(1, 50));
        Apply(a);
        break;
      }
      case 7: {  // release
        if (e == nullptr || Chance(40)) break;
        const std::string gone = e->path;
        ASSERT_EQ(ApplyReleaseLayerCommand(CommandPath(*e)), 0);
        std::erase_if(entries_, [&gone](const Entry& x) {
          return x.path == gone || x.path.rfind(gone + "/", 0) == 0;
        });
        break;
      }
      case 8: {  // blend mode
        if (e == nullptr) break;
        LayerCommandArgs a;
        a.Text(kLayerPath, CommandPath(*e)).Set(kLayerBlendMode, Chance(50) ? 0 : Pick(0, 18));
        Apply(a);
        break;
      }
      case 9: {  // a mask of the same size for an image layer
        Entry* target = Any(true);
        if (target == nullptr) break;
        const LayerData* t = LayerOf(LayerEnv_Node(target->path, false));
        if (t == nullptr) break;
        target->masked = true;
        const std::string target_path = target->path;
        const size_t slash = target_path.rfind('/');
        const std::string parent =
            slash == std::string::npos ? "" : target_path.substr(0, slash + 1);
        CreateImage(true, parent, t->width, t->height, 0, 0);
        LayerCommandArgs a;
        a.Text(kLayerPath, target_path).Text(kLayerMaskPath, ":W0/" + entries_.back().path);
        a.Set(kLayerMaskLevel, Chance(20) ? 256 : Pick(0, 256));
        a.Set(kLayerMaskRamp, Chance(30) ? 256 : Pick(0, 300));
        Apply(a);
        break;
      }
      case 10: {  // order
        if (e == nullptr) break;
        LayerCommandArgs a;
        a.Text(kLayerPath, CommandPath(*e)).Set(kLayerOrder, Pick(1, 6));
        Apply(a);
        break;
      }
      case 11: {  // new pixels in an image layer
        Entry* i = Any(true);
        if (i != nullptr) Paint(i->path, Chance(50));
        break;
      }
      case 12: {  // a mask level change
        Entry* i = Any(true);
        if (i == nullptr) break;
        LayerCommandArgs a;
        a.Text(kLayerPath, i->path)
            .Set(kLayerMaskLevel, Pick(-50, 100), static_cast<uint8_t>(Pick(0, 2)));
        Apply(a);
        break;
      }
      case 13: {  // a copy of one image into another
        Entry* from = Any(true);
        Entry* into = Any(true);
        if (from == nullptr || into == nullptr) break;
        static constexpr uint8_t kFlags[] = {30, 31, 34, 35};
        DrawCommandArgs a;
        a.Text(kDrawLayer0, from->path).Text(kDrawLayer1, into->path);
        a.Set(kFlags[Pick(0, 3)], 1).Set(kDrawX0, Pick(-20, 30)).Set(kDrawY0, Pick(-20, 30));
        Draw(a);
        break;
      }
      case 14: {  // a rule transition of an image with itself as "to" and rule into another
        Entry* from = Any(true);
        Entry* into = Any(true);
        if (from == nullptr || into == nullptr) break;
        DrawCommandArgs a;
        a.Text(kDrawLayer0, from->path).Text(kDrawLayer1, from->path);
        a.Text(kDrawLayer2, from->path).Text(kDrawLayer3, into->path).Set(33, 1);
        a.Set(kDrawValueA, Pick(-10, 270)).Set(kDrawValueB, Chance(30) ? 256 : Pick(0, 300));
        a.Set(kDrawX0, Pick(-20, 30)).Set(kDrawY0, Pick(-20, 30));
        Draw(a);
        break;
      }
      case 15: {  // crop or canvas change in place (the layer's area changes)
        Entry* i = Any(true);
        if (i == nullptr || i->masked) break;
        DrawCommandArgs a;
        a.Text(kDrawLayer0, i->path);
        if (Chance(50)) {
          a.Set(36, 1).Set(kDrawValueA, Pick(0, 15));
        } else {
          a.Set(37, 1).Set(kDrawX0, Pick(-3, 6)).Set(kDrawY0, Pick(-3, 6));
          a.Set(kDrawX1, Pick(-3, 6)).Set(kDrawY1, Pick(-3, 6));
          const LayerData* l = LayerOf(LayerEnv_Node(i->path, false));
          if (l == nullptr || a.value[kDrawX0] + a.value[kDrawX1] + l->width < 1 ||
              a.value[kDrawY0] + a.value[kDrawY1] + l->height < 1) {
            break;
          }
        }
        Draw(a);
        break;
      }
      case 16: {  // swap two layers of one parent
        Entry* x = Any(true);
        Entry* y = Any(true);
        if (x == nullptr || y == nullptr || x == y) break;
        const auto parent = [](const std::string& p) {
          const size_t slash = p.rfind('/');
          return slash == std::string::npos ? std::string() : p.substr(0, slash);
        };
        if (parent(x->path) != parent(y->path)) break;
        DrawCommandArgs a;
        a.Text(kDrawLayer0, x->path).Text(kDrawLayer1, y->path).Set(Chance(50) ? 60 : 61, 1);
        Draw(a);
        // The names moved with the swap: each path now names the other record, whose mask
        // pairing goes with it.
        std::swap(x->masked, y->masked);
        break;
      }
      default:  // a frame without changes
        break;
    }
  }

  void Draw(const DrawCommandArgs& a) { ASSERT_EQ(ApplyDrawCommand(a), 0) << a.text[0]; }

 public:
  int split_frames() const { return split_frames_; }

 private:
  std::mt19937 rng_;
  int steps_;
  int split_frames_ = 0;  // frames composed and presented in separate parts
  int next_ = 0;
  std::vector<Entry> entries_;
};

class CompositorOracleTest : public LayerEnv, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override {}  // each run starts its own environment
};

// Runs one seeded sequence with `workers` workers; returns every presented frame.
std::vector<std::vector<uint8_t>> RunSequence(uint32_t seed, int workers, bool check_oracle,
                                              int* split_frames = nullptr) {
  std::vector<std::vector<uint8_t>> frames;
  RandomLayerSequence sequence(seed, 120);
  sequence.Run([&](int step, const std::vector<uint8_t>& presented, bool shown) {
    if (shown) frames.push_back(presented);
    if (!check_oracle) return;
    const test::OracleImage expected = test::OracleCompose(g_windows[0]->root_layer);
    ASSERT_EQ(presented.size(), expected.pixels.size());
    if (presented != expected.pixels) {
      size_t i = 0;
      while (presented[i] == expected.pixels[i]) ++i;
      FAIL() << "seed " << seed << " workers " << workers << " step " << step << ": pixel ("
             << (i / 4) % static_cast<size_t>(expected.width) << ", "
             << (i / 4) / static_cast<size_t>(expected.width) << ") byte " << i % 4
             << " presented " << int{presented[i]} << " expected " << int{expected.pixels[i]};
    }
  });
  if (split_frames != nullptr) *split_frames = sequence.split_frames();
  return frames;
}

TEST_P(CompositorOracleTest, PresentedFramesEqualTheNaiveComposition) {
  const uint32_t seed = GetParam();
  PerPixelKernels per_pixel;
  StartEnv(1);
  // Odd seeds post every clip to the workers; even seeds blend small clips on this thread.
  if (seed % 2 == 1) g_compositor.inline_pixels = 0;
  int split_frames = 0;
  RunSequence(seed, 1, true, &split_frames);
  StopEnv();
  // Far-apart changes in one frame are common enough that every sequence composes some frames
  // part by part.
  EXPECT_GT(split_frames, 0);
}

TEST_P(CompositorOracleTest, OneAndTwoWorkersPresentTheSameFrames) {
  const uint32_t seed = GetParam();
  const PixelKernelTable installed = g_pixel_kernels;
  InstallPixelKernels(KernelSet::kSse, DetectPixelIsa());
  StartEnv(1);
  g_compositor.inline_pixels = 0;
  const auto one = RunSequence(seed, 1, false);
  StopEnv();
  StartEnv(2);
  g_compositor.inline_pixels = 0;
  const auto two = RunSequence(seed, 2, false);
  StopEnv();
  g_pixel_kernels = installed;
  ASSERT_EQ(one.size(), two.size());
  for (size_t i = 0; i < one.size(); ++i) ASSERT_TRUE(one[i] == two[i]) << "frame " << i;
}

INSTANTIATE_TEST_SUITE_P(Seeds, CompositorOracleTest,
                         ::testing::Values(1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 20240601u, 77777u),
                         test::CaseName());

}  // namespace
}  // namespace korvel
