// Script variables: numbered, typed, fixed-shape arrays of 64-bit integers, doubles or code page 932
// texts. Numbers below 1000 are system variables whose values are computed when they are read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "script/format_constants.h"

namespace korvel {

enum : uint8_t {
  kVarUndeclared = 0,
  kVarInt = 1,
  kVarReal = 2,
  kVarString = 3,
};

struct VariableRecord {
  uint8_t type;       // kVar*
  int8_t dim_count;   // 0..8; 0 is a single element
  uint32_t dims[kMaxDimensions];
  int64_t count;      // element count: the product of the dimensions
  int64_t* ints;
  double* reals;
  char** strings;        // each element its own NUL-terminated heap text
  uint32_t* capacities;  // per string element, the bytes its buffer holds
};

// The variable records 0..highest, and the 32-bit value krt.kbn keeps for the system variables.
struct VariableTable {
  VariableRecord* records;
  uint32_t count;  // highest variable number + 1
  uint32_t system_value;
};

extern VariableTable g_variables;

// Allocates `count` zero-filled records (every variable undeclared), freeing earlier ones. Returns 0,
// or -1 after reporting 100010 (fatal).
int32_t CreateVariableRecords(uint32_t count);
// Frees every element and record.
void FreeVariableRecords();

// The record of a variable number, or null when the table has no such number.
inline VariableRecord* FindVariable(uint32_t number) {
  return number < g_variables.count ? &g_variables.records[number] : nullptr;
}

// The element count of a shape, checked after every multiplication: a dimension of 0 or below (as a
// signed 32-bit value) is error 101110 and more than 4,000,000 elements is 101100 (both fatal
// script errors); -1 then.
int64_t ComputeElementCount(int32_t dim_count, const uint32_t* dims);
// Recomputes a record's element count from its dimensions (ComputeElementCount); 0 or -1.
int32_t SizeVariable(uint32_t number);

// Declare a variable with a shape and give every element the initial value (strings each get their
// own copy). The shape is checked before anything changes: on any failure (101100, 101110, 100010)
// the variable keeps its old type, shape and elements and the result is -1; else 0. A number outside
// the table is -1 without a report.
int32_t FillVarIntInit(uint32_t number, int32_t dim_count, const uint32_t* dims, int64_t value);
int32_t FillVarRealInit(uint32_t number, int32_t dim_count, const uint32_t* dims, double value);
int32_t FillVarStringInit(uint32_t number, int32_t dim_count, const uint32_t* dims,
                          const char* text);

// Element writers: -1 when the index is outside 0..count-1 (nothing changes), else 0. Numbers go into
// integer variables (doubles truncated toward zero) and double variables (integers converted); any
// other type is error 101140 (fatal) and -1. Texts go into string variables only (else 101140).
int32_t SetVarNumberElement(uint32_t number, int64_t index, int64_t value);
int32_t SetVarRealElement(uint32_t number, int64_t index, double value);
int32_t SetVarStringElement(uint32_t number, int64_t index, const char* text);
// A byte string with an explicit length (it may hold NULs); a NUL is appended.
int32_t SetVarStringElementBytes(uint32_t number, int64_t index, const char* bytes, size_t length);
// The "nothing found" answer: 0, 0.0 or the empty text by the variable's type. A missing or
// undeclared variable is left alone (no report) and gives -1, like an index out of range.
int32_t SetVarElementEmpty(uint32_t number, int64_t index);

// Element readers. Out of range, a missing variable or the wrong type give 0, 0.0 or null. System
// variables (numbers below 1000) are computed by the system-variable readers; a string one is
// stored into its element first, so the pointer stays valid until the next read.
int64_t GetVarIntElement(uint32_t number, int64_t index);
double GetVarRealElement(uint32_t number, int64_t index);
const char* GetVarStringElement(uint32_t number, int64_t index);
// The byte length of a string element's text (0 when there is none).
size_t GetVarStringLength(uint32_t number, int64_t index);

// Gives a variable of type 1, 2 or 3 a new first dimension, keeping the first min(old, new)
// elements; added ones are 0, 0.0 or the empty text. The new shape is checked first (101100,
// 101110); on failure the variable is unchanged and the result -1. Other types: nothing, 0.
int32_t ResizeVarArray(uint32_t number, int64_t new_size);

// Readers of the system variables, filled by the code that owns the values; the defaults give 0,
// 0.0 and the empty text.
struct SystemVariableReaders {
  int64_t (*get_int)(uint32_t id, int64_t element);
  double (*get_real)(uint32_t id, int64_t element);
  // Writes the text with a NUL into `buffer` (kStringBufferSize bytes); returns its length.
  size_t (*read_string)(uint32_t id, int64_t element, char* buffer);
};
extern SystemVariableReaders g_system_variable_readers;
void ResetSystemVariableReaders();

}  // namespace korvel
