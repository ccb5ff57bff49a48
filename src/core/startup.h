// The program's spine: the single-instance rule, the initialisation sequence, the message pump and
// frame loop, the optional game thread, shutdown and restart.
#pragma once

#include <cstdint>

namespace korvel {

// Runs the engine; returns the process exit status (0 normal quit, 1 after a fatal error report,
// 2 when a headless run cannot go on).
int EngineMain(int argc, const char* const* argv);

// The initialisation sequence: 0 on success, non-zero to go straight to shutdown.
int InitSequence();
// The message pump and frame loop, until the quit message.
void RunMainLoop();
// Waits for the engine's threads and releases everything the init sequence created; copes with
// objects that were never created.
void ShutdownSequence();

// The game thread (threaded mode): runs frames until one asks for quitting.
void StartMainLoopThread();
void RunGameLoop();

// Resets every shell record so the engine can start again in the same process.
void InitShellState();

}  // namespace korvel
