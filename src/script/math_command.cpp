// The math command: the selector decides the function; operands are raw bytecode evaluated here.
#include "script/math_command.h"

#include <zlib.h>

#include <cmath>
#include <cstring>

#include "core/engine_state.h"
#include "core/random.h"
#include "script/argument_decoder.h"
#include "script/decoded_arguments.h"
#include "script/expression_machine.h"
#include "script/script_arith.h"
#include "script/variables.h"

namespace korvel {

namespace {

enum class Eval : uint8_t {
  kRealOnly,  // real mode whatever the type code (sine, cosine)
  kReal,      // the type code's double entry
};

using Unary = double (*)(double);
using Binary = double (*)(double, double);

double Atan2(double x, double y) { return std::atan2(x, y); }  // x is the ordinate
double Power(double x, double y) { return std::pow(x, y); }

enum class Kind : uint8_t { kUnary, kBinary, kAbsolute, kRandom, kChecksum };

struct MathFunction {
  uint8_t selector;
  Kind kind;
  Eval eval;
  Unary unary;
  Binary binary;
};

// Tested in this order; the first selector given decides.
constexpr MathFunction kFunctions[] = {
    {4, Kind::kUnary, Eval::kRealOnly, [](double x) { return std::sin(x); }, nullptr},
    {7, Kind::kUnary, Eval::kRealOnly, [](double x) { return std::cos(x); }, nullptr},
    {10, Kind::kUnary, Eval::kReal, [](double x) { return std::tan(x); }, nullptr},
    {5, Kind::kUnary, Eval::kReal, [](double x) { return std::asin(x); }, nullptr},
    {8, Kind::kUnary, Eval::kReal, [](double x) { return std::acos(x); }, nullptr},
    {6, Kind::kUnary, Eval::kReal, [](double x) { return std::sinh(x); }, nullptr},
    {9, Kind::kUnary, Eval::kReal, [](double x) { return std::cosh(x); }, nullptr},
    {13, Kind::kUnary, Eval::kReal, [](double x) { return std::tanh(x); }, nullptr},
    {11, Kind::kUnary, Eval::kReal, [](double x) { return std::atan(x); }, nullptr},
    {12, Kind::kBinary, Eval::kReal, nullptr, Atan2},
    {14, Kind::kUnary, Eval::kReal, [](double x) { return std::sqrt(x); }, nullptr},
    {15, Kind::kAbsolute, Eval::kReal, nullptr, nullptr},
    {16, Kind::kUnary, Eval::kReal, [](double x) { return std::exp(x); }, nullptr},
    {17, Kind::kUnary, Eval::kReal, [](double x) { return std::log(x); }, nullptr},
    {18, Kind::kUnary, Eval::kReal, [](double x) { return std::log10(x); }, nullptr},
    {19, Kind::kBinary, Eval::kReal, nullptr, Power},
    {20, Kind::kRandom, Eval::kReal, nullptr, nullptr},
    {21, Kind::kChecksum, Eval::kReal, nullptr, nullptr},
};

struct Operand {
  const uint8_t* code = nullptr;
  uint32_t length = 0;
  uint8_t type = 0;  // 0: not given, evaluates to 0
};

Operand OperandOf(uint8_t param) {
  const DecodedArgument* a = FindArg(param);
  Operand o;
  if (a != nullptr && a->raw != nullptr && a->type <= kExprTypeStringReal) {
    o.code = a->raw;
    o.length = a->length;
    o.type = static_cast<uint8_t>(a->type);
  }
  return o;
}

double RealOf(const Operand& o, Eval eval) {
  const auto& table = eval == Eval::kRealOnly ? kExpressionEvaluatorTable.to_real_only
                                              : kExpressionEvaluatorTable.to_real;
  return table[o.type](o.code, o.length);
}

int64_t IntOf(const Operand& o) {
  return kExpressionEvaluatorTable.to_int[o.type](o.code, o.length);
}

// Absolute value: integer type codes (1 through the double store, 3 as an integer), real ones as a
// double.
void StoreAbsolute(const Operand& x, uint32_t number, int64_t index) {
  if (x.type == kExprTypeStringInt) {
    const int64_t v = IntOf(x);
    if (QuitRequested()) return;
    SetVarNumberElement(number, index, v < 0 ? WrapNeg(v) : v);
    return;
  }
  const double v = std::fabs(RealOf(x, Eval::kReal));
  if (QuitRequested()) return;
  SetVarRealElement(number, index, v);
}

}  // namespace

int64_t RandomInRange(int64_t x, int64_t y, uint32_t r) {
  if (y < x) {
    const int64_t t = x;
    x = y;
    y = t;
  }
  const uint64_t span = static_cast<uint64_t>(y) - static_cast<uint64_t>(x) + 1;  // 0: all 2^64
  const uint64_t offset = span == 0 ? r : r % span;
  return static_cast<int64_t>(static_cast<uint64_t>(x) + offset);
}

int32_t RunMathCommand() {
  if (DecodeCommandArguments(kCommandMath) != 0) return -1;
  const MathFunction* f = nullptr;
  for (const MathFunction& candidate : kFunctions) {
    if (ArgGiven(candidate.selector)) {
      f = &candidate;
      break;
    }
  }
  const DecodedArgument* out = FindArg(0);
  if (f == nullptr || out == nullptr) return 0;
  const uint32_t number = out->var_number;
  const int64_t index = out->element_index;
  const Operand x = OperandOf(1);
  const Operand y = OperandOf(2);

  switch (f->kind) {
    case Kind::kUnary: {
      const double v = f->unary(RealOf(x, f->eval));
      if (!QuitRequested()) SetVarRealElement(number, index, v);
      break;
    }
    case Kind::kBinary: {
      const double a = RealOf(x, f->eval);
      const double b = RealOf(y, f->eval);
      if (!QuitRequested()) SetVarRealElement(number, index, f->binary(a, b));
      break;
    }
    case Kind::kAbsolute: StoreAbsolute(x, number, index); break;
    case Kind::kRandom: {
      const int64_t a = IntOf(x);
      const int64_t b = IntOf(y);
      if (!QuitRequested()) SetVarNumberElement(number, index, RandomInRange(a, b, NextRandomMT()));
      break;
    }
    case Kind::kChecksum: {
      const char* text = ArgText(3);
      const auto* bytes = reinterpret_cast<const Bytef*>(text);
      const uLong crc = crc32(crc32(0L, Z_NULL, 0), bytes, static_cast<uInt>(std::strlen(text)));
      SetVarNumberElement(number, index, static_cast<int64_t>(crc & 0xFFFFFFFFu));
      break;
    }
  }
  return 0;
}

}  // namespace korvel
