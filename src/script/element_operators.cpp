// The element operator table.
#include "script/element_operators.h"

#include "script/script_arith.h"
#include "script/variables.h"

namespace korvel {

namespace {

int64_t* IntElement(uint32_t number, int64_t index) {
  VariableRecord* v = FindVariable(number);
  if (v == nullptr || v->type != kVarInt || index < 0 || index >= v->count) return nullptr;
  return &v->ints[index];
}

double* RealElement(uint32_t number, int64_t index) {
  VariableRecord* v = FindVariable(number);
  if (v == nullptr || v->type != kVarReal || index < 0 || index >= v->count) return nullptr;
  return &v->reals[index];
}

template <int64_t (*F)(int64_t, int64_t)>
void IntOp(uint32_t number, int64_t index, ElementOperand operand) {
  if (int64_t* e = IntElement(number, index)) *e = F(*e, operand.integer);
}

template <double (*F)(double, double)>
void RealOp(uint32_t number, int64_t index, ElementOperand operand) {
  if (double* e = RealElement(number, index)) *e = F(*e, operand.real);
}

int64_t ISet(int64_t, int64_t b) { return b; }
int64_t IDiv(int64_t a, int64_t b) { return b == 0 ? a : SafeDiv(a, b); }
int64_t IRem(int64_t a, int64_t b) { return b == 0 ? a : SafeRem(a, b); }
int64_t IAnd(int64_t a, int64_t b) { return a & b; }
int64_t IOr(int64_t a, int64_t b) { return a | b; }
int64_t IXor(int64_t a, int64_t b) { return a ^ b; }

double RSet(double, double b) { return b; }
double RAdd(double a, double b) { return a + b; }
double RSub(double a, double b) { return a - b; }
double RMul(double a, double b) { return a * b; }
double RDiv(double a, double b) { return b == 0.0 ? a : a / b; }
double RRem(double a, double b) {
  const int64_t d = TruncToInt64(b);
  return d == 0 ? a : static_cast<double>(SafeRem(TruncToInt64(a), d));
}
double RAnd(double a, double b) { return static_cast<double>(TruncToInt64(a) & TruncToInt64(b)); }
double ROr(double a, double b) { return static_cast<double>(TruncToInt64(a) | TruncToInt64(b)); }
double RXor(double a, double b) { return static_cast<double>(TruncToInt64(a) ^ TruncToInt64(b)); }

}  // namespace

const ElementOperator kElementOperatorTable[kElementOperatorCount] = {
    IntOp<ISet>, IntOp<WrapAdd>, IntOp<WrapSub>, IntOp<WrapMul>, IntOp<IDiv>, IntOp<IRem>,
    IntOp<IAnd>, IntOp<IOr>,     IntOp<IXor>,    RealOp<RSet>,   RealOp<RAdd>, RealOp<RSub>,
    RealOp<RMul>, RealOp<RDiv>,  RealOp<RRem>,   RealOp<RAnd>,   RealOp<ROr>,  RealOp<RXor>,
};

int64_t ApplyAssignOperator(uint8_t op, int64_t value, int64_t operand) {
  switch (op) {
    case 0: return operand;
    case 1: return WrapAdd(value, operand);
    case 2: return WrapSub(value, operand);
    case 3: return WrapMul(value, operand);
    case 4: return operand == 0 ? value : SafeDiv(value, operand);
    default: return value;
  }
}

}  // namespace korvel
