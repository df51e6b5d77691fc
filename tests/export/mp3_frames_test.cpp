#include "export/mp3_frames.h"

#include <gtest/gtest.h>

#include <string>

namespace lectoria {
namespace {

// MPEG-2 layer 3, 24 kHz, mono, 160 kbit/s (the built-in service's format): 480-byte frames.
const std::string kMono24k = "\xFF\xF3\xE4\xC0";
// MPEG-1 layer 3, 44.1 kHz, stereo, 128 kbit/s: 417 bytes, 418 with padding.
const std::string kStereo44k = std::string("\xFF\xFB\x90\x00", 4);
const std::string kStereo44kPadded = std::string("\xFF\xFB\x92\x00", 4);

std::string Frame(const std::string& header, char fill = '\x55') {
  const auto parsed = ParseMp3FrameHeader(header);
  return header + std::string(parsed->size - 4, fill);
}

// A frame whose side information is followed by `tag` ("Info", "Xing"): a header frame.
std::string InfoFrame(const std::string& header, const std::string& tag, std::size_t offset) {
  std::string frame = Frame(header, '\0');
  frame.replace(offset, tag.size(), tag);
  return frame;
}

std::string Id3v2(std::size_t bodyBytes) {
  return std::string("ID3\x03\x00\x00\x00\x00", 8) + static_cast<char>(bodyBytes >> 7) +
         static_cast<char>(bodyBytes & 0x7F) + std::string(bodyBytes, '\xFF');
}

TEST(Mp3FrameHeader, DecodesSizeSamplesAndFormat) {
  struct Case {
    std::string header;
    std::size_t size;
    int samples;
    Mp3Format format;
  };
  const Case cases[] = {
      {kMono24k, 480, 576, {20, 3, 24000, 1}},
      {kStereo44k, 417, 1152, {10, 3, 44100, 2}},
      {kStereo44kPadded, 418, 1152, {10, 3, 44100, 2}},
      {std::string("\xFF\xFD\x98\x00", 4), 720, 1152, {10, 2, 32000, 2}},  // layer 2
      {std::string("\xFF\xE3\x88\xC4", 4), 576, 576, {25, 3, 8000, 1}},    // MPEG-2.5
  };
  for (const Case& c : cases) {
    const auto header = ParseMp3FrameHeader(c.header);
    ASSERT_TRUE(header) << testing::PrintToString(c.header);
    EXPECT_EQ(header->size, c.size);
    EXPECT_EQ(header->samplesPerFrame, c.samples);
    EXPECT_EQ(header->format, c.format);
  }
  for (const std::string& bad : {std::string("\xFF\xFB\x00\x00", 4),  // free format
                                 std::string("\xFF\xFB\xF0\x00", 4),  // bit-rate index 15
                                 std::string("\xFF\xFB\x9C\x00", 4),  // reserved sample rate
                                 std::string("\xFF\xE9\x90\x00", 4),  // reserved version
                                 std::string("\xFF\xF9\x90\x00", 4),  // reserved layer
                                 std::string("ID3\x03"), std::string("\xFF\xFB")}) {
    EXPECT_FALSE(ParseMp3FrameHeader(bad)) << testing::PrintToString(bad);
  }
}

TEST(WalkMp3Frames, TakesOnlyTheAudioFrames) {
  const std::string a = Frame(kStereo44k, '\x11');
  const std::string b = Frame(kStereo44kPadded, '\x22');
  const std::string tail = "TAG" + std::string(125, ' ');
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> frames;
  };
  const Case cases[] = {
      {"plain frames", a + b + a, {a, b, a}},
      {"ID3v2 tags, Info frame and ID3v1 tag skipped",
       Id3v2(300) + Id3v2(20) + InfoFrame(kStereo44k, "Info", 36) + a + b + tail,
       {a, b}},
      {"Xing frame of a mono MPEG-2 clip",
       InfoFrame(kMono24k, "Xing", 13) + Frame(kMono24k),
       {Frame(kMono24k)}},
      {"junk before and between frames", "junk\xFF\xFB" + a + a + "xx" + b, {a, a, b}},
      {"a truncated last frame is dropped", a + b.substr(0, 100), {a}},
      {"a frame of another format is dropped", a + Frame(kMono24k) + b, {a, b}},
  };
  for (const Case& c : cases) {
    const auto clip = WalkMp3Frames(c.bytes);
    ASSERT_TRUE(clip) << c.what;
    ASSERT_EQ(clip->frames.size(), c.frames.size()) << c.what;
    for (std::size_t i = 0; i < c.frames.size(); ++i)
      EXPECT_EQ(clip->frames[i], c.frames[i]) << c.what << " frame " << i;
    EXPECT_EQ(clip->Samples(), 1152 * static_cast<std::int64_t>(c.frames.size()) /
                                   (clip->format.version == 10 ? 1 : 2))
        << c.what;
  }
  for (const std::string& none : {std::string(), Id3v2(50), std::string("not audio at all"),
                                  InfoFrame(kStereo44k, "Info", 36)}) {
    EXPECT_FALSE(WalkMp3Frames(none));
  }
}

TEST(AppendMp3Frames, JoinsClipsOfOneFormatOnly) {
  const std::string first = Frame(kMono24k, '\x11') + Frame(kMono24k, '\x22');
  const std::string second = Frame(kMono24k, '\x33');
  const std::string other = Frame(kStereo44k);
  Mp3Format format;
  std::string stream;
  ASSERT_TRUE(AppendMp3Frames(*WalkMp3Frames(first), format, stream));
  ASSERT_TRUE(AppendMp3Frames(*WalkMp3Frames(second), format, stream));
  EXPECT_FALSE(AppendMp3Frames(*WalkMp3Frames(other), format, stream));
  EXPECT_EQ(stream, first + second);
  EXPECT_EQ(WalkMp3Frames(stream)->Seconds(), 3 * 576 / 24000.0);
}

}  // namespace
}  // namespace lectoria
