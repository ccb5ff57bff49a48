// Command 47: a projected (or flat) position and two scale values from the elements of an integer
// variable I and a double variable D, written back into D's elements 31 to 34.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandProjection = 47;

// The inputs and results of the projection, by element number of I and D.
struct ProjectionInput {
  int64_t i[8];  // I[0..7]
  double d[31];  // D[0..30]
};
struct ProjectionResult {
  double x, y, sx, sy;
};

// The formula: the scale factor doubles for every 100 units of depth difference.
ProjectionResult ComputeProjection(const ProjectionInput& in);

// Parameter 0 names I, parameter 1 names D (a double variable, else 101140). Nothing happens when
// either is missing. 0, or -1 after a report.
int32_t RunProjectionCommand();

}  // namespace korvel
