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

// One slot of the integer row: the operator is a constant, so the kernel folds to its one case.
template <uint8_t Op>
void IntOp(uint32_t number, int64_t index, ElementOperand operand) {
  if (int64_t* e = IntElement(number, index)) *e = ApplyIntegerOperator(Op, *e, operand.integer);
}

template <double (*F)(double, double)>
void RealOp(uint32_t number, int64_t index, ElementOperand operand) {
  if (double* e = RealElement(number, index)) *e = F(*e, operand.real);
}

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
    IntOp<0>,     IntOp<1>,     IntOp<2>,     IntOp<3>,    IntOp<4>,     IntOp<5>,
    IntOp<6>,     IntOp<7>,     IntOp<8>,     RealOp<RSet>, RealOp<RAdd>, RealOp<RSub>,
    RealOp<RMul>, RealOp<RDiv>, RealOp<RRem>, RealOp<RAnd>, RealOp<ROr>,  RealOp<RXor>,
};

}  // namespace korvel
