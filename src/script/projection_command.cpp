// The projection command: reads I and D element by element (missing elements read 0), computes in
// double precision and writes the four results into the elements of D that exist.
#include "script/projection_command.h"

#include <cmath>

#include "core/error_report.h"
#include "script/argument_decoder.h"
#include "script/decoded_arguments.h"
#include "script/system_variables.h"
#include "script/variables.h"

namespace korvel {

namespace {

constexpr int64_t kFirstOutput = 31;

}  // namespace

ProjectionResult ComputeProjection(const ProjectionInput& in) {
  const auto& D = in.d;
  const auto& I = in.i;
  const double fx = D[20] / 100.0;
  const double fy = D[21] / 100.0;
  const double depth = D[5] + D[30];
  auto p = [&](double e) { return std::pow(2.0, (D[27] - e + depth) / 100.0); };

  ProjectionResult r{};
  if (I[7] != 0) {
    r.x = D[13] - D[18] * D[16] / 100.0;
    r.y = D[14] - D[19] * D[17] / 100.0;
    r.sx = D[16];
    r.sy = D[17];
    return r;
  }
  const double s1 = p(D[8]);
  double s2 = p(D[15]);
  double x =
      ((D[6] - D[9]) - (D[3] + D[28]) * fx) * s1 + D[11] * fx + static_cast<double>(I[5]) * 0.5;
  double y =
      ((D[7] - D[10]) - (D[4] + D[29]) * fy) * s1 + D[12] * fy + static_cast<double>(I[6]) * 0.5;
  if (I[1] != I[2]) {
    const double x1 = x + D[9] * s1;
    const double y1 = y + D[10] * s1;
    if (I[4] == 0) {
      x = x1 + (D[13] * fx - D[18]) * s2;
      y = y1 + (D[14] * fy - D[19]) * s2;
    } else {
      s2 = p(D[24]);
      x = x1 + ((D[13] + D[22]) * fx - D[18] - D[25]) * s2;
      y = y1 + ((D[14] + D[23]) * fy - D[19] - D[26]) * s2;
    }
  }
  r.x = x + D[18] * (100.0 - D[16]) * s2 / 100.0;
  r.y = y + D[19] * (100.0 - D[17]) * s2 / 100.0;
  r.sx = D[16] * s2;
  r.sy = D[17] * s2;
  return r;
}

int32_t RunProjectionCommand() {
  if (DecodeCommandArguments(kCommandProjection) != 0) return -1;
  const DecodedArgument* ia = FindArg(0);
  const DecodedArgument* da = FindArg(1);
  if (ia == nullptr || da == nullptr) return 0;
  const uint32_t in = ia->var_number;
  const uint32_t dn = da->var_number;
  const VariableRecord* d = FindVariable(dn);
  if (d == nullptr || d->type != kVarReal) {
    ReportScriptErrorPlain(101140, true);
    return -1;
  }
  ProjectionInput input{};
  for (int64_t k = 1; k <= 7; ++k) input.i[k] = GetSystemValue(in, k);
  for (int64_t k = 3; k <= 30; ++k) input.d[k] = GetSystemValueReal(dn, k);
  const ProjectionResult r = ComputeProjection(input);
  const double outputs[] = {r.x, r.y, r.sx, r.sy};
  for (int64_t k = 0; k < 4; ++k) {
    if (kFirstOutput + k < d->count) SetVarRealElement(dn, kFirstOutput + k, outputs[k]);
  }
  return 0;
}

}  // namespace korvel
