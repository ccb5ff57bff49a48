// A headless engine shell for the input and window tests: window 0 open, shown and focused, and a
// step that runs one loop pass as the main loop does (this frame's scripted input, the messages,
// the focus and mouse poll, the maximise and restore the messages left, the input poll).
#pragma once

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "core/display_state.h"
#include "core/engine_window.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/input_state.h"
#include "core/published_placement.h"
#include "core/startup.h"
#include "core/subsystem_hooks.h"
#include "core/window_proc.h"
#include "core/window_record.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "engine_fixture.h"

namespace korvel::test {

class InputShell : public HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    platform::SetClockThread(true);
    InitShellState();
    ResetSubsystemHooks();
    ASSERT_EQ(CreateWindowRecords(), 0);
    WindowRecord* main = g_windows[0];
    main->logical_width = 640;
    main->logical_height = 480;
    ASSERT_EQ(AllocateScreenBuffer(640, 480), 0);
    SetWindowedDisplay(640, 480);
    InitWindowObject(main, "input");
    ASSERT_EQ(CreateEngineWindow(main, main->title), 1);
    PublishWindowPlacement();  // as start-up does before the first frame
    SetupInput();
    OpenJoysticks();
    platform::ShowWindow(main->handle, platform::ShowCommand::kShow);
    PumpMessages();
    ASSERT_EQ(main->focus.load(), 1);
  }

  void TearDown() override {
    FreeWindowRecords();
    ResetWindowMessages();
    ResetSubsystemHooks();
    platform::SetClockThread(false);
    HeadlessEngine::TearDown();
  }

  // Queues one scripted input line for frame `frame`.
  static void Input(uint64_t frame, const std::string& line) {
    std::string error;
    ASSERT_TRUE(platform::QueueHeadlessInput(std::to_string(frame) + " " + line, &error))
        << line << ": " << error;
  }

  // One loop pass; the frame number counts from 1. The mouse is mapped with the placement as a
  // frame step would have published it.
  void Step() {
    ++frame_;
    PublishWindowPlacement();
    platform::BeginFrame(frame_);
    PumpMessages();
    PollMouseAndKeyboardFocus();
    ApplyMaximiseAndRestore();
    PollInputState();
  }

  uint64_t frame_ = 0;
};

}  // namespace korvel::test
