// REGEDIT4 text: headers, key sections, value lines with their string, dword and hex data.
#include "commands/registry_file.h"

#include "platform/ascii_text.h"
#include "platform/text_encoding.h"

namespace korvel {

namespace {

using platform::AsciiLower;
using platform::EqualsNoCase;
using platform::TrimAsciiSpace;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A quoted string at the start of `text` (after its opening quote has been seen at text[0]) with
// the escapes \\ and \"; `*rest` receives what follows the closing quote. False when unclosed.
bool ReadQuoted(std::string_view text, std::string* out, std::string_view* rest) {
  out->clear();
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      out->push_back(text[++i]);
    } else if (c == '"') {
      *rest = text.substr(i + 1);
      return true;
    } else {
      out->push_back(c);
    }
  }
  return false;
}

// The bytes of "hex:01,02,..."; false on anything but pairs of hex digits and commas.
bool ReadHexBytes(std::string_view text, std::string* out) {
  out->clear();
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == ',')) ++i;
    if (i >= text.size()) break;
    const int high = HexDigit(text[i]);
    const int low = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
    if (high < 0) return false;
    if (low < 0) {
      out->push_back(static_cast<char>(high));
      ++i;
    } else {
      out->push_back(static_cast<char>(high * 16 + low));
      i += 2;
    }
    if (i < text.size() && text[i] != ',' && text[i] != ' ' && text[i] != '\t') return false;
  }
  return true;
}

// True when the line ends, outside a quoted string, with a '\' that continues it.
bool Continues(std::string_view line) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (quoted && line[i] == '\\') {
      ++i;
    } else if (line[i] == '"') {
      quoted = !quoted;
    }
  }
  return !quoted && !line.empty() && line.back() == '\\';
}

RegistryKey* KeyFor(RegistryData* data, const std::string& path) {
  for (RegistryKey& key : data->keys) {
    if (EqualsNoCase(key.path, path)) return &key;
  }
  data->keys.push_back(RegistryKey{path, {}});
  return &data->keys.back();
}

std::string KeyPath(std::string_view text) {
  while (!text.empty() && text.back() == '\\') text.remove_suffix(1);
  return std::string(text);
}

// One value line of key `key`.
void ReadValueLine(std::string_view line, RegistryKey* key) {
  std::string name;
  std::string_view rest;
  if (line.front() == '@') {
    rest = line.substr(1);
  } else if (line.front() == '"') {
    std::string utf8_name;
    if (!ReadQuoted(line, &utf8_name, &rest)) return;
    name = platform::Utf8ToCp932(utf8_name);
  } else {
    return;
  }
  rest = TrimAsciiSpace(rest);
  if (rest.empty() || rest.front() != '=') return;
  rest = TrimAsciiSpace(rest.substr(1));
  RegistryValue value{name, 1, {}};
  if (!rest.empty() && rest.front() == '"') {
    std::string utf8;
    std::string_view after;
    if (!ReadQuoted(rest, &utf8, &after) || !TrimAsciiSpace(after).empty()) return;
    value.data = platform::Utf8ToCp932(utf8);
    value.data.push_back('\0');
  } else if (rest.size() > 6 && EqualsNoCase(rest.substr(0, 6), "dword:")) {
    const std::string_view digits = TrimAsciiSpace(rest.substr(6));
    if (digits.empty() || digits.size() > 8) return;
    uint32_t number = 0;
    for (const char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return;
      number = number * 16 + static_cast<uint32_t>(d);
    }
    value.type = 4;
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<char>(number >> (8 * i)));
  } else if (rest.size() >= 4 && EqualsNoCase(rest.substr(0, 3), "hex")) {
    std::string_view bytes = rest.substr(3);
    value.type = 3;
    if (!bytes.empty() && bytes.front() == '(') {
      const size_t close = bytes.find(')');
      if (close == std::string_view::npos || close < 2 || close > 9) return;
      uint32_t type = 0;
      for (const char c : bytes.substr(1, close - 1)) {
        const int d = HexDigit(c);
        if (d < 0) return;
        type = type * 16 + static_cast<uint32_t>(d);
      }
      value.type = type;
      bytes = bytes.substr(close + 1);
    }
    if (bytes.empty() || bytes.front() != ':') return;
    if (!ReadHexBytes(bytes.substr(1), &value.data)) return;
  } else {
    return;  // "-" deletes; anything else is not a value
  }
  for (RegistryValue& existing : key->values) {
    if (EqualsNoCase(existing.name, value.name)) {
      existing = std::move(value);
      return;
    }
  }
  key->values.push_back(std::move(value));
}

}  // namespace

void ParseRegistryText(std::string_view utf8, RegistryData* out) {
  out->keys.clear();
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  std::vector<std::string> lines;
  std::string joined;
  size_t at = 0;
  while (at < utf8.size()) {
    size_t end = utf8.find('\n', at);
    if (end == std::string_view::npos) end = utf8.size();
    std::string_view line = TrimAsciiSpace(utf8.substr(at, end - at));
    at = end + 1;
    if (Continues(line)) {
      line.remove_suffix(1);
      joined += line;
      continue;
    }
    joined += line;
    lines.push_back(std::move(joined));
    joined.clear();
  }
  if (!joined.empty()) lines.push_back(std::move(joined));

  bool header = false;
  RegistryKey* key = nullptr;
  for (const std::string& text : lines) {
    const std::string_view line = TrimAsciiSpace(text);
    if (line.empty() || line.front() == ';') continue;
    if (!header) {
      if (line != "REGEDIT4" && line != "Windows Registry Editor Version 5.00") return;
      header = true;
      continue;
    }
    if (line.front() == '[') {
      key = nullptr;
      if (line.back() != ']' || line.size() < 3 || line[1] == '-') continue;  // deletions skipped
      key = KeyFor(out, KeyPath(platform::Utf8ToCp932(line.substr(1, line.size() - 2))));
      continue;
    }
    if (key != nullptr) ReadValueLine(line, key);
  }
}

const RegistryValue* FindRegistryValue(const RegistryData& data, std::string_view path,
                                       std::string_view name) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  for (const RegistryKey& key : data.keys) {
    if (!EqualsNoCase(key.path, path)) continue;
    for (const RegistryValue& value : key.values) {
      if (EqualsNoCase(value.name, name)) return &value;
    }
  }
  return nullptr;
}

}  // namespace korvel
