// Commands 85 and 86: conversions between numbers and texts, text edits and array edits of a
// variable, and information about a variable.
#include "script/var_commands.h"

#include <cstring>
#include <string>

#include "core/error_report.h"
#include "core/shift_jis.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "script/cp932_tables.h"
#include "script/decoded_arguments.h"
#include "script/format_constants.h"
#include "script/number_text.h"
#include "script/script_data.h"
#include "script/value_ops.h"
#include "script/variables.h"

namespace korvel {

namespace {

constexpr size_t kWorkLimit = kStringBufferSize - 1;

struct ElementRef {
  uint32_t number;
  int64_t index;
};

ElementRef RefOf(uint8_t param) {
  const DecodedArgument* a = FindArg(param);
  return a != nullptr ? ElementRef{a->var_number, a->element_index} : ElementRef{0, 0};
}

uint8_t TypeOf(ElementRef ref) {
  const VariableRecord* v = FindVariable(ref.number);
  return v != nullptr ? v->type : uint8_t{kVarUndeclared};
}

std::string TextOf(ElementRef ref) {
  const char* text = GetVarStringElement(ref.number, ref.index);
  return text != nullptr ? std::string(text) : std::string();
}

char* MutableText(ElementRef ref) {
  VariableRecord* v = FindVariable(ref.number);
  if (v == nullptr || v->type != kVarString || ref.index < 0 || ref.index >= v->count) return nullptr;
  return v->strings[ref.index];
}

int32_t Fail(int32_t code) {
  ReportScriptErrorPlain(code, true);
  return -1;
}

void Refuse(const char* utf8) { ShowMessageF("", "%s", Sjis(utf8)); }

// Parameter 6: a number into a text or a text into a number.
int32_t ConvertNumberText(ElementRef src, ElementRef dst) {
  const uint8_t st = TypeOf(src), dt = TypeOf(dst);
  if ((st != kVarString && dt != kVarString) || st == dt) return Fail(108200);
  char text[kNumberTextCapacity];
  switch (st) {
    case kVarInt:
      FormatInt64(text, GetVarIntElement(src.number, src.index));
      SetVarStringElement(dst.number, dst.index, text);
      return 0;
    case kVarReal:
      FormatDoubleFixed(text, GetVarRealElement(src.number, src.index));
      SetVarStringElement(dst.number, dst.index, text);
      return 0;
    case kVarString: {
      const std::string s = TextOf(src);
      int64_t integer = 0;
      double real = 0.0;
      bool has_dot = false;
      if (StartsWithHexPrefix(s.data(), s.size())) {
        if (!ParseHexText(s.data(), s.size(), &integer)) return -1;
      } else if (!ScanDecimalText(s.data(), s.size(), &has_dot)) {
        ReportScriptError(108210, true, s);
        return -1;
      } else if (has_dot) {
        real = ParseDoublePrefix(s.data(), s.size());
      } else {
        integer = ParseIntPrefix(s.data(), s.size());
      }
      if (dt != kVarInt && dt != kVarReal) return Fail(101140);
      if (has_dot) {
        SetVarRealElement(dst.number, dst.index, real);
      } else {
        SetVarNumberElement(dst.number, dst.index, integer);
      }
      return 0;
    }
    default:
      return 0;
  }
}

// The text test of the editing cases: the source, and the destination when given, are strings.
bool BothStrings(ElementRef src, ElementRef dst) {
  return TypeOf(src) == kVarString && (!ArgGiven(1) || TypeOf(dst) == kVarString);
}

// Parameters 3 (keep) and 2 (delete): the run of characters [start, start + count).
int32_t EditRun(ElementRef src, ElementRef dst, bool keep, uint8_t start_param, uint8_t count_param,
                int32_t start_error, int32_t count_error) {
  if (!BothStrings(src, dst)) return Fail(108220);
  const std::string s = TextOf(src);
  const int64_t start = ArgValue(start_param);
  const int64_t count = ArgValue(count_param);
  size_t begin = 0;
  if (start > 1 && !StepSjisChars(s.data(), s.size(), start - 1, false, &begin)) {
    return Fail(start_error);
  }
  size_t run = 0;
  if (count > 0 && !StepSjisChars(s.data() + begin, s.size() - begin, count, true, &run)) {
    return Fail(count_error);
  }
  const ElementRef target = ArgGiven(1) ? dst : src;
  if (keep) {
    SetVarStringElementBytes(target.number, target.index, s.data() + begin, run);
  } else {
    const std::string rest = s.substr(0, begin) + s.substr(begin + run);
    SetVarStringElementBytes(target.number, target.index, rest.data(), rest.size());
  }
  return 0;
}

// Parameters 11 and 12: half-width to full-width and back.
void ConvertWidth(const std::string& s, bool to_full, std::string* out) {
  out->clear();
  for (size_t i = 0; i < s.size();) {
    const size_t n = SjisCharLength(s.data(), i, s.size());
    char bytes[2];
    size_t m = 0;
    if (n == 2) {
      const auto code = static_cast<uint16_t>(static_cast<uint8_t>(s[i]) << 8 |
                                              static_cast<uint8_t>(s[i + 1]));
      const int32_t narrow = to_full ? -1 : Cp932NarrowOf(code);
      if (narrow >= 0) {
        bytes[m++] = static_cast<char>(narrow);
      } else {
        bytes[m++] = s[i];
        bytes[m++] = s[i + 1];
      }
    } else {
      const uint16_t wide = to_full ? kCp932FullWidthOf[static_cast<uint8_t>(s[i])] : 0;
      if (wide != 0) {
        bytes[m++] = static_cast<char>(wide >> 8);
        bytes[m++] = static_cast<char>(wide);
      } else {
        bytes[m++] = s[i];
      }
    }
    if (out->size() + m > kWorkLimit) break;  // the work buffer is full: cut here
    out->append(bytes, m);
    i += n;
  }
}

// Upper- or lower-cases with code page 932's multibyte rules (full-width letters too).
void CaseMultibyte(char* text, bool upper) {
  const size_t length = std::strlen(text);
  for (size_t i = 0; i < length;) {
    const size_t n = SjisCharLength(text, i, length);
    if (n == 2) {
      const auto code = static_cast<uint16_t>(static_cast<uint8_t>(text[i]) << 8 |
                                              static_cast<uint8_t>(text[i + 1]));
      const uint16_t other = upper ? Cp932UpperOf(code) : Cp932LowerOf(code);
      text[i] = static_cast<char>(other >> 8);
      text[i + 1] = static_cast<char>(other);
    } else if (upper && text[i] >= 'a' && text[i] <= 'z') {
      text[i] = static_cast<char>(text[i] - 'a' + 'A');
    } else if (!upper && text[i] >= 'A' && text[i] <= 'Z') {
      text[i] = static_cast<char>(text[i] - 'A' + 'a');
    }
    i += n;
  }
}

// Copies element `from` to element `to` of one variable.
void CopyElement(uint32_t number, int64_t to, int64_t from) {
  const VariableRecord* v = FindVariable(number);
  if (v == nullptr) return;
  if (v->type == kVarInt) {
    SetVarNumberElement(number, to, v->ints[from]);
  } else if (v->type == kVarReal) {
    SetVarRealElement(number, to, v->reals[from]);
  } else if (v->type == kVarString) {
    const std::string text = v->strings[from];
    SetVarStringElement(number, to, text.c_str());
  }
}

bool OneDimensional(ElementRef src, const char* refusal_utf8) {
  const VariableRecord* v = FindVariable(src.number);
  if (v != nullptr && v->dim_count == 1 && v->type != kVarUndeclared) return true;
  Refuse(refusal_utf8);
  return false;
}

// Parameters 11, 12, 7..10 and 13..15, each on the source as it then stands.
int32_t RunEdits(ElementRef src, ElementRef dst) {
  const ElementRef target = ArgGiven(1) ? dst : src;
  for (const uint8_t width : {uint8_t{11}, uint8_t{12}}) {
    if (!ArgGiven(width)) continue;
    if (!BothStrings(src, dst)) return Fail(108220);
    std::string out;
    ConvertWidth(TextOf(src), width == 11, &out);
    SetVarStringElementBytes(target.number, target.index, out.data(), out.size());
  }
  for (const uint8_t which : {uint8_t{7}, uint8_t{8}, uint8_t{9}, uint8_t{10}}) {
    if (!ArgGiven(which)) continue;
    if (!BothStrings(src, dst)) return Fail(108220);
    const std::string text = TextOf(src);
    SetVarStringElement(target.number, target.index, text.c_str());
    char* t = MutableText(target);
    if (t == nullptr) continue;
    if (which == 7) UpperCaseAscii(t);
    if (which == 8) CaseMultibyte(t, true);
    if (which == 9) LowercaseAsciiDbcs(t);
    if (which == 10) CaseMultibyte(t, false);
  }
  if (ArgGiven(13)) {
    if (!OneDimensional(src, "配列サイズを変更しようとしましたが、この変数は１次元配列ではありません。")) {
      return -1;
    }
    const VariableRecord* v = FindVariable(src.number);
    if (v == nullptr) return -1;
    const int64_t old_size = static_cast<int32_t>(v->dims[0]);
    const int64_t new_size =
        ApplyAssignOperator(static_cast<uint8_t>(FindArg(13)->op), old_size, ArgValue(13));
    if (new_size < 1) {
      Refuse("変更後の配列サイズが不正です。");
      return -1;
    }
    if (new_size != old_size) ResizeVarArray(src.number, new_size);
  }
  if (ArgGiven(14)) {
    if (!OneDimensional(src, "配列挿入処理をしようとしましたが、この変数は１次元配列ではありません。")) {
      return -1;
    }
    const VariableRecord* v = FindVariable(src.number);
    const int64_t n = v != nullptr ? v->count : 0;
    const int64_t p = ArgValue(14);
    if (p >= 0) {  // a negative position does nothing
      if (p < n - 1) {
        for (int64_t i = n - 1; i > p; --i) CopyElement(src.number, i, i - 1);
        SetVarElementEmpty(src.number, p);
      } else {
        SetVarElementEmpty(src.number, n - 1);
      }
    }
  }
  if (ArgGiven(15)) {
    if (!OneDimensional(src, "配列削除処理をしようとしましたが、この変数は１次元配列ではありません。")) {
      return -1;
    }
    const VariableRecord* v = FindVariable(src.number);
    const int64_t n = v != nullptr ? v->count : 0;
    const int64_t p = static_cast<int32_t>(ArgValue(15));
    if (p >= 0 && p <= n - 1) {  // a negative position does nothing
      for (int64_t i = p; i < n - 1; ++i) CopyElement(src.number, i, i + 1);
      SetVarElementEmpty(src.number, n - 1);
    }
  }
  return 0;
}

}  // namespace

size_t CountSjisChars(const char* text, size_t length) {
  size_t chars = 0;
  for (size_t i = 0; i < length; i += SjisCharLength(text, i, length)) ++chars;
  return chars;
}

bool StepSjisChars(const char* text, size_t length, int64_t chars, bool allow_end, size_t* offset) {
  size_t i = 0;
  for (int64_t c = 0; c < chars; ++c) {
    if (i >= length) return false;
    i += SjisCharLength(text, i, length);
  }
  if (!allow_end && i >= length) return false;
  *offset = i;
  return true;
}

void UpperCaseAscii(char* text) {
  const size_t length = std::strlen(text);
  for (size_t i = 0; i < length;) {
    const size_t n = SjisCharLength(text, i, length);
    if (n == 1 && text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 32);
    i += n;
  }
}

int32_t RunVarConvert() {
  if (!ArgGiven(0)) return 0;
  const ElementRef src = RefOf(0);
  const ElementRef dst = RefOf(1);
  if (ArgGiven(6)) return ConvertNumberText(src, ArgGiven(1) ? dst : src);
  if (ArgGiven(3)) return EditRun(src, dst, true, 4, 5, 120010, 120020);
  if (ArgGiven(2)) return EditRun(src, dst, false, 4, 5, 120110, 120120);
  return RunEdits(src, dst);
}

namespace {

// Parameter 14: the first index from the start whose element equals the needle, else -1.
int64_t SearchElements(const VariableRecord& v, uint32_t number) {
  const int64_t n = static_cast<int32_t>(v.dims[0]);
  int64_t start = ArgGiven(18) ? static_cast<int32_t>(ArgValue(18)) : 0;
  if (start < 0) start = 0;  // nothing lies before the first element
  if (v.type == kVarString && !ArgGiven(17)) return -1;
  for (int64_t i = start; i < n && i < v.count; ++i) {
    switch (v.type) {
      case kVarInt:
        if (v.ints[i] == ArgValue(15)) return i;
        break;
      case kVarReal:
        if (v.reals[i] == static_cast<double>(ArgValue(16))) return i;
        break;
      case kVarString: {
        const char* text = GetVarStringElement(number, i);
        if (text != nullptr && std::strcmp(text, ArgText(17)) == 0) return i;
        break;
      }
      default:
        return 0;
    }
  }
  return -1;
}

// Parameter 3's answer goes into the destination element directly.
void StoreDirect(ElementRef dst, int64_t value) {
  VariableRecord* d = FindVariable(dst.number);
  if (d == nullptr || dst.index < 0 || dst.index >= d->count) return;
  if (d->type == kVarInt) {
    d->ints[dst.index] = value;
  } else if (d->type == kVarReal) {
    d->reals[dst.index] = static_cast<double>(value);
  } else {
    ReportScriptErrorPlain(101140, true);
  }
}

}  // namespace

int32_t RunVarInfo() {
  if (!ArgGiven(0)) return 0;
  const ElementRef ref = RefOf(0);
  const ElementRef dst = RefOf(1);
  const VariableRecord* v = FindVariable(ref.number);
  if (v == nullptr) return 0;
  for (uint8_t param = 2; param <= 14; ++param) {
    if (!ArgGiven(param)) continue;
    int64_t answer = 0;
    if (param == 2) {
      answer = v->type;
    } else if (param == 3) {
      const char* text = GetVarStringElement(ref.number, ref.index);
      if (text == nullptr || text[0] == '\0') {
        ReportScriptError(101450, true, CommandName(kCommandVarInfo),
                          ParameterName(kCommandVarInfo, 3));
        return -1;
      }
      StoreDirect(dst, IsCp932LeadByte(static_cast<uint8_t>(text[0])) ? 2 : 1);
      return 0;
    } else if (param == 4) {
      answer = v->dim_count;
    } else if (param <= 12) {
      answer = static_cast<int32_t>(v->dims[param - 5]);
    } else if (param == 13) {
      if (v->type != kVarString) return Fail(108220);
      const char* text = GetVarStringElement(ref.number, ref.index);
      answer = text != nullptr ? static_cast<int64_t>(CountSjisChars(text, std::strlen(text))) : 0;
    } else {
      answer = v->type == kVarUndeclared ? 0 : SearchElements(*v, ref.number);
    }
    SetVarNumberElement(dst.number, dst.index, answer);
    return 0;
  }
  return 0;
}

int32_t RunVarInfoCommand() {
  if (g_argument_decoder(kCommandVarInfo) != 0) return -1;
  return RunVarInfo();
}

int32_t RunVarConvertCommand() {
  if (g_argument_decoder(kCommandVarConvert) != 0) return -1;
  return RunVarConvert();
}

}  // namespace korvel
