// The argument decoder: evaluates the running command's argument records into the shared
// DecodedArguments and checks each numeric value against its parameter's range class.
#pragma once

#include <cstdint>

namespace korvel {

// Decodes the current command's arguments as parameters of command `command`: 0 when every
// argument was decoded and in range, -1 after the first failure's report (fatal).
struct CommandArgRecord;
struct DecodedArgument;

// Starts an argument position from its record: the record's fields, nothing evaluated yet.
void ResetArgumentFromRecord(DecodedArgument* a, const CommandArgRecord& r);

int32_t DecodeCommandArguments(int32_t command);

// The call command's decoder: string parameters are always evaluated as type code 3, whatever the
// record holds (the call's label record carries the label index there).
int32_t DecodeCallArguments(int32_t command);

// Slot 0: decode and check only. 0, or -1 when the decode failed.
int32_t RunCommandArgsOnly();

// The range check of one value: 0 when `value` passes class `range_class`, else the error code
// (101000, 101010, 101020, 101030, 101210 or 101220). Class 0 and unknown classes pass everything.
int32_t CheckArgumentRange(uint8_t range_class, int64_t value);

// The bounds a class names in its error message (class 1, 2: the minimum in `low`).
void ArgumentRangeBounds(uint8_t range_class, int64_t* low, int64_t* high);

}  // namespace korvel
