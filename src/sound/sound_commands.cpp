// Commands 72, 73 and 74: sound nodes made, driven, deleted and read through the request ring.
#include "sound/sound_commands.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "resource/data_file_lookup.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/script_data.h"
#include "script/variables.h"
#include "sound/sound_channel_ops.h"
#include "sound/sound_command_ring.h"
#include "sound/sound_engine.h"
#include "sound/sound_stream_ops.h"

namespace korvel {

namespace {

struct ResolvedPath {
  char path[kObjectPathCapacity];
  bool group = false;
};

int32_t Normalise(ResolvedPath* out) {
  const int32_t result = NormalizeObjectPath(out->path, sizeof out->path, ArgText(0),
                                             g_sound_tree.base_path, true);
  if (result < 0) return -1;
  out->group = result == 1;
  return 0;
}

NamedTreeNode* Find(const ResolvedPath& p) {
  if (g_sound_tree.root == nullptr) return nullptr;
  return FindObjectByPath(g_sound_tree.root, p.path, p.group ? kFindGroup : kFindLeaf);
}

NamedTreeNode* Create(const ResolvedPath& p) {
  NamedTreeNode* node = CreateTreeNode(g_sound_tree.root, p.path, p.group, 1);
  if (node == nullptr) return nullptr;
  if (CreateSoundChannel(node) == nullptr) {
    DestroyTreeNode(node, FreeSoundPayload);
    return nullptr;
  }
  return node;
}

int32_t PostAndWait(NamedTreeNode* node, uint8_t op, int32_t parameter, const char* text = nullptr) {
  const int32_t slot = PostSoundRequest(node, op, parameter, text);
  return slot < 0 ? -1 : WaitSoundRequest(slot);
}

int32_t Param(uint8_t index) { return static_cast<int32_t>(ArgValue(index)); }

// Command 72 with a file: stops what the channel plays, finds the file and loads it.
int32_t LoadFile(NamedTreeNode* node) {
  bool busy = false;
  {
    std::lock_guard lock(EngineLock());
    busy = ChannelOf(node)->state != kSoundIdle;
  }
  if (busy) {
    if (PostSoundRequest(node, kSoundOpStop, 0) < 0 || WaitSoundIdle(node) < 0) return -1;
  }
  ResourceLocator locator{};
  std::string found;
  const int32_t located = LocateMediaFile(&locator, &found, ArgText(2), kMediaSound);
  if (located < 0) return -1;
  if (located == 1) return 0;
  uint8_t kind = 0;
  if (locator.type == kTypeWav) kind = 2;
  if (locator.type == kTypeOgg) kind = 1;
  if (kind == 0) {
    ReportScriptError(100030, true, CommandName(kCommandSound), found.c_str());
    return -1;
  }
  // The ring holds 255 bytes of a name: a longer one cannot be loaded and is "not found".
  if (found.size() >= kSoundRingTextBytes) return 0;
  {
    std::lock_guard lock(EngineLock());
    ChannelOf(node)->kind = kind;
  }
  return PostAndWait(node, kSoundOpLoad, 0, found.c_str()) < 0 ? -1 : 1;
}

int32_t RunSoundCreateBody() {
  ResolvedPath p;
  if (Normalise(&p) != 0) return -1;
  NamedTreeNode* node = nullptr;
  bool file_for_group = false;
  {
    std::lock_guard lock(EngineLock());
    node = Find(p);
    if (node == nullptr) {
      file_for_group = p.group && ArgGiven(2);
      if (!file_for_group && !p.group && !ArgGiven(2)) return 0;
      if (!file_for_group) {
        node = Create(p);
        if (node == nullptr) return -1;
      }
    }
  }
  // Reported outside the lock: the dialog must not hold up the sound thread.
  if (file_for_group) {
    ReportScriptError(101292, true, CommandName(kCommandSound));
    return -1;
  }
  if (ArgGiven(2)) {
    const int32_t loaded = LoadFile(node);
    if (loaded <= 0) return loaded;
  }
  if (ArgGiven(1)) {
    int32_t volume = 0;
    {
      std::lock_guard lock(EngineLock());
      SoundChannel* channel = ChannelOf(node);
      channel->enabled = static_cast<int8_t>(ArgValue(1) & 0xFF);
      volume = channel->volume;
    }
    if (PostSoundRequest(node, kSoundOpSetVolume, volume) < 0) return -1;
  }
  const struct {
    uint8_t param, op;
  } settings[] = {{6, kSoundOpSetStart}, {7, kSoundOpSetLoopStart}, {8, kSoundOpSetLoopEnd}};
  for (const auto& s : settings) {
    if (ArgGiven(s.param) && PostSoundRequest(node, s.op, Param(s.param)) < 0) return -1;
  }
  if (ArgGiven(9)) {
    {
      std::lock_guard lock(EngineLock());
      ChannelOf(node)->loop_limit = static_cast<uint32_t>(Param(9));
    }
    if (PostSoundRequest(node, kSoundOpSetLoopCount, Param(9)) < 0) return -1;
  }
  if (ArgGiven(11) && PostSoundRequest(node, kSoundOpSetPan, Param(11)) < 0) return -1;
  if (ArgGiven(12) && PostSoundRequest(node, kSoundOpSetSpeed, Param(12)) < 0) return -1;
  if (ArgGiven(10)) {
    const uint8_t op = ArgGiven(3) ? kSoundOpSetFadeTarget : kSoundOpSetVolume;
    if (PostSoundRequest(node, op, Param(10)) < 0) return -1;
  }
  const int32_t fade = ArgGiven(5) ? Param(5) : 0;
  if (ArgGiven(3)) {
    if (Param(3) == 1) {
      if (PostAndWait(node, kSoundOpPlay, fade) < 0) return -1;
    } else if (PostSoundRequest(node, kSoundOpFadeOutStop, fade) < 0) {
      return -1;
    }
  }
  if (ArgGiven(4) && PostAndWait(node, kSoundOpPause, Param(4) == 1 ? 1 : 0) < 0) return -1;
  return 0;
}

// Stops one node and frees it once its stop request has run; later requests for it are dropped.
int32_t DeleteNode(NamedTreeNode* node) {
  if (PostAndWait(node, kSoundOpStop, 0) < 0) return -1;
  std::lock_guard lock(EngineLock());
  for (SoundCommandSlot& slot : g_sound_ring.slots) {
    if (slot.node == node) slot.node = nullptr;
  }
  DestroyTreeNode(node, FreeSoundPayload);
  return 0;
}

int32_t DeleteSubtree(NamedTreeNode* node) {
  for (;;) {
    NamedTreeNode* child = nullptr;
    {
      std::lock_guard lock(EngineLock());
      child = node->first_child;
    }
    if (child == nullptr) break;
    if (DeleteSubtree(child) < 0) return -1;
  }
  return DeleteNode(node);
}

void StoreNumber(int64_t value) {
  const DecodedArgument* target = FindArg(23);
  if (target != nullptr) SetVarNumberElement(target->var_number, target->element_index, value);
}

void StoreEmpty() {
  const DecodedArgument* target = FindArg(23);
  if (target == nullptr || target->var_number >= g_variables.count) return;
  if (g_variables.records[target->var_number].type == kVarString) {
    SetVarStringElement(target->var_number, target->element_index, "");
  } else {
    SetVarNumberElement(target->var_number, target->element_index, 0);
  }
}

int64_t InfoValue(const SoundChannel& c, uint8_t param) {
  switch (param) {
    case 1: return c.kind != 0 ? 1 : 0;
    case 2: return c.enabled;
    case 3: return c.state >= kSoundFadingIn ? 1 : 0;
    case 4: return c.paused;
    case 5: return c.volume;
    case 6: return c.pan;
    case 7: return c.speed;
    case 9: return c.kind;
    case 10: return c.start_ms;
    case 11: return c.loop_start_ms;
    case 12: return c.loop_end_ms;
    case 13: return c.loop_limit;
    case 14: return c.loops_done;
    case 15: return c.bytes_per_second > 0 ? c.played_bytes * 1000 / c.bytes_per_second : 0;
    case 16: return c.length_ms;
    case 17: return c.channels;
    case 18: return c.bits;
    case 19: return c.sample_rate;
    case 20:
    case 21:
      if (g_sound_stream_ops.level == nullptr) return -1;
      return g_sound_stream_ops.level(&c, param - 20);
    case 22: return c.stream_format;
    default: return 0;
  }
}

}  // namespace

int32_t RunSoundCreateCommand() {
  if (g_argument_decoder(kCommandSound) != 0) return -1;
  if (!SoundEnabled()) return 0;
  return RunSoundCreateBody();
}

int32_t RunSoundDeleteCommand() {
  if (g_argument_decoder(kCommandSoundDelete) != 0) return -1;
  ResolvedPath p;
  if (Normalise(&p) != 0) return -1;
  NamedTreeNode* node = nullptr;
  {
    std::lock_guard lock(EngineLock());
    node = Find(p);
  }
  if (node == nullptr) return 0;
  return (p.group ? DeleteSubtree(node) : DeleteNode(node)) < 0 ? -1 : 0;
}

int32_t RunSoundInfoCommand() {
  if (g_argument_decoder(kCommandSoundInfo) != 0) return -1;
  ResolvedPath p;
  if (Normalise(&p) != 0) return -1;
  std::lock_guard lock(EngineLock());
  NamedTreeNode* node = Find(p);
  const SoundChannel* channel = ChannelOf(node);
  if (channel == nullptr) {
    StoreEmpty();
    return 0;
  }
  for (uint8_t param = 1; param <= 7; ++param) {
    if (ArgGiven(param)) {
      StoreNumber(InfoValue(*channel, param));
      return 0;
    }
  }
  static constexpr uint8_t kOrder[] = {9, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
  for (uint8_t param : kOrder) {
    if (!ArgGiven(param)) continue;
    if (param == 8) {
      const DecodedArgument* target = FindArg(23);
      if (target != nullptr) {
        SetVarStringElement(target->var_number, target->element_index, channel->file_name);
      }
    } else {
      StoreNumber(InfoValue(*channel, param));
    }
  }
  return 0;
}

void RegisterSoundCommandHandlers() {
  RegisterCommandHandler(kCommandSound, RunSoundCreateCommand);
  RegisterCommandHandler(kCommandSoundDelete, RunSoundDeleteCommand);
  RegisterCommandHandler(kCommandSoundInfo, RunSoundInfoCommand);
}

}  // namespace korvel
