// The opcode handlers of the expression evaluator and the interpreter loop.
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/error_report.h"
#include "core/shift_jis.h"
#include "core/sjis_text.h"
#include "core/text_format.h"
#include "core/byte_reader.h"
#include "script/expression_machine.h"
#include "script/number_text.h"
#include "script/script_arith.h"
#include "script/variables.h"

namespace korvel {

ExpressionMachine g_expr{};
OpcodeHandler g_opcode_table[256];

namespace {

constexpr int32_t kStop = -1;
constexpr size_t kMaxText = kStringBufferSize - 1;

bool RealArith() {
  return (g_expr.mode == kModeReal || g_expr.mode == kModeStringReal) && g_expr.level == 0;
}

// Broken bytecode or an exceeded limit: a clear fatal error naming what went wrong.
int32_t Malformed(const char* what_utf8) {
  const int32_t opcode = g_expr.ip != nullptr ? g_expr.ip[0] : 0;
  ReportScriptError(900030, true, Sjis(what_utf8), opcode);
  return kStop;
}

int32_t MixedTypes() {
  ReportScriptErrorPlain(160010, true);
  return kStop;
}

// A free string slot (allocated on first use), or -1 after a report.
int32_t TakeSlot() {
  const int32_t slot = g_expr.next_slot;
  if (slot >= kExprSlotCount) {
    Malformed("文字列の数が多すぎます");
    return -1;
  }
  if (g_expr.slots[slot] == nullptr) {
    g_expr.slots[slot] = static_cast<char*>(std::malloc(kStringBufferSize));
    if (g_expr.slots[slot] == nullptr) {
      ReportErrorPlain(100010, true);
      return -1;
    }
  }
  ++g_expr.next_slot;
  return slot;
}

void SetNumberAt(int32_t i, int64_t v) {
  if (RealArith()) {
    g_expr.reals[i] = static_cast<double>(v);
  } else {
    g_expr.ints[i] = v;
  }
  g_expr.slot_of[i] = 0;
}

void SetRealAt(int32_t i, double r) {
  if (RealArith()) {
    g_expr.reals[i] = r;
  } else {
    g_expr.ints[i] = TruncToInt64(r);
  }
  g_expr.slot_of[i] = 0;
}

// Copies `length` bytes into a new slot, cut on a character boundary to fit; -1 on failure.
int32_t NewStringSlot(const char* text, size_t length) {
  const int32_t slot = TakeSlot();
  if (slot < 0) return -1;
  if (length > kMaxText) length = SjisPrefixLength(std::string_view(text, length), kMaxText);
  if (length != 0) std::memcpy(g_expr.slots[slot], text, length);
  g_expr.slots[slot][length] = '\0';
  g_expr.slot_length[slot] = static_cast<uint16_t>(length);
  return slot;
}

void SetStringAt(int32_t i, int32_t slot) {
  g_expr.ints[i] = 0;
  g_expr.reals[i] = 0.0;
  g_expr.slot_of[i] = static_cast<uint16_t>(slot);
}

bool NeedRoom() { return g_expr.depth < kExprStackSize; }

int32_t PushNumber(int64_t v) {
  if (!NeedRoom()) return Malformed("スタックがあふれました");
  SetNumberAt(g_expr.depth++, v);
  return 0;
}

int32_t PushReal(double r) {
  if (!NeedRoom()) return Malformed("スタックがあふれました");
  SetRealAt(g_expr.depth++, r);
  return 0;
}

// Pushes element `index` of variable `number` (which exists), by the variable's type.
int32_t PushElement(uint32_t number, int64_t index) {
  if (!NeedRoom()) return Malformed("スタックがあふれました");
  const VariableRecord& v = g_variables.records[number];
  const int32_t at = g_expr.depth;
  const bool in_range = index >= 0 && index < v.count;
  if (number < kFirstScriptVariable) {
    switch (v.type) {
      case kVarInt:
        SetNumberAt(at, g_system_variable_readers.get_int(number, index));
        break;
      case kVarReal:
        SetRealAt(at, g_system_variable_readers.get_real(number, index));
        break;
      case kVarString: {
        const int32_t slot = TakeSlot();
        if (slot < 0) return kStop;
        char* buffer = g_expr.slots[slot];
        size_t length = g_system_variable_readers.read_string(number, index, buffer);
        if (length > kMaxText) length = SjisPrefixLength(std::string_view(buffer, length), kMaxText);
        buffer[length] = '\0';
        g_expr.slot_length[slot] = static_cast<uint16_t>(length);
        SetStringAt(at, slot);
        break;
      }
      default:
        SetNumberAt(at, 0);
        break;
    }
  } else if (!in_range) {
    SetNumberAt(at, 0);  // no such element (an undeclared variable too)
  } else {
    switch (v.type) {
      case kVarInt:
        SetNumberAt(at, v.ints[index]);
        break;
      case kVarReal:
        SetRealAt(at, v.reals[index]);
        break;
      case kVarString: {
        const char* text = v.strings[index] != nullptr ? v.strings[index] : "";
        const int32_t slot = NewStringSlot(text, std::strlen(text));
        if (slot < 0) return kStop;
        SetStringAt(at, slot);
        break;
      }
      default:
        SetNumberAt(at, 0);
        break;
    }
  }
  ++g_expr.depth;
  return 0;
}

// The registers of a variable reference; false (after 108010) when the table has no such number.
bool ReferVariable(const uint8_t* operand, uint32_t length, uint32_t* number) {
  if (length < 3) {
    Malformed("変数参照が短すぎます");
    return false;
  }
  *number = LoadU16(operand + 1);
  g_expr.var_number = *number;
  g_expr.element_index = 0;
  g_expr.sub_count = 0;
  g_expr.sigil = operand[0];
  g_expr.whole = 0;
  if (FindVariable(*number) == nullptr) {
    ReportScriptError(108010, true, static_cast<int32_t>(*number));
    return false;
  }
  return true;
}

int32_t OpInvalid(const uint8_t*, uint32_t) { return Malformed("未定義の命令です"); }

int32_t OpBindingVariable(const uint8_t*, uint32_t) {
  g_expr.not_constant = 1;
  return kStop;
}

int32_t OpLiteralText(const uint8_t* operand, uint32_t length) {
  if (length < 1) return Malformed("文字列の区切りがありません");
  if (!NeedRoom()) return Malformed("スタックがあふれました");
  const int32_t slot = TakeSlot();
  if (slot < 0) return kStop;
  const uint8_t delimiter = operand[0];
  const uint8_t* text = operand + 1;
  const size_t n = length - 1;
  char* out = g_expr.slots[slot];
  size_t o = 0;
  size_t i = 0;
  while (i < n) {
    const uint8_t c = text[i];
    if (c == delimiter) break;
    if (IsCp932LeadByte(c) && i + 1 < n) {
      if (o + 2 > kMaxText) break;
      out[o++] = static_cast<char>(c);
      out[o++] = static_cast<char>(text[i + 1]);
      i += 2;
      continue;
    }
    if (o + 1 > kMaxText) break;
    if (c == '\\') {
      ++i;
      if (i >= n) break;
      const uint8_t e = text[i];
      if (e == '\\') {
        out[o++] = '\\';
        ++i;
      } else if (e == 'n') {
        out[o++] = '\n';
        ++i;
      } else if (e == 't') {
        out[o++] = '\t';
        ++i;
      }
      // Any other escaped character is read normally on the next pass.
      continue;
    }
    out[o++] = static_cast<char>(c);
    ++i;
  }
  out[o] = '\0';
  g_expr.slot_length[slot] = static_cast<uint16_t>(o);
  SetStringAt(g_expr.depth++, slot);
  return 0;
}

int32_t OpScalar(const uint8_t* operand, uint32_t length) {
  uint32_t number = 0;
  if (!ReferVariable(operand, length, &number)) return kStop;
  if (g_expr.declare_mode != 0 && g_expr.level == 0) return 0;
  return PushElement(number, 0);
}

int32_t OpOpenSubscripts(const uint8_t* operand, uint32_t length) {
  uint32_t number = 0;
  if (!ReferVariable(operand, length, &number)) return kStop;
  if (g_expr.level >= kExprMaxLevels) return Malformed("添字の入れ子が深すぎます");
  g_expr.level_depth[g_expr.level] = g_expr.depth;
  g_expr.level_var[g_expr.level] = number;
  g_expr.level_sigil[g_expr.level] = g_expr.sigil;
  if (PushNumber(0) != 0) return kStop;
  ++g_expr.level;
  return 0;
}

int32_t OpWholeVariable(const uint8_t* operand, uint32_t length) {
  uint32_t number = 0;
  if (!ReferVariable(operand, length, &number)) return kStop;
  g_expr.whole = 1;
  return PushNumber(0);
}

int32_t OpCloseSubscripts(const uint8_t*, uint32_t) {
  if (g_expr.level <= 0) return Malformed("対応する添字の始まりがありません");
  --g_expr.level;
  const int32_t start = g_expr.level_depth[g_expr.level];
  const int32_t count = g_expr.depth - (start + 1);
  if (count < 0) return Malformed("添字の並びが壊れています");
  if (count > kMaxDimensions) return Malformed("添字が多すぎます");
  for (int32_t k = 0; k < count; ++k) {
    if (g_expr.slot_of[start + 1 + k] != 0) return MixedTypes();
    g_expr.subs[k] = g_expr.ints[start + 1 + k];
  }
  g_expr.sub_count = count;
  g_expr.var_number = g_expr.level_var[g_expr.level];
  g_expr.sigil = g_expr.level_sigil[g_expr.level];
  g_expr.depth = start;
  if (g_expr.declare_mode != 0 && g_expr.level == 0) return 0;

  const VariableRecord& v = g_variables.records[g_expr.var_number];
  int64_t index = 0;
  if (v.type != kVarUndeclared) {
    // One subscript per dimension; a missing one counts as 0, an extra one has no room at all.
    const int32_t dims = v.dim_count;
    const int32_t n = count > dims ? count : dims;
    for (int32_t k = 0; k < n; ++k) {
      const int64_t sub = k < count ? g_expr.subs[k] : 0;
      const uint32_t dim = k < dims ? v.dims[k] : 0;
      if (sub < 0 || static_cast<uint64_t>(sub) >= dim) {
        ReportScriptError(107010, true, sub, static_cast<int64_t>(dim));
        return kStop;
      }
      index = index * static_cast<int64_t>(dim) + sub;  // bounded by the element count
    }
  }
  g_expr.element_index = index;
  return PushElement(g_expr.var_number, index);
}

template <typename T>
T LoadLittle(const uint8_t* p) {
  uint64_t v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return static_cast<T>(v);
}

template <typename T>
int32_t OpLiteralInt(const uint8_t* operand, uint32_t length) {
  if (length < sizeof(T)) return Malformed("数値の長さが足りません");
  return PushNumber(static_cast<int64_t>(LoadLittle<T>(operand)));
}

int32_t OpLiteralReal(const uint8_t* operand, uint32_t length) {
  if (length < 8) return Malformed("数値の長さが足りません");
  const uint64_t bits = LoadLittle<uint64_t>(operand);
  double r;
  std::memcpy(&r, &bits, sizeof r);
  return PushReal(r);
}

bool NeedEntries(int32_t n) {
  if (g_expr.depth >= n) return true;
  Malformed("スタックの値が足りません");
  return false;
}

int32_t OpNegate(const uint8_t*, uint32_t) {
  if (!NeedEntries(1)) return kStop;
  const int32_t t = g_expr.depth - 1;
  if (g_expr.slot_of[t] != 0) return MixedTypes();
  if (RealArith()) {
    g_expr.reals[t] = -g_expr.reals[t];
  } else {
    g_expr.ints[t] = WrapNeg(g_expr.ints[t]);
  }
  return 0;
}

int32_t OpToString(const uint8_t*, uint32_t) {
  if (!NeedEntries(1)) return kStop;
  const int32_t t = g_expr.depth - 1;
  if (g_expr.slot_of[t] != 0) return 0;
  char text[kNumberTextCapacity];
  const size_t n = RealArith() ? FormatDoubleFixed(text, g_expr.reals[t])
                               : FormatInt64(text, g_expr.ints[t]);
  const int32_t slot = NewStringSlot(text, n);
  if (slot < 0) return kStop;
  SetStringAt(t, slot);
  return 0;
}

int32_t OpToNumber(const uint8_t*, uint32_t) {
  if (!NeedEntries(1)) return kStop;
  const int32_t t = g_expr.depth - 1;
  const uint16_t slot = g_expr.slot_of[t];
  if (slot == 0) return 0;
  const char* text = g_expr.slots[slot];
  const size_t length = g_expr.slot_length[slot];
  if (StartsWithHexPrefix(text, length)) {
    int64_t v = 0;
    if (!ParseHexText(text, length, &v)) return kStop;  // no digit or too many: no report
    SetNumberAt(t, v);
    return 0;
  }
  bool has_dot = false;
  if (!ScanDecimalText(text, length, &has_dot)) {
    ReportScriptError(108210, true, text);
    return kStop;
  }
  if (has_dot) {
    SetRealAt(t, ParseDoublePrefix(text, length));
  } else {
    SetNumberAt(t, ParseIntPrefix(text, length));
  }
  return 0;
}

// Pops the right operand: `l` is the left operand's (and the result's) entry, `r` the right one.
bool PopOperands(int32_t* l, int32_t* r) {
  if (!NeedEntries(2)) return false;
  *r = --g_expr.depth;
  *l = *r - 1;
  return true;
}

int32_t Concatenate(int32_t l, int32_t r) {
  const uint16_t ls = g_expr.slot_of[l];
  const uint16_t rs = g_expr.slot_of[r];
  const size_t left = g_expr.slot_length[ls];
  size_t right = g_expr.slot_length[rs];
  if (left + right > kMaxText) {
    right = SjisPrefixLength(std::string_view(g_expr.slots[rs], right), kMaxText - left);
  }
  char* dst = g_expr.slots[ls];
  if (right != 0) std::memcpy(dst + left, g_expr.slots[rs], right);
  dst[left + right] = '\0';
  g_expr.slot_length[ls] = static_cast<uint16_t>(left + right);
  return 0;
}

int32_t OpAdd(const uint8_t*, uint32_t) {
  int32_t l = 0, r = 0;
  if (!PopOperands(&l, &r)) return kStop;
  const bool ls = g_expr.slot_of[l] != 0, rs = g_expr.slot_of[r] != 0;
  if (ls && rs) return Concatenate(l, r);
  if (ls || rs) return MixedTypes();
  if (RealArith()) {
    g_expr.reals[l] += g_expr.reals[r];
  } else {
    g_expr.ints[l] = WrapAdd(g_expr.ints[l], g_expr.ints[r]);
  }
  return 0;
}

// Equality of two strings (byte for byte), or of two numbers.
template <bool kEqual>
int32_t OpCompareEqual(const uint8_t*, uint32_t) {
  int32_t l = 0, r = 0;
  if (!PopOperands(&l, &r)) return kStop;
  const uint16_t ls = g_expr.slot_of[l], rs = g_expr.slot_of[r];
  bool same = false;
  if (ls != 0 && rs != 0) {
    same = g_expr.slot_length[ls] == g_expr.slot_length[rs] &&
           std::memcmp(g_expr.slots[ls], g_expr.slots[rs], g_expr.slot_length[ls]) == 0;
  } else if (ls != 0 || rs != 0) {
    return MixedTypes();
  } else if (RealArith()) {
    same = g_expr.reals[l] == g_expr.reals[r];
  } else {
    same = g_expr.ints[l] == g_expr.ints[r];
  }
  SetNumberAt(l, same == kEqual ? 1 : 0);
  return 0;
}

// Numeric binary operators: strings are refused.
template <int64_t (*IntF)(int64_t, int64_t), double (*RealF)(double, double)>
int32_t OpNumeric(const uint8_t*, uint32_t) {
  int32_t l = 0, r = 0;
  if (!PopOperands(&l, &r)) return kStop;
  if (g_expr.slot_of[l] != 0 || g_expr.slot_of[r] != 0) return MixedTypes();
  if (RealArith()) {
    g_expr.reals[l] = RealF(g_expr.reals[l], g_expr.reals[r]);
  } else {
    g_expr.ints[l] = IntF(g_expr.ints[l], g_expr.ints[r]);
  }
  return 0;
}

// Comparisons and logical operators: 1 or 0 (a double under real arithmetic).
template <bool (*IntF)(int64_t, int64_t), bool (*RealF)(double, double)>
int32_t OpTest(const uint8_t*, uint32_t) {
  int32_t l = 0, r = 0;
  if (!PopOperands(&l, &r)) return kStop;
  if (g_expr.slot_of[l] != 0 || g_expr.slot_of[r] != 0) return MixedTypes();
  const bool yes = RealArith() ? RealF(g_expr.reals[l], g_expr.reals[r])
                               : IntF(g_expr.ints[l], g_expr.ints[r]);
  SetNumberAt(l, yes ? 1 : 0);
  return 0;
}

int64_t ISub(int64_t a, int64_t b) { return WrapSub(a, b); }
int64_t IMul(int64_t a, int64_t b) { return WrapMul(a, b); }
int64_t IAnd(int64_t a, int64_t b) { return a & b; }
int64_t IOr(int64_t a, int64_t b) { return a | b; }
int64_t IXor(int64_t a, int64_t b) { return a ^ b; }
double RSub(double a, double b) { return a - b; }
double RMul(double a, double b) { return a * b; }
double RDiv(double a, double b) { return b == 0.0 ? 0.0 : a / b; }
double RKeepLeft(double a, double) { return a; }

bool IGt(int64_t a, int64_t b) { return a > b; }
bool ILt(int64_t a, int64_t b) { return a < b; }
bool IGe(int64_t a, int64_t b) { return a >= b; }
bool ILe(int64_t a, int64_t b) { return a <= b; }
bool IAndL(int64_t a, int64_t b) { return a != 0 && b != 0; }
bool IOrL(int64_t a, int64_t b) { return a != 0 || b != 0; }
bool RGt(double a, double b) { return a > b; }
bool RLt(double a, double b) { return a < b; }
bool RGe(double a, double b) { return a >= b; }
bool RLe(double a, double b) { return a <= b; }
bool RAndL(double a, double b) { return a != 0.0 && b != 0.0; }
bool ROrL(double a, double b) { return a != 0.0 || b != 0.0; }

int32_t OpNothing(const uint8_t*, uint32_t) { return 0; }

}  // namespace

void InstallExpressionOpcodes(int32_t mode) {
  for (auto& handler : g_opcode_table) handler = OpInvalid;
  auto set = [](char op, OpcodeHandler h) { g_opcode_table[static_cast<uint8_t>(op)] = h; };
  set('M', OpLiteralText);
  set('H', OpScalar);
  set('V', OpOpenSubscripts);
  set('v', OpWholeVariable);
  set(')', OpCloseSubscripts);
  set('B', OpLiteralInt<int8_t>);
  set('W', OpLiteralInt<int16_t>);
  set('I', OpLiteralInt<int32_t>);
  set('L', OpLiteralInt<int64_t>);
  set('F', OpLiteralReal);
  set('R', OpNegate);
  set('s', OpToString);
  set('i', OpToNumber);
  set('+', OpAdd);
  set('-', OpNumeric<ISub, RSub>);
  set('*', OpNumeric<IMul, RMul>);
  set('/', OpNumeric<SafeDiv, RDiv>);
  set('%', OpNumeric<SafeRem, RKeepLeft>);
  set('=', OpCompareEqual<true>);
  set('!', OpCompareEqual<false>);
  set('>', OpTest<IGt, RGt>);
  set('<', OpTest<ILt, RLt>);
  set('Z', OpTest<IGe, RGe>);
  set('S', OpTest<ILe, RLe>);
  set('&', OpTest<IAndL, RAndL>);
  set('|', OpTest<IOrL, ROrL>);
  set('A', OpNumeric<IAnd, RKeepLeft>);
  set('O', OpNumeric<IOr, RKeepLeft>);
  set('^', OpNumeric<IXor, RKeepLeft>);
  set(',', OpNothing);
  if (mode == 0) {
    set('H', OpBindingVariable);
    set('V', OpBindingVariable);
    set('v', OpBindingVariable);
  }
}

int32_t RunExpressionBytecode(const uint8_t* code, size_t length) {
  ExpressionMachine& m = g_expr;
  m.next_slot = 1;
  m.depth = 0;
  m.level = 0;
  m.sub_count = 0;
  m.subs[0] = 0;
  m.sigil = 0;
  m.whole = 0;
  m.var_number = 0;
  m.element_index = 0;
  m.not_constant = 0;
  m.ints[0] = 0;
  m.reals[0] = 0.0;
  m.slot_of[0] = 0;
  m.ip = nullptr;
  size_t pos = 0;
  while (pos < length) {
    m.ip = code + pos;
    if (length - pos < kInstructionHeaderSize) return Malformed("命令が途中で切れています");
    const uint32_t operand_length = LoadU16(code + pos + 1);
    if (length - pos - kInstructionHeaderSize < operand_length) {
      return Malformed("命令が途中で切れています");
    }
    if (g_opcode_table[code[pos]](code + pos + kInstructionHeaderSize, operand_length) != 0) {
      return kStop;
    }
    pos += kInstructionHeaderSize + operand_length;
  }
  return 0;
}

void InitExpressionMachine() {
  char* slots[kExprSlotCount];
  std::memcpy(slots, g_expr.slots, sizeof slots);
  std::memset(static_cast<void*>(&g_expr), 0, sizeof g_expr);
  std::memcpy(g_expr.slots, slots, sizeof slots);
  InstallExpressionOpcodes(1);
}

void ShutdownExpressionMachine() {
  for (char*& slot : g_expr.slots) {
    std::free(slot);
    slot = nullptr;
  }
  InitExpressionMachine();
}

}  // namespace korvel
