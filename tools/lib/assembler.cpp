// The assembler: two passes over the sources, the first for script numbers, variables and the
// configuration, the second for the commands.
#include "assembler.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "command_schema.h"
#include "error_text_list.h"
#include "expression_builder.h"
#include "platform/text_encoding.h"
#include "script/format_constants.h"

namespace korvel::tools {

namespace {

struct Variable {
  uint16_t number;
  uint8_t type;
};

struct Open {
  bool loop;
  uint32_t opening;               // the opening command
  int64_t branch_cmd = -1;        // if: the record to point at the next branch
  uint32_t branch_arg = 0;
  bool else_seen = false;
};

struct State {
  CompiledGame* game;
  std::map<std::string, Variable> globals;
  std::vector<std::map<std::string, Variable>> locals;  // by source
  uint32_t next_number = kFirstScriptVariable;
  uint32_t highest = kMinHighestVariable;
  bool highest_given = false;
  std::string where;
};

std::string Trim(std::string_view s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return std::string(s.substr(a, b - a));
}

std::pair<std::string, std::string> SplitWord(std::string_view s) {
  const std::string t = Trim(s);
  const size_t sp = t.find_first_of(" \t");
  if (sp == std::string::npos) return {t, ""};
  return {t.substr(0, sp), Trim(t.substr(sp + 1))};
}

bool ToInt(std::string_view s, int64_t* v) {
  const auto r = std::from_chars(s.data(), s.data() + s.size(), *v);
  return r.ec == std::errc{} && r.ptr == s.data() + s.size();
}

uint8_t TypeCode(std::string_view name) {
  if (name == "int") return 1;
  if (name == "real") return 2;
  if (name == "string") return 3;
  return 0;
}

// NAME[d1][d2]... into a name and its dimensions.
bool ParseShape(std::string_view s, std::string* name, std::vector<uint32_t>* dims) {
  const size_t bracket = s.find('[');
  *name = std::string(s.substr(0, bracket));
  dims->clear();
  size_t at = bracket;
  while (at != std::string_view::npos && at < s.size()) {
    const size_t close = s.find(']', at);
    if (s[at] != '[' || close == std::string_view::npos) return false;
    int64_t d = 0;
    if (!ToInt(s.substr(at + 1, close - at - 1), &d)) return false;
    dims->push_back(static_cast<uint32_t>(d));
    at = close + 1;
  }
  return !name->empty();
}

class Assembler {
 public:
  Assembler(State* state, size_t source, CompiledScript* script)
      : s_(*state), source_(source), script_(*script) {}

  bool Resolve(std::string_view name, uint16_t* number) const {
    const auto& locals = s_.locals[source_];
    if (auto it = locals.find(std::string(name)); it != locals.end()) {
      *number = it->second.number;
      return true;
    }
    if (auto it = s_.globals.find(std::string(name)); it != s_.globals.end()) {
      *number = it->second.number;
      return true;
    }
    return false;
  }

  uint8_t TypeOfVariable(std::string_view name) const {
    const auto& locals = s_.locals[source_];
    if (auto it = locals.find(std::string(name)); it != locals.end()) return it->second.type;
    if (auto it = s_.globals.find(std::string(name)); it != s_.globals.end()) return it->second.type;
    return 1;
  }

  bool Tokens(std::string_view text, std::vector<uint8_t>* code, std::string* error) const {
    return ParseExpressionTokens(
        text, [this](std::string_view n, uint16_t* v) { return Resolve(n, v); }, code, error);
  }

  uint32_t Here() const { return static_cast<uint32_t>(script_.commands.size()); }

  SceneCommand& Emit(uint8_t number, std::vector<SceneArg> args = {}) {
    script_.commands.push_back({number, std::move(args), line_});
    return script_.commands.back();
  }

  bool Fail(std::string* error, const std::string& message) const {
    *error = s_.where + ": " + message;
    return false;
  }

