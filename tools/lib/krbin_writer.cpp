// Writers of the krbin files.
#include "krbin_writer.h"

#include <algorithm>

#include "core/byte_writer.h"
#include "core/murmur_hash.h"
#include "script/format_constants.h"

namespace korvel::tools {

namespace {

void Header(ByteWriter* w) { w->Bytes(kCompiledFileMagic, sizeof kCompiledFileMagic); }

}  // namespace

std::vector<uint8_t> WriteErrorTextFile(const std::vector<ErrorTextEntry>& entries) {
  ByteWriter w;
  Header(&w);
  w.U32(static_cast<uint32_t>(entries.size()));
  w.U32(0);
  for (const ErrorTextEntry& e : entries) {
    w.U32(e.code);
    w.CString(e.text);
  }
  return w.bytes;
}

std::vector<uint8_t> DefaultKeyMap() {
  std::vector<uint8_t> map(kKeyMapSize);
  for (size_t i = 0; i < map.size(); ++i) map[i] = static_cast<uint8_t>(i);
  return map;
}

const std::vector<std::string>& DefaultRuntimeErrorTexts() {
  static const std::vector<std::string> texts = {
      "No error", "Operation not permitted", "No such file or directory", "No such process",
      "Interrupted function call", "Input/output error", "No such device or address",
      "Arg list too long", "Exec format error", "Bad file descriptor", "No child processes",
      "Resource temporarily unavailable", "Not enough space", "Permission denied", "Bad address",
      "Unknown error", "Resource device", "File exists", "Improper link", "No such device",
      "Not a directory", "Is a directory", "Invalid argument", "Too many open files in system",
      "Too many open files", "Inappropriate I/O control operation", "Unknown error",
      "File too large", "No space left on device", "Invalid seek", "Read-only file system",
      "Too many links", "Broken pipe", "Domain error", "Result too large", "Unknown error",
      "Resource deadlock avoided"};
  return texts;
}

std::vector<uint8_t> WriteCommandFile(const std::vector<CommandSpec>& commands,
                                      const std::vector<std::string>& runtime_errors,
                                      const std::vector<uint8_t>& key_map) {
  ByteWriter w;
  Header(&w);
  w.I32(static_cast<int32_t>(commands.size()));
  w.U32(0);
  for (const CommandSpec& c : commands) {
    w.CString(c.name);
    w.U8(static_cast<uint8_t>(c.params.size()));
    for (const ParamSpec& p : c.params) {
      w.CString(p.name);
      w.U8(p.kind);
      w.U8(p.range_class);
    }
  }
  const auto& texts = runtime_errors.empty() ? DefaultRuntimeErrorTexts() : runtime_errors;
  for (size_t i = 0; i < kRuntimeErrorTextCount; ++i) w.CString(i < texts.size() ? texts[i] : "");
  const std::vector<uint8_t> map = key_map.empty() ? DefaultKeyMap() : key_map;
  for (size_t i = 0; i < kKeyMapSize; ++i) w.U8(i < map.size() ? map[i] : 0);
  return w.bytes;
}

std::vector<uint8_t> WriteVariableTableFile(uint32_t highest, uint32_t system_value,
                                            uint32_t format) {
  ByteWriter w;
  w.Bytes(kCompiledFileMagic, 4);
  w.U32(format);
  w.U32(highest);
  w.U32(system_value);
  return w.bytes;
}

std::vector<uint8_t> WriteScriptListFile(const std::vector<ScriptListEntry>& entries) {
  ByteWriter w;
  Header(&w);
  w.U32(static_cast<uint32_t>(entries.size()));
  for (const ScriptListEntry& e : entries) {
    w.U32(e.number);
    w.U32(static_cast<uint32_t>(e.path.size()));
    w.Text(e.path);
    w.Zeros(16);
    w.U32(e.value);
  }
  return w.bytes;
}

std::vector<uint8_t> WriteDeclarationFile(const std::vector<DeclarationSpec>& declarations) {
  ByteWriter w;
  Header(&w);
  w.U16(static_cast<uint16_t>(declarations.size()));
  for (const DeclarationSpec& d : declarations) {
    w.U8(d.scope);
    w.U16(d.script);
    w.U16(d.number);
    w.U8(d.type);
    w.U8(static_cast<uint8_t>(d.dims.size()));
    for (uint32_t dim : d.dims) w.U32(dim);
    if (d.type == 1) w.I64(d.int_value);
    if (d.type == 2) w.F64(d.real_value);
    if (d.type == 3) {
      w.U16(static_cast<uint16_t>(d.code.size()));
      w.Bytes(d.code);
    }
  }
  return w.bytes;
}

std::vector<LabelSpec> SortLabelsByHash(std::vector<LabelSpec> labels) {
  std::stable_sort(labels.begin(), labels.end(), [](const LabelSpec& a, const LabelSpec& b) {
    return MurmurHash2(a.name.data(), a.name.size()) < MurmurHash2(b.name.data(), b.name.size());
  });
  return labels;
}

std::vector<uint8_t> WriteLabelFile(const std::vector<LabelSpec>& unsorted) {
  const std::vector<LabelSpec> labels = SortLabelsByHash(unsorted);
  ByteWriter w;
  Header(&w);
  w.U32(static_cast<uint32_t>(labels.size()));
  // Top bytes without labels point at the next label with a higher top byte (or past the end).
  uint32_t first[256];
  for (uint32_t top = 0; top < 256; ++top) {
    first[top] = static_cast<uint32_t>(labels.size());
    for (size_t i = 0; i < labels.size(); ++i) {
      if ((MurmurHash2(labels[i].name.data(), labels[i].name.size()) >> 24) >= top) {
        first[top] = static_cast<uint32_t>(i);
        break;
      }
    }
  }
  for (uint32_t f : first) w.U32(f);
  for (const LabelSpec& l : labels) {
    w.U8(static_cast<uint8_t>(l.name.size()));
    w.Text(l.name);
    w.U32(MurmurHash2(l.name.data(), l.name.size()));
    w.U32(l.command_index);
    w.U16(l.script);
    w.U8(l.block_depth);
    w.U8(l.loop_depth);
  }
  return w.bytes;
}

std::vector<uint8_t> WriteProjectConfigFile(const ProjectConfigSpec& c) {
  ByteWriter w;
  Header(&w);
  w.Zeros(8);
  w.I32(c.width);
  w.I32(c.height);
  w.U32(c.show_first_frame);
  w.Bytes(c.image_order, 8);
  w.Bytes(c.sound_order, 4);
  w.U32(c.threaded);
  w.U32(c.debug);
  w.U32(c.sound_on);
  w.U32(c.resizable);
  w.U32(c.window_option);
  for (uint32_t o : c.options) w.U32(o);
  w.U32(0);
  w.U16(static_cast<uint16_t>(c.title.size()));
  w.Text(c.title);
  return w.bytes;
}

std::vector<uint8_t> WriteSceneFile(const std::vector<SceneCommand>& commands, bool scramble) {
  ByteWriter cmd, arg, expr, line;
  for (const SceneCommand& c : commands) {
    cmd.U8(c.number);
    cmd.U8(static_cast<uint8_t>(c.args.size()));
    cmd.U16(0);
    for (const SceneArg& a : c.args) {
      arg.U8(a.param);
      arg.U8(0);
      arg.U8(a.type);
      arg.U8(a.op);
      if (a.is_target) {
        arg.U32(a.target);
        arg.U32(0);
      } else {
        arg.U32(static_cast<uint32_t>(a.code.size()));
        arg.U32(static_cast<uint32_t>(expr.size()));
        expr.Bytes(a.code);
      }
    }
    line.U32(c.line);
  }
  ByteWriter w;
  Header(&w);
  w.U32(static_cast<uint32_t>(commands.size()));
  for (const ByteWriter* s : {&cmd, &arg, &expr, &line}) w.U32(static_cast<uint32_t>(s->size()));
  w.U32(0);
  for (ByteWriter* s : {&cmd, &arg, &expr, &line}) {
    if (scramble) ScrambleSection(s->bytes.data(), s->bytes.size());
    w.Bytes(s->bytes);
  }
  return w.bytes;
}

}  // namespace korvel::tools
