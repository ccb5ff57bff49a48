// The engine's Flash host: no Flash player exists on this platform, so loading the library fails
// and nothing else is ever asked of the host.
#include "commands/flash_host.h"

namespace korvel {

namespace {

bool NoLibrary() { return false; }
int32_t NoControl() { return -1; }
void NoMovie(const std::string&) {}
bool NoFrames(int32_t* frames) {
  *frames = 0;
  return false;
}
void Nothing() {}
int16_t NotPlaying() { return 0; }
int32_t NoFrame() { return 0; }
bool NoVariable(const std::string&, std::string*) { return false; }

}  // namespace

FlashHost NativeFlashHost() {
  FlashHost host;
  host.load_library = NoLibrary;
  host.create_control = NoControl;
  host.put_movie = NoMovie;
  host.total_frames = NoFrames;
  host.play = Nothing;
  host.playing = NotPlaying;
  host.current_frame = NoFrame;
  host.get_variable = NoVariable;
  host.release = Nothing;
  return host;
}

FlashHost g_flash_host = NativeFlashHost();

}  // namespace korvel