  // Parses "P[:T][@O]=( TOKENS )" and "P[:T][@O]#N" arguments of command `number`.
  bool Arguments(int number, std::string_view text, std::vector<SceneArg>* args,
                 std::string* error) {
    size_t i = 0;
    while (true) {
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i >= text.size()) return true;
      const size_t head_end = text.find_first_of("=#", i);
      if (head_end == std::string_view::npos) return Fail(error, "argument without = or #");
      std::string head(text.substr(i, head_end - i));
      SceneArg a;
      int type = -1, op = 0;
      if (size_t at = head.find('@'); at != std::string::npos) {
        op = std::atoi(head.c_str() + at + 1);
        head.resize(at);
      }
      if (size_t colon = head.find(':'); colon != std::string::npos) {
        type = std::atoi(head.c_str() + colon + 1);
        head.resize(colon);
      }
      int64_t param = 0;
      if (!ToInt(head, &param)) param = FindParameterByName(number, head);
      if (param < 0 || param > 255) return Fail(error, "unknown parameter " + head);
      a.param = static_cast<uint8_t>(param);
      a.op = static_cast<uint8_t>(op);
      const auto& schema = CommandSchema();
      uint8_t kind = 0;
      if (number >= 0 && number < static_cast<int>(schema.size()) &&
          static_cast<size_t>(param) < schema[static_cast<size_t>(number)].params.size()) {
        kind = schema[static_cast<size_t>(number)].params[static_cast<size_t>(param)].kind;
      }
      a.type = static_cast<uint8_t>(type >= 0 ? type : kind == 1 ? 3 : 1);
      if (text[head_end] == '#') {
        size_t end = head_end + 1;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
        int64_t target = 0;
        if (!ToInt(text.substr(head_end + 1, end - head_end - 1), &target)) {
          return Fail(error, "bad record value");
        }
        a.is_target = true;
        a.target = static_cast<uint32_t>(target);
        i = end;
      } else {
        if (head_end + 1 >= text.size() || text[head_end + 1] != '(') {
          return Fail(error, "expected ( after =");
        }
        // The closing parenthesis outside quotes.
        size_t j = head_end + 2;
        char quote = 0;
        for (; j < text.size(); ++j) {
          if (quote != 0) {
            if (text[j] == quote) quote = 0;
          } else if (text[j] == '"' || text[j] == '\'') {
            quote = text[j];
          } else if (text[j] == ')') {
            break;
          }
        }
        if (j >= text.size()) return Fail(error, "missing )");
        std::string message;
        if (!Tokens(text.substr(head_end + 2, j - head_end - 2), &a.code, &message)) {
          return Fail(error, message);
        }
        i = j + 1;
      }
      args->push_back(std::move(a));
    }
  }

  SceneArg Expr(uint8_t param, std::vector<uint8_t> code, uint8_t type = 1) {
    SceneArg a;
    a.param = param;
    a.type = type;
    a.code = std::move(code);
    return a;
  }
  static SceneArg Target(uint8_t param) {
    SceneArg a;
    a.param = param;
    a.is_target = true;
    return a;
  }

