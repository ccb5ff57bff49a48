// Variable records: creation, sizing and declaration with an initial value.
#include "script/variables.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/error_report.h"

namespace korvel {

VariableTable g_variables{};

namespace {

void FreeElements(VariableRecord* v) {
  if (v->strings != nullptr) {
    for (int64_t i = 0; i < v->count; ++i) std::free(v->strings[i]);
  }
  std::free(v->ints);
  std::free(v->reals);
  std::free(v->strings);
  std::free(v->capacities);
  v->ints = nullptr;
  v->reals = nullptr;
  v->strings = nullptr;
  v->capacities = nullptr;
}

// New element arrays for `count` elements of `type`, filled by the caller.
struct NewElements {
  int64_t* ints = nullptr;
  double* reals = nullptr;
  char** strings = nullptr;
  uint32_t* capacities = nullptr;
};

bool AllocElements(uint8_t type, int64_t count, NewElements* out) {
  const auto n = static_cast<size_t>(count);
  switch (type) {
    case kVarInt:
      out->ints = static_cast<int64_t*>(std::malloc(n * sizeof(int64_t)));
      return out->ints != nullptr;
    case kVarReal:
      out->reals = static_cast<double*>(std::malloc(n * sizeof(double)));
      return out->reals != nullptr;
    case kVarString:
      out->strings = static_cast<char**>(std::calloc(n, sizeof(char*)));
      out->capacities = static_cast<uint32_t*>(std::calloc(n, sizeof(uint32_t)));
      if (out->strings == nullptr || out->capacities == nullptr) {
        std::free(out->strings);
        std::free(out->capacities);
        out->strings = nullptr;
        out->capacities = nullptr;
        return false;
      }
      return true;
    default:
      return false;
  }
}

void FreeNewStrings(NewElements* e, int64_t filled) {
  for (int64_t i = 0; i < filled; ++i) std::free(e->strings[i]);
  std::free(e->strings);
  std::free(e->capacities);
}

// Checks the shape, builds the element arrays and only then replaces the variable's.
template <typename Fill>
int32_t Declare(uint32_t number, uint8_t type, int32_t dim_count, const uint32_t* dims, Fill fill) {
  VariableRecord* v = FindVariable(number);
  if (v == nullptr) return -1;
  if (dim_count < 0 || dim_count > kMaxDimensions) {
    ReportScriptErrorPlain(101110, true);
    return -1;
  }
  const int64_t count = ComputeElementCount(dim_count, dims);
  if (count < 0) return -1;
  NewElements e;
  if (!AllocElements(type, count, &e) || !fill(&e, count)) {
    ReportErrorPlain(100010, true);
    return -1;
  }
  FreeElements(v);
  v->type = type;
  v->dim_count = static_cast<int8_t>(dim_count);
  for (int32_t k = 0; k < kMaxDimensions; ++k) v->dims[k] = k < dim_count ? dims[k] : 0;
  v->count = count;
  v->ints = e.ints;
  v->reals = e.reals;
  v->strings = e.strings;
  v->capacities = e.capacities;
  return 0;
}

}  // namespace

int32_t CreateVariableRecords(uint32_t count) {
  FreeVariableRecords();
  auto* records = static_cast<VariableRecord*>(std::calloc(count == 0 ? 1 : count,
                                                           sizeof(VariableRecord)));
  if (records == nullptr) {
    ReportErrorPlain(100010, true);
    return -1;
  }
  g_variables.records = records;
  g_variables.count = count;
  return 0;
}

void FreeVariableRecords() {
  for (uint32_t i = 0; i < g_variables.count; ++i) FreeElements(&g_variables.records[i]);
  std::free(g_variables.records);
  g_variables.records = nullptr;
  g_variables.count = 0;
  g_variables.system_value = 0;
}

int64_t ComputeElementCount(int32_t dim_count, const uint32_t* dims) {
  int64_t count = 1;
  for (int32_t k = 0; k < dim_count; ++k) {
    const auto d = static_cast<int32_t>(dims[k]);
    if (d <= 0) {
      ReportScriptErrorPlain(101110, true);
      return -1;
    }
    count *= d;  // at most 4,000,000 × (2^31 - 1): no overflow
    if (count > kMaxElementCount) {
      ReportScriptError(101100, true, static_cast<int32_t>(kMaxElementCount));
      return -1;
    }
  }
  return count;
}

int32_t SizeVariable(uint32_t number) {
  VariableRecord* v = FindVariable(number);
  if (v == nullptr) return -1;
  const int64_t count = ComputeElementCount(v->dim_count, v->dims);
  if (count < 0) return -1;
  v->count = count;
  return 0;
}

int32_t FillVarIntInit(uint32_t number, int32_t dim_count, const uint32_t* dims, int64_t value) {
  return Declare(number, kVarInt, dim_count, dims, [value](NewElements* e, int64_t count) {
    for (int64_t i = 0; i < count; ++i) e->ints[i] = value;
    return true;
  });
}

int32_t FillVarRealInit(uint32_t number, int32_t dim_count, const uint32_t* dims, double value) {
  return Declare(number, kVarReal, dim_count, dims, [value](NewElements* e, int64_t count) {
    for (int64_t i = 0; i < count; ++i) e->reals[i] = value;
    return true;
  });
}

int32_t FillVarStringInit(uint32_t number, int32_t dim_count, const uint32_t* dims,
                          const char* text) {
  const size_t length = text != nullptr ? std::strlen(text) : 0;
  return Declare(number, kVarString, dim_count, dims, [&](NewElements* e, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
      char* copy = static_cast<char*>(std::malloc(length + 1));
      if (copy == nullptr) {
        FreeNewStrings(e, i);
        return false;
      }
      if (length != 0) std::memcpy(copy, text, length);
      copy[length] = '\0';
      e->strings[i] = copy;
      e->capacities[i] = static_cast<uint32_t>(length + 1);
    }
    return true;
  });
}

