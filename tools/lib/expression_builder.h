// Builds expression bytecode: one call per instruction, and a reader for the assembler's token form
// in which every token is one instruction.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::tools {

struct ExprBuilder {
  std::vector<uint8_t> code;

  // Any instruction, malformed ones included: opcode, operand length as given, operand bytes.
  ExprBuilder& Op(uint8_t opcode, const std::vector<uint8_t>& operand = {});
  // A text literal ("M") with its delimiter; the text is code page 932 and taken as it stands.
  ExprBuilder& Text(std::string_view sjis, char delimiter = '"');
  // The shortest of "B", "W", "I", "L" that holds the value.
  ExprBuilder& Int(int64_t value);
  ExprBuilder& Int8(int8_t v);
  ExprBuilder& Int16(int16_t v);
  ExprBuilder& Int32(int32_t v);
  ExprBuilder& Int64(int64_t v);
  ExprBuilder& Real(double value);
  ExprBuilder& Var(uint16_t number, uint8_t sigil = 0);        // "H"
  ExprBuilder& OpenSubscripts(uint16_t number, uint8_t sigil = 0);  // "V"
  ExprBuilder& CloseSubscripts();                               // ")"
  ExprBuilder& WholeVar(uint16_t number, uint8_t sigil = 0);    // "v"
  ExprBuilder& Binary(char op);  // + - * / % = ! > < Z S & | A O ^ ,
  ExprBuilder& Negate();         // "R"
  ExprBuilder& ToText();         // "s"
  ExprBuilder& ToNumber();       // "i"
};

// Resolves a variable name to its number; false when unknown.
using VariableResolver = std::function<bool(std::string_view name, uint16_t* number)>;

// Parses whitespace-separated tokens into bytecode (see the assembler's documentation): literals
// ("text", 'text', 12, -3, 1.5, B:n W:n I:n L:n F:x), variables ($name, $name[ ... ], $name[]),
// operators (+ - * / % == != > < >= <= && || & | ^ , neg str num) and raw instructions
// (op:XX[:HEX operand], bytes:HEX). Text between quotes is UTF-8 and becomes code page 932; "\r"
// in it becomes a carriage return, and the escapes the engine reads ("\\", "\n", "\t") stay.
// Returns false with a message in `error`.
bool ParseExpressionTokens(std::string_view text, const VariableResolver& resolve,
                           std::vector<uint8_t>* code, std::string* error);

}  // namespace korvel::tools
