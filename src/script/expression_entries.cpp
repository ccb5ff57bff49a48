// The evaluator's entry points by expression type code.
#include <cstring>

#include "script/expression_machine.h"
#include "script/script_arith.h"

namespace korvel {

namespace {

size_t EvaluateIntoBuffer(uint8_t mode, char* buffer, const uint8_t* code, size_t length) {
  g_expr.mode = mode;
  g_expr.result = buffer;
  g_expr.result_length = 0;
  if (RunExpressionBytecode(code, length) != 0) return 0;
  const uint16_t slot = g_expr.slot_of[0];
  if (slot == 0) return 0;  // a number: the buffer is left as it was
  const size_t n = g_expr.slot_length[slot];
  std::memcpy(buffer, g_expr.slots[slot], n);
  buffer[n] = '\0';
  g_expr.result_length = n;
  return n;
}

int64_t NoIntEntry(const uint8_t*, size_t) { return 0; }
double NoRealEntry(const uint8_t*, size_t) { return 0.0; }
size_t NoStringEntry(char*, const uint8_t*, size_t) { return 0; }

}  // namespace

int64_t EvaluateIntExpression(const uint8_t* code, size_t length) {
  g_expr.mode = kModeInt;
  RunExpressionBytecode(code, length);
  return g_expr.ints[0];
}

int64_t EvaluateRealExpressionAsInt(const uint8_t* code, size_t length) {
  g_expr.mode = kModeReal;
  RunExpressionBytecode(code, length);
  return TruncToInt64(g_expr.reals[0]);
}

double EvaluateIntExpressionAsReal(const uint8_t* code, size_t length) {
  g_expr.mode = kModeInt;
  RunExpressionBytecode(code, length);
  return static_cast<double>(g_expr.ints[0]);
}

double EvaluateRealExpression(const uint8_t* code, size_t length) {
  g_expr.mode = kModeReal;
  RunExpressionBytecode(code, length);
  return g_expr.reals[0];
}

size_t EvaluateStringExpression(char* buffer, const uint8_t* code, size_t length) {
  return EvaluateIntoBuffer(kModeStringInt, buffer, code, length);
}

size_t EvaluateStringExpressionMode4(char* buffer, const uint8_t* code, size_t length) {
  return EvaluateIntoBuffer(kModeStringReal, buffer, code, length);
}

const ExpressionEvaluatorTable kExpressionEvaluatorTable = {
    {NoIntEntry, EvaluateIntExpression, EvaluateRealExpressionAsInt, EvaluateIntExpression,
     EvaluateRealExpressionAsInt},
    {NoRealEntry, EvaluateIntExpressionAsReal, EvaluateRealExpression, EvaluateIntExpressionAsReal,
     EvaluateRealExpression},
    {NoRealEntry, EvaluateRealExpression, EvaluateRealExpression, EvaluateRealExpression,
     EvaluateRealExpression},
    {NoStringEntry, EvaluateStringExpression, EvaluateStringExpression, EvaluateStringExpression,
     EvaluateStringExpressionMode4},
};

}  // namespace korvel
