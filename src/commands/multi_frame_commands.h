// Commands 92 (load a multi-frame image file and show a frame on a layer), 93 (release the file)
// and 94 (frame count and header values). One file is loaded at a time for the whole engine.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/named_tree.h"
#include "image/multi_frame_file.h"

namespace korvel {

inline constexpr uint8_t kCommandMultiFrameShow = 92;
inline constexpr uint8_t kCommandMultiFrameRelease = 93;
inline constexpr uint8_t kCommandMultiFrameInfo = 94;

struct MultiFrameState {
  uint8_t* image = nullptr;  // the file, parts unscrambled (FreeBlock)
  size_t size = 0;
  MultiFrameView view;  // frame_count 0 while nothing is loaded
};

extern MultiFrameState g_multi_frame;

// Loads a file (the name as the script gave it): the previous file is released first, then the
// file is read through the data sources, checked and unscrambled. 0, or -1 after a fatal report
// (104060 not found, 104010 unreadable or malformed, 901040 pack not openable).
int32_t LoadMultiFrameFile(const char* script_name);

// Shows frame `frame` (clamped to the file's frames) on the layer of `node`. Nothing happens
// without a loaded file or with no frames. A part that does not decode leaves the layer as it was
// (100210 is reported, not fatal); sides outside 1..8192 show the size message and report 100010,
// no memory 104030, both fatal. 0, or -1 after a report.
int32_t ShowMultiFrame(NamedTreeNode* node, int64_t frame);

// Frees the file (frame count 0).
void ReleaseMultiFrameFile();

int32_t RunMultiFrameShowCommand();
int32_t RunMultiFrameReleaseCommand();
int32_t RunMultiFrameInfoCommand();

// Installs the three handlers.
void RegisterMultiFrameCommandHandlers();

// Releases the file and frees the decompressor (shutdown; tests call it again).
void InitMultiFrameState();
void ShutdownMultiFrameState();

}  // namespace korvel
