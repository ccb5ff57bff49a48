// kappend: writes a copy of the engine's executable with a pack appended, so the game runs from
// the program file alone.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lib/pack_writer.h"

int main(int argc, char** argv) {
  using namespace korvel::tools;
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: kappend EXECUTABLE PACK OUTPUT\n"
                 "  OUTPUT becomes EXECUTABLE (without any pack it already carries) with PACK\n"
                 "  appended and the footer that tells the engine where it starts.\n");
    return 2;
  }
  std::string error;
  std::vector<uint8_t> executable;
  std::vector<uint8_t> pack;
  struct stat st {};
  if (!ReadWholeFileBytes(argv[1], &executable, &error) ||
      !ReadWholeFileBytes(argv[2], &pack, &error)) {
    std::fprintf(stderr, "kappend: %s\n", error.c_str());
    return 1;
  }
  const unsigned mode = stat(argv[1], &st) == 0 ? (st.st_mode & 07777) : 0755;
  if (!WriteWholeFileBytes(argv[3], AppendPackToExecutable(executable, pack), mode, &error)) {
    std::fprintf(stderr, "kappend: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