int32_t ResizeVarArray(uint32_t number, int64_t new_size) {
  VariableRecord* v = FindVariable(number);
  if (v == nullptr) return -1;
  if (v->type != kVarInt && v->type != kVarReal && v->type != kVarString) return 0;
  // The new first dimension must be a positive 32-bit value giving at most 4,000,000 elements.
  uint32_t dims[kMaxDimensions];
  std::memcpy(dims, v->dims, sizeof dims);
  const int32_t dim_count = v->dim_count < 1 ? 1 : v->dim_count;
  if (new_size <= 0 || new_size > INT32_MAX) {
    ReportScriptErrorPlain(new_size <= 0 ? 101110 : 101100, true);
    return -1;
  }
  dims[0] = static_cast<uint32_t>(new_size);
  const int64_t count = ComputeElementCount(dim_count, dims);
  if (count < 0) return -1;

  const int64_t keep = count < v->count ? count : v->count;
  NewElements e;
  if (!AllocElements(v->type, count, &e)) {
    ReportErrorPlain(100010, true);
    return -1;
  }
  if (v->type == kVarInt) {
    if (keep > 0) std::memcpy(e.ints, v->ints, static_cast<size_t>(keep) * sizeof(int64_t));
    for (int64_t i = keep; i < count; ++i) e.ints[i] = 0;
  } else if (v->type == kVarReal) {
    if (keep > 0) std::memcpy(e.reals, v->reals, static_cast<size_t>(keep) * sizeof(double));
    for (int64_t i = keep; i < count; ++i) e.reals[i] = 0.0;
  } else {
    for (int64_t i = keep; i < count; ++i) {
      char* empty = static_cast<char*>(std::malloc(1));
      if (empty == nullptr) {
        for (int64_t j = keep; j < i; ++j) std::free(e.strings[j]);
        std::free(e.strings);
        std::free(e.capacities);
        ReportErrorPlain(100010, true);
        return -1;
      }
      empty[0] = '\0';
      e.strings[i] = empty;
      e.capacities[i] = 1;
    }
    for (int64_t i = 0; i < keep; ++i) {
      e.strings[i] = v->strings[i];
      e.capacities[i] = v->capacities[i];
      v->strings[i] = nullptr;
    }
  }
  FreeElements(v);  // frees the texts of dropped elements and the old arrays
  v->ints = e.ints;
  v->reals = e.reals;
  v->strings = e.strings;
  v->capacities = e.capacities;
  v->dim_count = static_cast<int8_t>(dim_count);
  v->dims[0] = dims[0];
  v->count = count;
  return 0;
}

}  // namespace korvel
