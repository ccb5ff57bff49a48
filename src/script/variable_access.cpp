// Element readers and writers of script variables, and the system-variable reader hooks.
#include <cstdlib>
#include <cstring>

#include "core/error_report.h"
#include "script/script_arith.h"
#include "script/variables.h"

namespace korvel {

namespace {

int64_t NoSystemInt(uint32_t, int64_t) { return 0; }
double NoSystemReal(uint32_t, int64_t) { return 0.0; }
size_t NoSystemString(uint32_t, int64_t, char* buffer) {
  buffer[0] = '\0';
  return 0;
}

VariableRecord* ElementOf(uint32_t number, int64_t index) {
  VariableRecord* v = FindVariable(number);
  if (v == nullptr || index < 0 || index >= v->count) return nullptr;
  return v;
}

// Makes room for `length` bytes and a NUL in a string element; false when memory ran out.
bool ReserveString(VariableRecord* v, int64_t index, size_t length) {
  if (v->capacities[index] >= length + 1 && v->strings[index] != nullptr) return true;
  char* grown = static_cast<char*>(std::realloc(v->strings[index], length + 1));
  if (grown == nullptr) {
    ReportErrorPlain(100010, true);
    return false;
  }
  v->strings[index] = grown;
  v->capacities[index] = static_cast<uint32_t>(length + 1);
  return true;
}

}  // namespace

SystemVariableReaders g_system_variable_readers{NoSystemInt, NoSystemReal, NoSystemString};

void ResetSystemVariableReaders() {
  g_system_variable_readers = SystemVariableReaders{NoSystemInt, NoSystemReal, NoSystemString};
}

int32_t SetVarNumberElement(uint32_t number, int64_t index, int64_t value) {
  VariableRecord* v = ElementOf(number, index);
  if (v == nullptr) return -1;
  if (v->type == kVarInt) {
    v->ints[index] = value;
  } else if (v->type == kVarReal) {
    v->reals[index] = static_cast<double>(value);
  } else {
    ReportScriptErrorPlain(101140, true);
    return -1;
  }
  return 0;
}

int32_t SetVarRealElement(uint32_t number, int64_t index, double value) {
  VariableRecord* v = ElementOf(number, index);
  if (v == nullptr) return -1;
  if (v->type == kVarInt) {
    v->ints[index] = TruncToInt64(value);
  } else if (v->type == kVarReal) {
    v->reals[index] = value;
  } else {
    ReportScriptErrorPlain(101140, true);
    return -1;
  }
  return 0;
}

int32_t SetVarStringElementBytes(uint32_t number, int64_t index, const char* bytes,
                                 size_t length) {
  VariableRecord* v = ElementOf(number, index);
  if (v == nullptr) return -1;
  if (v->type != kVarString) {
    ReportScriptErrorPlain(101140, true);
    return -1;
  }
  if (length > UINT32_MAX - 1 || !ReserveString(v, index, length)) return -1;
  // The source may be the element itself (or part of it): memmove.
  if (length != 0) std::memmove(v->strings[index], bytes, length);
  v->strings[index][length] = '\0';
  return 0;
}

int32_t SetVarStringElement(uint32_t number, int64_t index, const char* text) {
  return SetVarStringElementBytes(number, index, text, text != nullptr ? std::strlen(text) : 0);
}

int32_t SetVarElementEmpty(uint32_t number, int64_t index) {
  const VariableRecord* v = FindVariable(number);
  if (v == nullptr) return -1;
  switch (v->type) {
    case kVarInt: return SetVarNumberElement(number, index, 0);
    case kVarReal: return SetVarRealElement(number, index, 0.0);
    case kVarString: return SetVarStringElement(number, index, "");
    default: return -1;
  }
}

int64_t GetVarIntElement(uint32_t number, int64_t index) {
  VariableRecord* v = ElementOf(number, index);
  if (v == nullptr) return 0;
  if (number < kFirstScriptVariable) return g_system_variable_readers.get_int(number, index);
  if (v->type == kVarInt) return v->ints[index];
  if (v->type == kVarReal) return TruncToInt64(v->reals[index]);
  return 0;
}

double GetVarRealElement(uint32_t number, int64_t index) {
  VariableRecord* v = ElementOf(number, index);
  if (v == nullptr) return 0.0;
  if (number < kFirstScriptVariable) return g_system_variable_readers.get_real(number, index);
  if (v->type == kVarReal) return v->reals[index];
  if (v->type == kVarInt) return static_cast<double>(v->ints[index]);
  return 0.0;
}

const char* GetVarStringElement(uint32_t number, int64_t index) {
  VariableRecord* v = ElementOf(number, index);
  if (v == nullptr || v->type != kVarString) return nullptr;
  if (number < kFirstScriptVariable) {
    if (!ReserveString(v, index, kStringBufferSize - 1)) return nullptr;
    g_system_variable_readers.read_string(number, index, v->strings[index]);
  }
  return v->strings[index];
}

size_t GetVarStringLength(uint32_t number, int64_t index) {
  const char* text = GetVarStringElement(number, index);
  return text != nullptr ? std::strlen(text) : 0;
}

}  // namespace korvel
