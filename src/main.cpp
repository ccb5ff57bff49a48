// The korvel program: runs the game in the folder given by --game (or found beside the program).
#include "core/startup.h"
#include "engine_wiring.h"

int main(int argc, char** argv) {
  korvel::WireSubsystems();
  return korvel::EngineMain(argc, argv);
}
