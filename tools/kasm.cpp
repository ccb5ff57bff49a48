// kasm: assembles a folder of script sources into a game folder with krbin/.
//   kasm --out GAME_FOLDER SOURCE_FOLDER
#include <cstdio>
#include <cstring>
#include <string>

#include "lib/assembler.h"
#include "lib/compiled_game.h"

int main(int argc, char** argv) {
  std::string out, source;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      out = argv[++i];
    } else if (source.empty() && argv[i][0] != '-') {
      source = argv[i];
    } else {
      std::fprintf(stderr, "kasm: unexpected argument %s\n", argv[i]);
      return 2;
    }
  }
  if (out.empty() || source.empty()) {
    std::fprintf(stderr, "usage: kasm --out GAME_FOLDER SOURCE_FOLDER\n");
    return 2;
  }
  korvel::tools::CompiledGame game;
  std::string error;
  if (!korvel::tools::AssembleFolder(source, &game, &error) ||
      !korvel::tools::WriteGameFolder(game, out, &error)) {
    std::fprintf(stderr, "kasm: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
