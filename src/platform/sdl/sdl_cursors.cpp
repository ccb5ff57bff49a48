// Cursor shapes through SDL: its system cursors where it has them, small bitmaps of our own for
// the up-arrow and help cursors it lacks, and colour cursors made from images.
#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {
namespace {

constexpr int kArtSide = 16;

// 'X' black, '.' white, anything else transparent.
constexpr const char* kUpArrowArt[kArtSide] = {
    "       X        ",
    "      X.X       ",
    "     X...X      ",
    "    X.....X     ",
    "   X.......X    ",
    "  X.........X   ",
    " XXXXX...XXXXX  ",
    "     X...X      ",
    "     X...X      ",
    "     X...X      ",
    "     X...X      ",
    "     X...X      ",
    "     X...X      ",
    "     X...X      ",
    "     XXXXX      ",
    "                ",
};

constexpr const char* kHelpArt[kArtSide] = {
    "X               ",
    "XX              ",
    "X.X      XXXX   ",
    "X..X    X....X  ",
    "X...X  X..XX..X ",
    "X....X X..XX..X ",
    "X.....X XXX..X  ",
    "X......X  X..X  ",
    "X.......XX..X   ",
    "X....XXXXX..X   ",
    "X..X..X  XXXX   ",
    "X.X X..X X..X   ",
    "XX  X..X X..X   ",
    "X    X..XXXXX   ",
    "     X..X       ",
    "      XX        ",
};

SDL_Cursor* CursorFromArt(const char* const* art, int hot_x, int hot_y) {
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormat(0, kArtSide, kArtSide, 32, SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return nullptr;
  for (int y = 0; y < kArtSide; ++y) {
    auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + y * surface->pitch);
    for (int x = 0; x < kArtSide; ++x) {
      row[x] = art[y][x] == 'X' ? 0xFF000000u : art[y][x] == '.' ? 0xFFFFFFFFu : 0u;
    }
  }
  SDL_Cursor* cursor = SDL_CreateColorCursor(surface, hot_x, hot_y);
  SDL_FreeSurface(surface);
  return cursor;
}

SDL_Cursor* MakeCursor(SystemCursor cursor) {
  switch (cursor) {
    case SystemCursor::kUpArrow: return CursorFromArt(kUpArrowArt, 7, 0);
    case SystemCursor::kHelp: return CursorFromArt(kHelpArt, 0, 0);
    case SystemCursor::kIBeam: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_IBEAM);
    case SystemCursor::kWait: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
    case SystemCursor::kCross: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_CROSSHAIR);
    case SystemCursor::kSizeNwse: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZENWSE);
    case SystemCursor::kSizeNesw: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZENESW);
    case SystemCursor::kSizeWe: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZEWE);
    case SystemCursor::kSizeNs: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZENS);
    case SystemCursor::kSizeAll: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZEALL);
    case SystemCursor::kNo: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_NO);
    case SystemCursor::kHand: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
    case SystemCursor::kAppStarting: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAITARROW);
    case SystemCursor::kArrow: break;
  }
  return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
}

}  // namespace

void FreeCursors() {
  SDL_SetCursor(SDL_GetDefaultCursor());
  for (SDL_Cursor*& cursor : g_sdl.system_cursors) {
    if (cursor != nullptr) SDL_FreeCursor(cursor);
    cursor = nullptr;
  }
  if (g_sdl.image_cursor != nullptr) SDL_FreeCursor(g_sdl.image_cursor);
  g_sdl.image_cursor = nullptr;
}

bool SdlBackend::SetSystemCursor(SystemCursor cursor) {
  bool made = false;
  OnMainThread([&] {
    const auto index = static_cast<size_t>(cursor);
    if (index >= static_cast<size_t>(kSystemCursorCount)) return;
    SDL_Cursor*& slot = g_sdl.system_cursors[index];
    if (slot == nullptr) slot = MakeCursor(cursor);
    if (slot == nullptr) return;
    SDL_SetCursor(slot);
    made = true;
  });
  return made;
}

bool SdlBackend::SetImageCursor(const uint8_t* bgra, int32_t width, int32_t height, int32_t hot_x,
                                int32_t hot_y) {
  bool made = false;
  OnMainThread([&] {
    // Top-down rows of blue, green, red, alpha bytes.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint8_t*>(bgra), width, height, 32, width * 4, SDL_PIXELFORMAT_BGRA32);
    if (surface == nullptr) return;
    SDL_Cursor* cursor = SDL_CreateColorCursor(surface, hot_x, hot_y);
    SDL_FreeSurface(surface);
    if (cursor == nullptr) return;
    SDL_SetCursor(cursor);
    if (g_sdl.image_cursor != nullptr) SDL_FreeCursor(g_sdl.image_cursor);
    g_sdl.image_cursor = cursor;
    made = true;
  });
  return made;
}

}  // namespace korvel::platform::sdl
