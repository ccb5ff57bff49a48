// Nanoseconds per evaluation of typical script expressions: a literal, a variable, an array
// comparison and a concatenation. Evaluations allocate nothing once the string slots exist.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/error_report.h"
#include "script/expression_machine.h"
#include "script/format_constants.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace {

using korvel::kStringBufferSize;

std::vector<uint8_t> Op(char c, std::vector<uint8_t> operand = {}) {
  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(c));
  out.push_back(static_cast<uint8_t>(operand.size()));
  out.push_back(static_cast<uint8_t>(operand.size() >> 8));
  for (uint8_t b : operand) out.push_back(b);
  return out;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) {
    for (uint8_t b : p) out.push_back(b);
  }
  return out;
}

constexpr uint8_t kVarA = 0xE8, kVarB = 0xE9, kVarI = 0xEA, kVarJ = 0xEB, kVarS = 0xEC;  // 1000..1004

struct Setup {
  Setup() {
    korvel::InitErrorReporting();
    korvel::InitScriptData();
    korvel::CreateVariableRecords(1100);
    const uint32_t dims[] = {10, 10};
    korvel::FillVarIntInit(1000, 2, dims, 3);
    korvel::FillVarIntInit(1001, 0, nullptr, 2);
    korvel::FillVarIntInit(1002, 0, nullptr, 4);
    korvel::FillVarIntInit(1003, 0, nullptr, 5);
    korvel::FillVarStringInit(1004, 0, nullptr, "a script text");
  }
};

// Counts heap allocations made while a benchmark's loop runs.
std::size_t g_allocations = 0;

void RunInt(benchmark::State& state, const std::vector<uint8_t>& code) {
  static Setup setup;
  korvel::EvaluateIntExpression(code.data(), code.size());  // warm-up
  const std::size_t before = g_allocations;
  for (auto _ : state) {
    benchmark::DoNotOptimize(korvel::EvaluateIntExpression(code.data(), code.size()));
  }
  state.counters["allocs"] = static_cast<double>(g_allocations - before);
}

void BM_Literal(benchmark::State& state) { RunInt(state, Op('B', {42})); }
void BM_Variable(benchmark::State& state) { RunInt(state, Op('H', {0, kVarB, 3})); }
void BM_ArrayCompare(benchmark::State& state) {
  // a[i][j] + 1 > b
  RunInt(state, Join({Op('V', {0, kVarA, 3}), Op('H', {0, kVarI, 3}), Op('H', {0, kVarJ, 3}),
                      Op(')'), Op('B', {1}), Op('+'), Op('H', {0, kVarB, 3}), Op('>')}));
}
void BM_Concatenation(benchmark::State& state) {
  static Setup setup;
  const auto code = Join({Op('M', {'"', 'n', 'a', 'm', 'e', ':', ' ', '"'}), Op('H', {0, kVarS, 3}),
                          Op('+'), Op('H', {0, kVarB, 3}), Op('s'), Op('+')});
  static char buffer[kStringBufferSize];
  korvel::EvaluateStringExpression(buffer, code.data(), code.size());
  const std::size_t before = g_allocations;
  for (auto _ : state) {
    benchmark::DoNotOptimize(korvel::EvaluateStringExpression(buffer, code.data(), code.size()));
  }
  state.counters["allocs"] = static_cast<double>(g_allocations - before);
}

BENCHMARK(BM_Literal);
BENCHMARK(BM_Variable);
BENCHMARK(BM_ArrayCompare);
BENCHMARK(BM_Concatenation);

}  // namespace

// glibc: every malloc (operator new included) is counted.
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* malloc(std::size_t size) {
  ++g_allocations;
  return __libc_malloc(size);
}