  bool Line(uint32_t line_number, const std::string& raw, std::string* error) {
    line_ = line_number;
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#' || line[0] == '.') return true;
    auto [word, rest] = SplitWord(line);
    std::vector<uint8_t> code;
    std::string message;
    if (word == "label") {
      if (rest.empty()) return Fail(error, "label without a name");
      s_.game->labels.push_back({platform::Utf8ToCp932(rest), Here(),
                                 static_cast<uint16_t>(script_.number),
                                 static_cast<uint8_t>(blocks_), static_cast<uint8_t>(loops_)});
      Emit(kCommandLabel);
      return true;
    }
    if (word == "if" || word == "elseif") {
      if (!Tokens(rest, &code, &message)) return Fail(error, message);
      if (word == "if") {
        open_.push_back({false, Here()});
        open_.back().branch_cmd = Here();
        open_.back().branch_arg = 1;
        Emit(kCommandIf, {Expr(0, code), Target(1), Target(2)});
        ++blocks_;
        return true;
      }
      if (open_.empty() || open_.back().loop || open_.back().else_seen) {
        return Fail(error, "elseif without if");
      }
      Emit(kCommandElse);
      PatchBranch(Here());
      open_.back().branch_cmd = Here();
      open_.back().branch_arg = 1;
      Emit(kCommandElseIf, {Expr(0, code), Target(1)});
      return true;
    }
    if (word == "else") {
      if (open_.empty() || open_.back().loop || open_.back().else_seen) {
        return Fail(error, "else without if");
      }
      Emit(kCommandElse);
      PatchBranch(Here());
      open_.back().branch_cmd = -1;
      open_.back().else_seen = true;
      Emit(kCommandElseIf);
      return true;
    }
    if (word == "loop") {
      if (!Tokens(rest, &code, &message)) return Fail(error, message);
      open_.push_back({true, Here()});
      Emit(kCommandLoop, {Expr(0, {}), Expr(1, code), Target(2)});
      ++loops_;
      return true;
    }
    if (word == "end") {
      if (open_.empty()) return Fail(error, "end without if or loop");
      const Open o = open_.back();
      open_.pop_back();
      const uint32_t end = Here();
      if (o.loop) {
        Emit(kCommandLoopEnd);
        script_.commands[o.opening].args[2].target = end;
        --loops_;
      } else {
        Emit(kCommandBlockEnd);
        script_.commands[o.opening].args[2].target = end;
        --blocks_;
      }
      return true;
    }
    if (word == "jump") {
      if (rest.starts_with("(") && rest.ends_with(")")) {
        if (!Tokens(rest.substr(1, rest.size() - 2), &code, &message)) return Fail(error, message);
      } else {
        ExprBuilder b;
        b.Text(platform::Utf8ToCp932(rest));
        code = b.code;
      }
      Emit(kCommandJump, {Expr(0, code, 3)});
      return true;
    }
    if (word == "call") {
      std::string name, args_text;
      if (rest.starts_with("(")) {
        const size_t close = rest.find(')');
        if (close == std::string::npos) return Fail(error, "missing )");
        if (!Tokens(rest.substr(1, close - 1), &code, &message)) return Fail(error, message);
        args_text = rest.substr(close + 1);
      } else {
        std::tie(name, args_text) = SplitWord(rest);
        ExprBuilder b;
        b.Text(platform::Utf8ToCp932(name));
        code = b.code;
      }
      std::vector<SceneArg> args{Expr(0, code, 3)};
      if (!Arguments(kCommandCall, args_text, &args, error)) return false;
      Emit(kCommandCall, std::move(args));
      return true;
    }
    if (word == "let") return Let(rest, error);
    if (word == "break" || word == "continue") {
      std::vector<SceneArg> args;
      if (!rest.empty()) {
        if (!Tokens(rest, &code, &message)) return Fail(error, message);
        args.push_back(Expr(0, code));
      }
      Emit(word == "break" ? 42 : 43, std::move(args));
      return true;
    }
    int64_t number = -1;
    if (!ToInt(word, &number)) number = FindCommandByName(word);
    if (number < 0 || number > 255) return Fail(error, "unknown command " + word);
    std::vector<SceneArg> args;
    if (!Arguments(static_cast<int>(number), rest, &args, error)) return false;
    Emit(static_cast<uint8_t>(number), std::move(args));
    return true;
  }

  void PatchBranch(uint32_t target) {
    Open& o = open_.back();
    if (o.branch_cmd >= 0) {
      script_.commands[static_cast<size_t>(o.branch_cmd)].args[o.branch_arg].target = target;
    }
  }

