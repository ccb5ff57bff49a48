// Constants of the compiled script formats (the krbin files), shared by the engine and the tools
// that write compiled games.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// The fixed text whose CRC-32 gives the 4-byte key that scrambles the sections of a script file.
// Changing it changes every compiled game: a golden-bytes test pins it.
inline constexpr char kScrambleKeyText[] = "korvel/krbin section key 1";

// CRC-32 (the zlib/PNG polynomial 0xEDB88320, reflected, initial and final value 0xFFFFFFFF).
constexpr uint32_t Crc32Of(const char* text, size_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) {
    crc ^= static_cast<uint8_t>(text[i]);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

inline constexpr uint32_t kScrambleKeyCrc = Crc32Of(kScrambleKeyText, sizeof kScrambleKeyText - 1);

// The key's bytes, most significant first: byte i of a section is XORed with key[i % 4].
inline constexpr uint8_t kScrambleKey[4] = {
    static_cast<uint8_t>(kScrambleKeyCrc >> 24), static_cast<uint8_t>(kScrambleKeyCrc >> 16),
    static_cast<uint8_t>(kScrambleKeyCrc >> 8), static_cast<uint8_t>(kScrambleKeyCrc)};

// XORs a section with the key in place (scrambling and unscrambling are the same operation).
inline void ScrambleSection(uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) bytes[i] ^= kScrambleKey[i & 3];
}

// The compiled files, as the data-file lookup names them inside "krbin".
inline constexpr char kErrorTextFileName[] = "kre.kbn";
inline constexpr char kCommandFileName[] = "krc.kbn";
inline constexpr char kVariableTableFileName[] = "krt.kbn";
inline constexpr char kScriptListFileName[] = "krt_list.kbn";
inline constexpr char kDeclarationFileName[] = "krv.kbn";
inline constexpr char kLabelFileName[] = "krl.kbn";
inline constexpr char kProjectConfigFileName[] = "krcfg.kbn";
inline constexpr char kSceneFileNameFormat[] = "krt%05u.kbn";  // script number, five digits
inline constexpr char kCompiledFolderName[] = "krbin";

// The first eight bytes of every compiled file (not read by the engine).
inline constexpr char kCompiledFileMagic[8] = {'K', 'R', 'B', 'N', 1, 0, 0, 0};

// krt.kbn
inline constexpr uint32_t kVariableTableFormat = 478;
inline constexpr uint32_t kMinHighestVariable = 999;  // every system variable has a record
inline constexpr uint32_t kMaxHighestVariable = 65535;

// Variables
inline constexpr uint32_t kFirstScriptVariable = 1000;  // lower numbers are system variables
inline constexpr int32_t kMaxDimensions = 8;
inline constexpr int64_t kMaxElementCount = 4000000;

// Commands and their definitions
inline constexpr int32_t kCommandSlotCount = 104;
inline constexpr int32_t kRuntimeErrorTextCount = 37;  // C runtime error texts 0..36 in krc.kbn
inline constexpr size_t kKeyMapSize = 256;             // key map block at the end of krc.kbn
inline constexpr uint8_t kKindNumber = 0;
inline constexpr uint8_t kKindString = 1;
inline constexpr uint8_t kKindRaw = 2;
inline constexpr uint8_t kMaxRangeClass = 28;

// Script files (krt%05d.kbn)
inline constexpr size_t kSceneHeaderSize = 32;
inline constexpr size_t kCommandRecordSize = 4;
inline constexpr size_t kArgRecordSize = 12;
inline constexpr size_t kLineRecordSize = 4;
// Flow commands keep command indices in length fields, and JUMP marks a resolved label with this
// bit: bytecode lengths and expression sections stay below it.
inline constexpr uint32_t kResolvedLabelFlag = 0x10000000u;
inline constexpr uint32_t kMaxExpressionSection = kResolvedLabelFlag - 1;

// Command numbers the loader knows by role.
inline constexpr uint8_t kCommandElseIf = 11;
inline constexpr uint8_t kCommandDeclareReal = 20;
inline constexpr uint8_t kCommandJump = 28;
inline constexpr uint8_t kCommandCall = 29;
inline constexpr uint8_t kCommandIf = 30;
inline constexpr uint8_t kCommandElse = 31;
inline constexpr uint8_t kCommandBlockEnd = 34;
inline constexpr uint8_t kCommandDeclareInt = 36;
inline constexpr uint8_t kCommandLabel = 37;
inline constexpr uint8_t kCommandAssign = 39;
inline constexpr uint8_t kCommandLoop = 41;
inline constexpr uint8_t kCommandLoopEnd = 44;
inline constexpr uint8_t kCommandReturn = 62;
inline constexpr uint8_t kCommandDeclareString = 75;
inline constexpr uint8_t kCommandVarConvert = 85;
inline constexpr uint8_t kCommandVarInfo = 86;
inline constexpr int32_t kAssignOperatorCount = 9;  // =, +=, -=, *=, /=, %=, &=, |=, ^=

// Records of the flow commands that hold a command index instead of bytecode: IF's records 1 and 2,
// ELSEIF's record 1 and LOOP's record 2 (positions counted from 0). They are never evaluated.
constexpr bool IsTargetRecord(uint8_t command, uint32_t position) {
  switch (command) {
    case kCommandIf: return position == 1 || position == 2;
    case kCommandElseIf: return position == 1;
    case kCommandLoop: return position == 2;
    default: return false;
  }
}

// krl.kbn
inline constexpr size_t kLabelHeaderSize = 12 + 256 * 4;
inline constexpr size_t kLabelRecordFixedSize = 13;  // plus the name
inline constexpr char kSystemStartLabel[] = "SYSTEM_START";

// krcfg.kbn
inline constexpr size_t kProjectConfigFixedSize = 78;  // plus the title
inline constexpr size_t kMaxTitleLength = 128;

// Expression bytecode: type codes and the instruction header (opcode, u16 operand length).
inline constexpr uint8_t kExprTypeInt = 1;
inline constexpr uint8_t kExprTypeReal = 2;
inline constexpr uint8_t kExprTypeStringInt = 3;
inline constexpr uint8_t kExprTypeStringReal = 4;
inline constexpr size_t kInstructionHeaderSize = 3;
inline constexpr size_t kStringBufferSize = 4096;  // string results hold at most 4095 bytes

// Variable reference sigils of the "H", "V" and "v" opcodes.
inline constexpr uint8_t kSigilNone = 0;
inline constexpr uint8_t kSigilBacktick = 1;  // "`"
inline constexpr uint8_t kSigilHash = 2;      // "#"

}  // namespace korvel
