// The usage and version texts, and the scan for --help and --version.
#include "core/command_line_help.h"

#include <string_view>

#ifndef KORVEL_VERSION
#define KORVEL_VERSION "0.0.0"
#endif

namespace korvel {

CommandLineRequest FindCommandLineRequest(int argc, const char* const* argv) {
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "--game") {
      ++i;  // its folder, whatever it is called
      continue;
    }
    if (arg == "--help" || arg == "-h") return CommandLineRequest::kHelp;
    if (arg == "--version") return CommandLineRequest::kVersion;
  }
  return CommandLineRequest::kRunGame;
}

std::string UsageText() {
  return "usage: korvel [--game DIR] [--] [script arguments...]\n"
         "       korvel --help | --version\n"
         "\n"
         "Runs the game in DIR. Without --game the game folder is the program's own folder when it\n"
         "holds a game (a krbin folder, .kpf packs or data appended to the program), else the\n"
         "current folder. Up to eight script arguments reach the game's scripts.\n"
         "\n"
         "Options:\n"
         "  --game DIR    run the game in DIR (also --game=DIR)\n"
         "  --help        print this text and exit\n"
         "  --version     print the version and exit\n"
         "  --            end of the engine's options: what follows are script arguments\n"
         "\n"
         "Environment (changes how the engine runs, never what a game sees):\n"
         "  KORVEL_PLATFORM=headless|sdl      sdl (default) opens a window; without a display\n"
         "                                    it runs headless and says so\n"
         "  KORVEL_EDITOR=\"PROGRAM {path} {line}\"\n"
         "                                    the editor the error dialog's Edit button opens\n"
         "  KORVEL_PIXEL_ISA=scalar|sse2|avx2 use this pixel kernel set (when the processor has it)\n"
         "  KORVEL_COMPILER_BLOCK=NAME        the shared memory name of the script compiler's link\n"
         "Headless runs only:\n"
         "  KORVEL_FRAMES=N                   quit after frame N\n"
         "  KORVEL_DUMP=DIR                   write every presented frame as\n"
         "                                    DIR/w<window>-<frame>.png\n"
         "  KORVEL_AUDIO_DUMP=FILE            record the sound mix as a WAV file\n"
         "  KORVEL_INPUT=FILE                 scripted input, one event per line\n"
         "  KORVEL_ANSWERS=FILE               dialog answers, one per line\n"
         "  KORVEL_CLOCK_START=MS             start the virtual clock at MS milliseconds\n"
         "  KORVEL_TICK_BUDGET=N              end a run whose scripts run more than N commands\n"
         "                                    in one tick (0: never)\n"
         "\n"
         "Exit status: 0 after a normal quit, 1 after a fatal error, 2 when a headless run cannot\n"
         "go on.\n";
}

std::string VersionText() { return std::string("korvel ") + KORVEL_VERSION + "\n"; }

}  // namespace korvel
