// The WAV walker and converters against sox's decodes, the malformed-WAV table, the silent sound,
// and Ogg Vorbis through vorbisfile over memory against oggdec's decodes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sound/sound_decoders.h"
#include "test_support.h"

namespace korvel {
namespace {

std::string Fixture(const std::string& name) {
  return korvel::test::ReadFile(std::string(KORVEL_FIXTURES_DIR) + "/sound/" + name);
}

std::vector<int16_t> Samples(const uint8_t* data, size_t bytes) {
  std::vector<int16_t> s(bytes / 2);
  std::memcpy(s.data(), data, s.size() * 2);
  return s;
}

std::vector<int16_t> Samples(const std::string& bytes) {
  return Samples(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

TEST(WavDecoders, MatchSoxDecodes) {
  const struct {
    const char* name;
    uint16_t channels;
    uint32_t rate;
    int tolerance;  // in 16-bit steps
  } cases[] = {
      {"ms_adpcm_stereo", 2, 22050, 0}, {"ms_adpcm_mono", 1, 8000, 0},
      {"ima_adpcm_stereo", 2, 22050, 0}, {"ima_adpcm_mono", 1, 8000, 0},
      {"alaw", 2, 8000, 0},             {"ulaw", 2, 8000, 0},
      {"float32", 1, 8000, 1},          {"pcm24", 1, 8000, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string wav = Fixture(std::string(c.name) + ".wav");
    const std::vector<int16_t> expected = Samples(Fixture(std::string(c.name) + ".ref.raw"));
    ASSERT_FALSE(expected.empty());
    WavData data;
    ASSERT_EQ(OpenWavData(Bytes(wav), wav.size(), &data), 0);
    EXPECT_EQ(data.stream_format, kStreamConvertedWav);
    EXPECT_EQ(data.format.tag, 1);
    EXPECT_EQ(data.format.bits, 16);
    EXPECT_EQ(data.format.channels, c.channels);
    EXPECT_EQ(data.format.rate, c.rate);
    EXPECT_EQ(data.format.block_align, c.channels * 2);
    const std::vector<int16_t> got = Samples(data.converted.data(), data.converted.size());
    ASSERT_EQ(got.size(), expected.size());
    int worst = 0;
    for (size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::abs(got[i] - expected[i]));
    EXPECT_LE(worst, c.tolerance);
    EXPECT_EQ(data.length_ms, PcmLengthMs(got.size() * 2, c.channels * 2u, c.rate));
  }
}

// A PCM WAV: "RIFF", "WAVE", the chunks given.
std::string Riff(const std::string& chunks, const char* form = "WAVE") {
  std::string s = "RIFF";
  const uint32_t size = static_cast<uint32_t>(4 + chunks.size());
  s.append(reinterpret_cast<const char*>(&size), 4);
  return s + form + chunks;
}

std::string Chunk(const char* id, const std::string& body, uint32_t declared = 0xFFFFFFFF) {
  const uint32_t size = declared == 0xFFFFFFFF ? static_cast<uint32_t>(body.size()) : declared;
  std::string s(id, 4);
  s.append(reinterpret_cast<const char*>(&size), 4);
  s += body;
  if (body.size() % 2) s += '\0';
  return s;
}

std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, size_t length = 16) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  const uint32_t avg = rate * align;
  std::string s;
  s.append(reinterpret_cast<const char*>(&tag), 2);
  s.append(reinterpret_cast<const char*>(&channels), 2);
  s.append(reinterpret_cast<const char*>(&rate), 4);
  s.append(reinterpret_cast<const char*>(&avg), 4);
  s.append(reinterpret_cast<const char*>(&align), 2);
  s.append(reinterpret_cast<const char*>(&bits), 2);
  s.resize(length, '\0');
  return s;
}

// An MS ADPCM format chunk (mono, blocks of `block` bytes) stating `per_block` samples per block
// and no coefficients of its own.
std::string MsAdpcmFmt(uint16_t per_block, char block = 8) {
  std::string f = Fmt(2, 1, 8000, 4, 22);
  f[12] = block;  // block align
  f[16] = 4;  // extra bytes
  f[18] = static_cast<char>(per_block & 0xFF);
  f[19] = static_cast<char>(per_block >> 8);
  return Chunk("fmt ", f);
}

TEST(WavWalker, MalformedFiles) {
  const std::string fmt = Chunk("fmt ", Fmt(1, 2, 8000, 16));
  const std::string data8 = Chunk("data", std::string(8, '\x11'));
  const struct {
    const char* what;
    std::string file;
    int32_t result;
    uint64_t data_size;  // when accepted
  } cases[] = {
      {"good", Riff(fmt + data8), 0, 8},
      {"too short for a header", std::string("RIFF\x04\0\0\0WAV", 11), kWavNotRiff, 0},
      {"not RIFF", "RIFX" + Riff(fmt + data8).substr(4), kWavNotRiff, 0},
      {"not WAVE", Riff(fmt + data8, "AVI "), kWavNotWave, 0},
      {"no format chunk", Riff(data8), kWavNoFormat, 0},
      {"format chunk of 12 bytes", Riff(Chunk("fmt ", Fmt(1, 2, 8000, 16, 12)) + data8),
       kWavShortFormat, 0},
      {"format chunk cut by the end of the file", Riff(fmt).substr(0, 12 + 8 + 10),
       kWavShortFormat, 0},
      {"no data chunk", Riff(fmt + Chunk("LIST", "abcd")), kWavNoData, 0},
      {"empty data chunk", Riff(fmt + Chunk("data", "")), kWavNoData, 0},
      {"data shorter than one block", Riff(fmt + Chunk("data", "abc")), kWavNoData, 0},
      {"data cut to whole blocks", Riff(fmt + Chunk("data", "abcdefghij")), 0, 8},
      {"data longer than the file", Riff(fmt + Chunk("data", "abcdefghijkl", 4000)), 0, 12},
      {"chunk size past 4 GiB before the data",
       Riff(fmt + Chunk("JUNK", "", 0xFFFFFFF0) + data8), kWavNoData, 0},
      {"RIFF size larger than the file", "RIFF\xff\xff\xff\x7f" + Riff(fmt + data8).substr(8), 0, 8},
      {"RIFF size cuts the data", std::string("RIFF\x28\0\0\0", 8) + Riff(fmt + data8).substr(8), 0, 4},
      {"unknown format tag", Riff(Chunk("fmt ", Fmt(0x55, 2, 8000, 16)) + data8), kWavUnsupported, 0},
      {"extensible without its GUID", Riff(Chunk("fmt ", Fmt(0xFFFE, 2, 8000, 16, 18)) + data8),
       kWavUnsupported, 0},
      {"A-law of 16 bits", Riff(Chunk("fmt ", Fmt(6, 2, 8000, 16)) + data8), kWavUnsupported, 0},
      {"MS ADPCM stating one sample per block", Riff(MsAdpcmFmt(1) + data8), 0, 4},
      {"MS ADPCM stating more samples than a block holds", Riff(MsAdpcmFmt(500) + data8), 0, 8},
      {"MS ADPCM whose step keeps growing",
       Riff(MsAdpcmFmt(0, 120) + Chunk("data", std::string(7, '\x7F') + std::string(113, '\x77'))),
       0, 2 * 228},
      {"ADPCM of zero channels", Riff(Chunk("fmt ", Fmt(2, 0, 8000, 4)) + data8), kWavUnsupported, 0},
  };
  for (const auto& c : cases) {
    WavData data;
    EXPECT_EQ(OpenWavData(Bytes(c.file), c.file.size(), &data), c.result) << c.what;
    if (c.result == 0) {
      EXPECT_EQ(data.data_size, c.data_size) << c.what;
      if (data.stream_format == kStreamPcmWav) {
        EXPECT_LE(data.data_offset + data.data_size, c.file.size()) << c.what;
      }
    }
  }
}

// MS ADPCM at the edges of its ranges: coefficients and history samples of -32768 make the
// prediction's sum 2^31, past a 32-bit integer. The predictor is worked in 64 bits and clamped.
TEST(WavDecoders, MsAdpcmPredictionAtTheEdgesOfItsRange) {
  std::string f = Fmt(2, 1, 8000, 4, 26);
  f[12] = 9;   // block align: the seven header bytes and two bytes of nibbles
  f[16] = 8;   // extra bytes: samples per block, one coefficient pair
  f[18] = 5;   // samples per block
  f[20] = 1;   // coefficient pairs
  f[23] = '\x80';  // c1 = -32768
  f[25] = '\x80';  // c2 = -32768
  // Predictor 0, step 16, both history samples -32768, then nibbles of zero.
  const std::string block("\0\x10\0\0\x80\0\x80\0\0", 9);
  const std::string file = Riff(Chunk("fmt ", f) + Chunk("data", block));
  WavData data;
  ASSERT_EQ(OpenWavData(Bytes(file), file.size(), &data), 0);
  // (2 * 2^30) >> 8 clamps to 32767; then (32767 - 32768) * -32768 >> 8 = 128;
  // then (128 + 32767) * -32768 >> 8 clamps to -32768.
  EXPECT_EQ(Samples(data.converted.data(), data.converted.size()),
            (std::vector<int16_t>{-32768, -32768, 32767, 128, -32768}));
}

TEST(WavWalker, ChunksAfterAnOddSizedOneAndFourteenByteFormats) {
  const std::string file = Riff(Chunk("fmt ", Fmt(1, 1, 11025, 8, 14)) + Chunk("LIST", "odd") +
                                Chunk("data", std::string(11025, '\x90')));
  WavData data;
  ASSERT_EQ(OpenWavData(Bytes(file), file.size(), &data), 0);
  EXPECT_EQ(data.format.bits, 8);
  EXPECT_EQ(data.format.block_align, 1);
  EXPECT_EQ(data.length_ms, 1000);
  EXPECT_EQ(static_cast<uint8_t>(file[data.data_offset]), 0x90);
}

TEST(WavWalker, LengthsAreComputedInDouble) {
  EXPECT_EQ(PcmLengthMs(0xFFFFFFFFu, 4, 44100), 24347887);
  EXPECT_EQ(PcmLengthMs(176400, 4, 44100), 1000);
  EXPECT_EQ(PcmLengthMs(176399, 4, 44100), 999);
  EXPECT_EQ(PcmLengthMs(1000, 0, 44100), 0);
  EXPECT_EQ(PcmLengthMs(1000, 4, 0), 0);
}

TEST(SilentSound, IsHalfASecondOfEightBitSilence) {
  const std::vector<uint8_t> wav = MakeSilentWav();
  ASSERT_EQ(wav.size(), 4044u);
  WavData data;
  ASSERT_EQ(OpenWavData(wav.data(), wav.size(), &data), 0);
  EXPECT_EQ(data.format.rate, 8000u);
  EXPECT_EQ(data.format.channels, 1);
  EXPECT_EQ(data.format.bits, 8);
  EXPECT_EQ(data.format.bytes_per_second, 8000u);
  EXPECT_EQ(data.data_size, 4000u);
  EXPECT_EQ(data.length_ms, 500);
  for (uint64_t i = 0; i < data.data_size; ++i) ASSERT_EQ(wav[data.data_offset + i], 0x80);
}

// Everything the decoder gives from its current position on.
std::vector<int16_t> ReadAll(OggDecoder* decoder) {
  std::vector<int16_t> out;
  uint8_t buffer[4096];
  for (;;) {
    const int32_t n = decoder->Read(buffer, sizeof buffer);
    EXPECT_GE(n, 0);
    if (n <= 0) break;
    const std::vector<int16_t> part = Samples(buffer, static_cast<size_t>(n));
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

TEST(OggDecoding, MatchesOggdec) {
  const struct {
    const char* name;
    uint16_t channels;
    uint32_t rate;
    int64_t length_ms;
  } cases[] = {{"mono22050", 1, 22050, 149}, {"stereo44100", 2, 44100, 150}, {"one_sample", 1, 44100, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string ogg = Fixture(std::string(c.name) + ".ogg");
    const std::vector<int16_t> expected = Samples(Fixture(std::string(c.name) + ".ref.raw"));
    OggInfo info;
    ASSERT_EQ(ProbeOggData(Bytes(ogg), ogg.size(), &info), 0);
    EXPECT_EQ(info.format.channels, c.channels);
    EXPECT_EQ(info.format.rate, c.rate);
    EXPECT_EQ(info.format.block_align, c.channels * 2);
    EXPECT_EQ(info.format.bytes_per_second, c.rate * c.channels * 2);
    EXPECT_EQ(info.length_ms, c.length_ms);

    OggDecoder decoder;
    ASSERT_EQ(decoder.Open(Bytes(ogg), ogg.size()), 0);
    EXPECT_EQ(ReadAll(&decoder), expected);
    // Seeks land on the same samples.
    const int64_t frames = static_cast<int64_t>(expected.size() / c.channels);
    for (int64_t at : {frames / 3, frames - 1, int64_t{0}}) {
      ASSERT_EQ(decoder.PcmSeek(at), 0) << at;
      EXPECT_EQ(decoder.PcmTell(), at);
      const std::vector<int16_t> rest = ReadAll(&decoder);
      EXPECT_EQ(rest, std::vector<int16_t>(expected.begin() + at * c.channels, expected.end())) << at;
    }
    ASSERT_EQ(decoder.TimeSeek(0.0), 0);
    EXPECT_EQ(decoder.PcmTell(), 0);
  }
}

TEST(OggDecoding, RefusesWhatCannotStream) {
  const std::string chained = Fixture("chained.ogg");
  const std::string good = Fixture("mono22050.ogg");
  OggInfo info;
  EXPECT_EQ(ProbeOggData(Bytes(chained), chained.size(), &info), kOggChained);
  const std::string garbage(500, 'x');
  EXPECT_EQ(ProbeOggData(Bytes(garbage), garbage.size(), &info), kOggOpenFailed);
  EXPECT_EQ(ProbeOggData(nullptr, 0, &info), kOggOpenFailed);
  // Cut images: refused or decoded as far as they go, never read outside.
  for (size_t size : {size_t{10}, size_t{100}, good.size() / 2, good.size() - 1}) {
    const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    const int32_t r = ProbeOggData(cut.data(), cut.size(), &info);
    EXPECT_TRUE(r == 0 || r == kOggOpenFailed || r == kOggNotSeekable) << size << " " << r;
    OggDecoder decoder;
    if (decoder.Open(cut.data(), cut.size()) == 0) {
      uint8_t buffer[4096];
      while (decoder.Read(buffer, sizeof buffer) > 0) {
      }
    }
  }
}

}  // namespace
}  // namespace korvel
