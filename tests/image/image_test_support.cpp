// Helpers of the image decoder tests.
#include "image_test_support.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace korvel::test {

std::vector<uint8_t> ReadImageFixture(const std::string& name) {
  const std::string path = std::string(KORVEL_FIXTURES_DIR) + "/images/" + name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "missing fixture " << path;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

namespace {

// Reads the next whitespace-separated token of a netpbm header (comments skipped).
std::string Token(const std::vector<uint8_t>& data, size_t* at) {
  std::string token;
  while (*at < data.size()) {
    const char c = static_cast<char>(data[*at]);
    if (c == '#') {
      while (*at < data.size() && data[*at] != '\n') ++*at;
    } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
      if (!token.empty()) break;
      ++*at;
    } else {
      token += c;
      ++*at;
    }
  }
  return token;
}

}  // namespace

ExpectedImage ReadExpectedImage(const std::string& name) {
  const std::vector<uint8_t> data = ReadImageFixture(name);
  ExpectedImage image;
  size_t at = 0;
  const std::string magic = Token(data, &at);
  int depth = 0;
  int maxval = 255;
  if (magic == "P5" || magic == "P6") {
    image.width = std::stoi(Token(data, &at));
    image.height = std::stoi(Token(data, &at));
    maxval = std::stoi(Token(data, &at));
    depth = magic == "P5" ? 1 : 3;
  } else if (magic == "P7") {
    for (std::string key = Token(data, &at); key != "ENDHDR" && !key.empty();
         key = Token(data, &at)) {
      const std::string value = Token(data, &at);
      if (key == "WIDTH") image.width = std::stoi(value);
      if (key == "HEIGHT") image.height = std::stoi(value);
      if (key == "DEPTH") depth = std::stoi(value);
      if (key == "MAXVAL") maxval = std::stoi(value);
    }
  } else {
    ADD_FAILURE() << name << " is not a netpbm file";
    return image;
  }
  ++at;  // the single whitespace byte behind the header
  const size_t sample_bytes = maxval > 255 ? 2 : 1;
  const size_t count = size_t(image.width) * image.height;
  if (data.size() < at + count * depth * sample_bytes) {
    ADD_FAILURE() << name << " is short";
    return image;
  }
  image.bgra.resize(count * 4);
  for (size_t i = 0; i < count; ++i) {
    uint8_t s[4] = {0, 0, 0, 255};
    for (int c = 0; c < depth; ++c) s[c] = data[at + (i * depth + c) * sample_bytes];
    uint8_t* p = &image.bgra[i * 4];
    if (depth <= 2) {
      p[0] = p[1] = p[2] = s[0];
      p[3] = depth == 2 ? s[1] : 255;
    } else {
      p[0] = s[2];
      p[1] = s[1];
      p[2] = s[0];
      p[3] = depth == 4 ? s[3] : 255;
    }
  }
  return image;
}

ExpectedImage Opaque(ExpectedImage image) {
  for (size_t i = 3; i < image.bgra.size(); i += 4) image.bgra[i] = 255;
  return image;
}

::testing::AssertionResult SamePixels(const DecodedImage& image, const ExpectedImage& expected,
                                      int tolerance) {
  if (image.width != expected.width || image.height != expected.height) {
    return ::testing::AssertionFailure() << "size " << image.width << "x" << image.height
                                         << ", expected " << expected.width << "x"
                                         << expected.height;
  }
  if (image.pixels == nullptr) return ::testing::AssertionFailure() << "no pixels";
  for (size_t i = 0; i < expected.bgra.size(); ++i) {
    const int got = image.pixels[i];
    const int want = expected.bgra[i];
    if (got - want > tolerance || want - got > tolerance) {
      const size_t pixel = i / 4;
      std::ostringstream text;
      text << "pixel (" << pixel % image.width << ", " << pixel / image.width << ") byte "
           << i % 4 << ": " << got << ", expected " << want;
      return ::testing::AssertionFailure() << text.str();
    }
  }
  return ::testing::AssertionSuccess();
}

std::vector<uint8_t> Patched(std::vector<uint8_t> file, size_t at, uint8_t value) {
  if (at < file.size()) file[at] = value;
  return file;
}

std::vector<uint8_t> Flipped(std::vector<uint8_t> file, size_t at, uint8_t flip) {
  if (at < file.size()) file[at] ^= flip;
  return file;
}

bool SpareRowIsZero(const DecodedImage& image) {
  const size_t start = size_t(image.width) * 4 * image.height;
  const size_t end = PixelBufferBytes(image.width, image.height);
  for (size_t i = start; i < end; ++i) {
    if (image.pixels[i] != 0) return false;
  }
  return true;
}

}  // namespace korvel::test