  bool Let(const std::string& rest, std::string* error) {
    static const char* kOps[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
    std::istringstream in(rest);
    std::string token, target, value;
    int op = -1;
    while (in >> token) {
      if (op < 0) {
        for (int k = 0; k < 9; ++k) {
          if (token == kOps[k]) op = k;
        }
        if (op >= 0) continue;
        target += token + " ";
      } else {
        std::string tail;
        std::getline(in, tail);
        value = token + tail;
        break;
      }
    }
    if (op < 0) return Fail(error, "let without an assignment operator");
    std::vector<uint8_t> target_code, value_code;
    std::string message;
    if (!Tokens(target, &target_code, &message) || !Tokens(value, &value_code, &message)) {
      return Fail(error, message);
    }
    std::string name = Trim(target);
    if (!name.empty() && name[0] == '$') name = name.substr(1);
    name = name.substr(0, name.find_first_of("[ "));
    const uint8_t type = TypeOfVariable(name);
    SceneArg t = Expr(0, target_code);
    t.op = static_cast<uint8_t>(op);
    Emit(kCommandAssign, {t, Expr(1, value_code, type == 3 ? 3 : type == 2 ? 2 : 1)});
    return true;
  }

  bool Finish(std::string* error) const {
    if (!open_.empty()) return Fail(error, "if or loop without end");
    return true;
  }

 private:
  State& s_;
  size_t source_;
  CompiledScript& script_;
  std::vector<Open> open_;
  int blocks_ = 0;
  int loops_ = 0;
  uint32_t line_ = 0;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Pass 1: directives.
bool Directives(State* s, size_t index, const AssemblerSource& src, CompiledScript* script,
                std::string* error) {
  const std::vector<std::string> lines = Lines(src.text);
  for (size_t n = 0; n < lines.size(); ++n) {
    s->where = src.name + ":" + std::to_string(n + 1);
    const std::string line = Trim(lines[n]);
    if (line.empty() || line[0] != '.') continue;
    auto [word, rest] = SplitWord(line);
    auto fail = [&](const std::string& m) {
      *error = s->where + ": " + m;
      return false;
    };
    int64_t v = 0;
    if (word == ".script") {
      if (!ToInt(rest, &v) || v < 0 || v > 0xFFFF) return fail("bad script number");
      script->number = static_cast<uint32_t>(v);
    } else if (word == ".path") {
      script->path = platform::Utf8ToCp932(rest);
    } else if (word == ".value") {
      if (!ToInt(rest, &v)) return fail("bad value");
      script->value = static_cast<uint32_t>(v);
    } else if (word == ".variables") {
      if (!ToInt(rest, &v) || v < 0) return fail("bad variable count");
      s->highest = static_cast<uint32_t>(v);
      s->highest_given = true;
    } else if (word == ".config") {
      auto [key, value] = SplitWord(rest);
      ProjectConfigSpec& c = s->game->config;
      if (key == "title") {
        c.title = platform::Utf8ToCp932(value);
        continue;
      }
      if (!ToInt(value, &v)) return fail("bad value for " + key);
      const auto u = static_cast<uint32_t>(v);
      if (key == "width") c.width = static_cast<int32_t>(v);
      else if (key == "height") c.height = static_cast<int32_t>(v);
      else if (key == "show") c.show_first_frame = u;
      else if (key == "threaded") c.threaded = u;
      else if (key == "debug") c.debug = u;
      else if (key == "sound") c.sound_on = u;
      else if (key == "resizable") c.resizable = u;
      else if (key == "window_option") c.window_option = u;
      else return fail("unknown configuration key " + key);
    } else if (word == ".global" || word == ".local" || word == ".sysvar") {
      std::string body = rest;
      int64_t id = -1;
      if (word == ".sysvar") {
        auto [id_text, tail] = SplitWord(body);
        if (!ToInt(id_text, &id) || id < 0 || id >= kFirstScriptVariable) {
          return fail("system variable numbers are 0..999");
        }
        body = tail;
      }
      auto [type_name, decl] = SplitWord(body);
      const uint8_t type = TypeCode(type_name);
      if (type == 0) return fail("type must be int, real or string");
      std::string shape = decl, init;
      if (size_t eq = decl.find('='); eq != std::string::npos) {
        shape = Trim(decl.substr(0, eq));
        init = Trim(decl.substr(eq + 1));
      }
      DeclarationSpec d;
      std::string name;
      if (!ParseShape(shape, &name, &d.dims)) return fail("bad declaration " + shape);
      const uint32_t number = id >= 0 ? static_cast<uint32_t>(id) : s->next_number++;
      if (number > kMaxHighestVariable) return fail("too many variables");
      d.scope = word == ".local" ? 2 : 1;
      d.script = static_cast<uint16_t>(script->number);
      d.number = static_cast<uint16_t>(number);
      d.type = type;
      auto& table = word == ".local" ? s->locals[index] : s->globals;
      table[name] = {static_cast<uint16_t>(number), type};
      if (!init.empty()) {
        std::vector<uint8_t> code;
        std::string message;
        auto resolve = [&](std::string_view var_name, uint16_t* out) {
          auto it = s->globals.find(std::string(var_name));
          if (it == s->globals.end()) return false;
          *out = it->second.number;
          return true;
        };
        if (type == 3) {
          if (!ParseExpressionTokens(init, resolve, &code, &message)) return fail(message);
          d.code = code;
        } else {
          double r = 0;
          const auto res = std::from_chars(init.data(), init.data() + init.size(), r);
          if (res.ec != std::errc{}) return fail("bad initial value " + init);
          if (type == 1) {
            if (!ToInt(init, &d.int_value)) return fail("bad initial value " + init);
          } else {
            d.real_value = r;
          }
        }
      }
      s->game->declarations.push_back(std::move(d));
    }
  }
  return true;
}

}  // namespace

bool Assemble(const std::vector<AssemblerSource>& sources, CompiledGame* game, std::string* error) {
  State s;
  s.game = game;
  s.locals.resize(sources.size());
  game->scripts.clear();
  game->labels.clear();
  game->declarations.clear();
  std::vector<CompiledScript> scripts(sources.size());
  for (size_t i = 0; i < sources.size(); ++i) {
    scripts[i].number = static_cast<uint32_t>(i);
    scripts[i].path = platform::Utf8ToCp932(sources[i].name);
  }
  // Script numbers first (declarations name them), then the rest of the directives.
  for (size_t i = 0; i < sources.size(); ++i) {
    for (const std::string& line : Lines(sources[i].text)) {
      auto [word, rest] = SplitWord(line);
      int64_t v = 0;
      if (word == ".script" && ToInt(rest, &v) && v >= 0 && v <= 0xFFFF) {
        scripts[i].number = static_cast<uint32_t>(v);
      }
    }
  }
  for (size_t i = 0; i < sources.size(); ++i) {
    if (!Directives(&s, i, sources[i], &scripts[i], error)) return false;
  }
  for (size_t i = 0; i < sources.size(); ++i) {
    Assembler a(&s, i, &scripts[i]);
    const std::vector<std::string> lines = Lines(sources[i].text);
    for (size_t n = 0; n < lines.size(); ++n) {
      s.where = sources[i].name + ":" + std::to_string(n + 1);
      if (!a.Line(static_cast<uint32_t>(n + 1), lines[n], error)) return false;
    }
    s.where = sources[i].name;
    if (!a.Finish(error)) return false;
  }
  uint32_t highest = kMinHighestVariable;
  if (s.next_number > kFirstScriptVariable) highest = std::max(highest, s.next_number - 1);
  game->highest_variable = s.highest_given ? s.highest : highest;
  std::sort(scripts.begin(), scripts.end(),
            [](const CompiledScript& a, const CompiledScript& b) { return a.number < b.number; });
  game->scripts = std::move(scripts);
  return true;
}

bool AssembleFolder(const std::string& folder, CompiledGame* game, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (entry.path().extension() == ".kas") files.push_back(entry.path());
  }
  if (ec) {
    *error = "cannot read " + folder + ": " + ec.message();
    return false;
  }
  std::sort(files.begin(), files.end());
  auto read = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  };
  std::vector<AssemblerSource> sources;
  for (const fs::path& p : files) sources.push_back({p.filename().string(), read(p)});
  if (!Assemble(sources, game, error)) return false;
  const fs::path kre = fs::path(folder) / "kre.txt";
  if (fs::exists(kre, ec)) {
    std::string message;
    if (!MergeErrorTextList(read(kre), &game->error_texts, &message)) {
      *error = kre.string() + ": " + message;
      return false;
    }
  }
  return true;
}

}  // namespace korvel::tools
