// kframes: packs JPEG files into a multi-frame image file. Each frame is COLOUR.jpg or
// COLOUR.jpg+ALPHA.jpg (a greyscale JPEG of the same size); --alpha sets the file's alpha flag.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lib/multi_frame_writer.h"
#include "lib/pack_writer.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kframes [--alpha] [--values A B C] OUTPUT FRAME...\n"
               "  FRAME is COLOUR.jpg or COLOUR.jpg+ALPHA.jpg (alpha: a greyscale JPEG).\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  korvel::tools::MultiFrameHeader header;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-'; ++arg) {
    const std::string flag = argv[arg];
    if (flag == "--alpha") {
      header.alpha_flag = 1;
    } else if (flag == "--values" && arg + 3 < argc) {
      header.value_a = static_cast<uint32_t>(std::strtoul(argv[++arg], nullptr, 0));
      header.value_b = static_cast<uint32_t>(std::strtoul(argv[++arg], nullptr, 0));
      header.value_c = static_cast<uint32_t>(std::strtoul(argv[++arg], nullptr, 0));
    } else {
      return Usage();
    }
  }
  if (argc - arg < 1) return Usage();
  const std::string output = argv[arg++];
  std::vector<korvel::tools::MultiFrameSource> frames;
  std::string error;
  for (; arg < argc; ++arg) {
    std::string colour = argv[arg], alpha;
    if (const size_t plus = colour.find('+'); plus != std::string::npos) {
      alpha = colour.substr(plus + 1);
      colour.resize(plus);
    }
    korvel::tools::MultiFrameSource frame;
    if (!korvel::tools::ReadWholeFileBytes(colour, &frame.colour, &error) ||
        (!alpha.empty() && !korvel::tools::ReadWholeFileBytes(alpha, &frame.alpha, &error))) {
      std::fprintf(stderr, "kframes: %s\n", error.c_str());
      return 1;
    }
    frames.push_back(std::move(frame));
  }
  const std::vector<uint8_t> file = korvel::tools::WriteMultiFrameFile(frames, header);
  if (file.empty()) {
    std::fprintf(stderr, "kframes: the frames come to more than 4 GiB, which the format cannot hold\n");
    return 1;
  }
  if (!korvel::tools::WriteWholeFileBytes(output, file, 0644, &error)) {
    std::fprintf(stderr, "kframes: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
