// Expression bytecode builder and the token reader of the assembler.
#include "expression_builder.h"

#include <charconv>
#include <cstring>

#include "platform/text_encoding.h"

namespace korvel::tools {

namespace {

void PutOp(std::vector<uint8_t>* code, uint8_t opcode, const uint8_t* operand, size_t n) {
  code->push_back(opcode);
  code->push_back(static_cast<uint8_t>(n));
  code->push_back(static_cast<uint8_t>(n >> 8));
  code->insert(code->end(), operand, operand + n);
}

template <typename T>
std::vector<uint8_t> Little(T v) {
  std::vector<uint8_t> out(sizeof(T));
  uint64_t u = 0;
  std::memcpy(&u, &v, sizeof(T));
  for (size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<uint8_t>(u >> (8 * i));
  return out;
}

std::vector<uint8_t> VarOperand(uint16_t number, uint8_t sigil) {
  return {sigil, static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8)};
}

bool ParseHex(std::string_view hex, std::vector<uint8_t>* out) {
  if (hex.size() % 2 != 0) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    unsigned v = 0;
    const auto r = std::from_chars(hex.data() + i, hex.data() + i + 2, v, 16);
    if (r.ec != std::errc{} || r.ptr != hex.data() + i + 2) return false;
    out->push_back(static_cast<uint8_t>(v));
  }
  return true;
}

bool ParseInt(std::string_view s, int64_t* v) {
  const auto r = std::from_chars(s.data(), s.data() + s.size(), *v);
  return r.ec == std::errc{} && r.ptr == s.data() + s.size();
}

bool ParseReal(std::string_view s, double* v) {
  const auto r = std::from_chars(s.data(), s.data() + s.size(), *v);
  return r.ec == std::errc{} && r.ptr == s.data() + s.size();
}

// The engine reads "\\", "\n" and "\t" in a text literal itself but has no escape for a carriage
// return: "\r" is written as the byte. Other escapes are left for the engine, pair by pair, so
// "\\r" stays a backslash and an r.
std::string CarriageReturns(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      if (text[i + 1] == 'r') {
        out += '\r';
      } else {
        out += text.substr(i, 2);
      }
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

struct OperatorToken {
  const char* token;
  char opcode;
};
constexpr OperatorToken kOperators[] = {
    {"+", '+'},  {"-", '-'},  {"*", '*'},  {"/", '/'},  {"%", '%'},   {"==", '='},
    {"!=", '!'}, {">", '>'},  {"<", '<'},  {">=", 'Z'}, {"<=", 'S'},  {"&&", '&'},
    {"||", '|'}, {"&", 'A'},  {"|", 'O'},  {"^", '^'},  {",", ','},   {"neg", 'R'},
    {"str", 's'}, {"num", 'i'},
};

}  // namespace

ExprBuilder& ExprBuilder::Op(uint8_t opcode, const std::vector<uint8_t>& operand) {
  PutOp(&code, opcode, operand.data(), operand.size());
  return *this;
}

ExprBuilder& ExprBuilder::Text(std::string_view sjis, char delimiter) {
  std::vector<uint8_t> operand;
  operand.push_back(static_cast<uint8_t>(delimiter));
  operand.insert(operand.end(), sjis.begin(), sjis.end());
  operand.push_back(static_cast<uint8_t>(delimiter));
  return Op('M', operand);
}

ExprBuilder& ExprBuilder::Int(int64_t v) {
  if (v >= INT8_MIN && v <= INT8_MAX) return Int8(static_cast<int8_t>(v));
  if (v >= INT16_MIN && v <= INT16_MAX) return Int16(static_cast<int16_t>(v));
  if (v >= INT32_MIN && v <= INT32_MAX) return Int32(static_cast<int32_t>(v));
  return Int64(v);
}
ExprBuilder& ExprBuilder::Int8(int8_t v) { return Op('B', Little(v)); }
ExprBuilder& ExprBuilder::Int16(int16_t v) { return Op('W', Little(v)); }
ExprBuilder& ExprBuilder::Int32(int32_t v) { return Op('I', Little(v)); }
ExprBuilder& ExprBuilder::Int64(int64_t v) { return Op('L', Little(v)); }
ExprBuilder& ExprBuilder::Real(double v) { return Op('F', Little(v)); }
ExprBuilder& ExprBuilder::Var(uint16_t n, uint8_t sigil) { return Op('H', VarOperand(n, sigil)); }
ExprBuilder& ExprBuilder::OpenSubscripts(uint16_t n, uint8_t sigil) {
  return Op('V', VarOperand(n, sigil));
}
ExprBuilder& ExprBuilder::CloseSubscripts() { return Op(')'); }
ExprBuilder& ExprBuilder::WholeVar(uint16_t n, uint8_t sigil) {
  return Op('v', VarOperand(n, sigil));
}
ExprBuilder& ExprBuilder::Binary(char op) { return Op(static_cast<uint8_t>(op)); }
ExprBuilder& ExprBuilder::Negate() { return Op('R'); }
ExprBuilder& ExprBuilder::ToText() { return Op('s'); }
ExprBuilder& ExprBuilder::ToNumber() { return Op('i'); }

bool ParseExpressionTokens(std::string_view text, const VariableResolver& resolve,
                           std::vector<uint8_t>* code, std::string* error) {
  ExprBuilder b;
  size_t i = 0;
  auto fail = [&](const std::string& message) {
    *error = message;
    return false;
  };
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    if (text[i] == '"' || text[i] == '\'') {
      const char quote = text[i];
      const size_t end = text.find(quote, i + 1);
      if (end == std::string_view::npos) return fail("unterminated text literal");
      b.Text(platform::Utf8ToCp932(CarriageReturns(text.substr(i + 1, end - i - 1))), quote);
      i = end + 1;
      continue;
    }
    size_t end = i;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    const std::string_view token = text.substr(i, end - i);
    i = end;

    if (token[0] == '$') {
      std::string_view name = token.substr(1);
      int kind = 0;  // 0 scalar, 1 open subscripts, 2 whole
      if (name.ends_with("[]")) {
        kind = 2;
        name.remove_suffix(2);
      } else if (name.ends_with("[")) {
        kind = 1;
        name.remove_suffix(1);
      }
      uint16_t number = 0;
      int64_t literal = 0;
      if (ParseInt(name, &literal) && literal >= 0 && literal <= 0xFFFF) {
        number = static_cast<uint16_t>(literal);
      } else if (!resolve || !resolve(name, &number)) {
        return fail("unknown variable $" + std::string(name));
      }
      if (kind == 0) b.Var(number);
      if (kind == 1) b.OpenSubscripts(number);
      if (kind == 2) b.WholeVar(number);
      continue;
    }
    if (token == "]") {
      b.CloseSubscripts();
      continue;
    }
    if (token.starts_with("op:")) {
      // op:XX or op:XX:HEX, the operand length taken from the operand.
      std::vector<uint8_t> opcode, operand;
      const std::string_view rest = token.substr(3);
      const size_t colon = rest.find(':');
      if (!ParseHex(rest.substr(0, colon), &opcode) || opcode.size() != 1) {
        return fail("bad raw instruction " + std::string(token));
      }
      if (colon != std::string_view::npos && !ParseHex(rest.substr(colon + 1), &operand)) {
        return fail("bad raw operand " + std::string(token));
      }
      b.Op(opcode[0], operand);
      continue;
    }
    if (token.starts_with("bytes:")) {
      if (!ParseHex(token.substr(6), &b.code)) return fail("bad bytes " + std::string(token));
      continue;
    }
    if (token.size() > 2 && token[1] == ':') {
      const std::string_view value = token.substr(2);
      int64_t v = 0;
      double r = 0;
      if (token[0] == 'F' && ParseReal(value, &r)) {
        b.Real(r);
        continue;
      }
      if (ParseInt(value, &v)) {
        if (token[0] == 'B') { b.Int8(static_cast<int8_t>(v)); continue; }
        if (token[0] == 'W') { b.Int16(static_cast<int16_t>(v)); continue; }
        if (token[0] == 'I') { b.Int32(static_cast<int32_t>(v)); continue; }
        if (token[0] == 'L') { b.Int64(v); continue; }
      }
    }
    bool matched = false;
    for (const OperatorToken& op : kOperators) {
      if (token == op.token) {
        b.Binary(op.opcode);
        matched = true;
        break;
      }
    }
    if (matched) continue;
    int64_t v = 0;
    double r = 0;
    if (ParseInt(token, &v)) {
      b.Int(v);
    } else if (token.find_first_of(".eE") != std::string_view::npos && ParseReal(token, &r)) {
      b.Real(r);
    } else {
      return fail("unknown token " + std::string(token));
    }
  }
  *code = std::move(b.code);
  return true;
}

}  // namespace korvel::tools
