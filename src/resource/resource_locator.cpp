// Type codes by extension and the locator's data.
#include "resource/resource_locator.h"

#include "core/alloc_zeroed.h"
#include "core/shift_jis.h"

namespace korvel {

uint8_t TypeFromExtension(std::string_view name) {
  static constexpr struct {
    std::string_view extension;
    uint8_t type;
  } kTable[] = {{".bmp", kTypeBmp}, {".png", kTypePng}, {".jpg", kTypeJpg}, {".gif", kTypeGif},
                {".psd", kTypePsd}, {".kcg", kTypeKcg}, {".wav", kTypeWav}, {".ogg", kTypeOgg}};
  for (const auto& row : kTable) {
    if (StringEndsWith(name, row.extension)) return row.type;
  }
  return kTypeOther;
}

void FreeLocatorData(ResourceLocator* locator) {
  FreeBlock(locator->data);
  locator->data = nullptr;
  locator->size = 0;
}

bool NamesEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    const size_t n = SjisCharLength(a.data(), i, a.size());
    if (n == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else {
      char x = a[i];
      char y = b[i];
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
      if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
      if (x != y) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace korvel
