#include "export/mp3_frames.h"

#include <algorithm>
#include <array>

namespace lectoria {
namespace {

// Bit rates in kbit/s by bit-rate index 1..14 (index 0, free format, and 15 are refused).
constexpr std::array<std::array<int, 14>, 5> kBitRates = {{
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer 1
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer 2
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer 3
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2/2.5 layer 1
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2/2.5 layer 2, 3
}};
constexpr std::array<int, 3> kMpeg1Rates = {44100, 48000, 32000};

std::uint8_t At(std::string_view bytes, std::size_t i) {
  return static_cast<std::uint8_t>(bytes[i]);
}

// Bytes of ID3v2 tags at the start of `bytes` (several may follow each other).
std::size_t LeadingId3Size(std::string_view bytes) {
  std::size_t pos = 0;
  while (bytes.size() - pos >= 10 && bytes.substr(pos, 3) == "ID3") {
    std::size_t size = 0;
    for (std::size_t i = 6; i < 10; ++i) {
      if (At(bytes, pos + i) & 0x80) return pos;  // not a syncsafe size: not a tag
      size = (size << 7) | At(bytes, pos + i);
    }
    const bool footer = (At(bytes, pos + 5) & 0x10) != 0;
    pos += 10 + size + (footer ? 10 : 0);
    if (pos >= bytes.size()) return bytes.size();
  }
  return pos;
}

// True when a frame only describes the clip (Xing/Info from LAME and others, VBRI from
// Fraunhofer): the tag sits right after the side information, or at byte 36 for VBRI.
bool IsInfoFrame(std::string_view frame, const Mp3FrameHeader& header) {
  if (header.format.layer != 3) return false;
  const bool mpeg1 = header.format.version == 10;
  const bool mono = header.format.channels == 1;
  const std::size_t sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  const bool crc = (At(frame, 1) & 0x01) == 0;
  for (std::size_t offset : {4 + sideInfo, 4 + sideInfo + (crc ? 2 : 0)}) {
    const std::string_view tag = frame.substr(std::min(offset, frame.size()), 4);
    if (tag == "Xing" || tag == "Info") return true;
  }
  return frame.substr(std::min<std::size_t>(36, frame.size()), 4) == "VBRI";
}

// A frame header at `pos` whose frame fits and is followed by the end of the data or by
// another frame header: two in a row make a chance match in other bytes unlikely.
std::optional<Mp3FrameHeader> ConfirmedHeader(std::string_view bytes, std::size_t pos) {
  const auto header = ParseMp3FrameHeader(bytes.substr(pos));
  if (!header || header->size > bytes.size() - pos) return std::nullopt;
  const std::size_t next = pos + header->size;
  if (next == bytes.size()) return header;
  if (!ParseMp3FrameHeader(bytes.substr(next))) return std::nullopt;
  return header;
}

}  // namespace

std::optional<Mp3FrameHeader> ParseMp3FrameHeader(std::string_view bytes) {
  if (bytes.size() < 4 || At(bytes, 0) != 0xFF || (At(bytes, 1) & 0xE0) != 0xE0)
    return std::nullopt;
  const int versionBits = (At(bytes, 1) >> 3) & 3;
  const int layerBits = (At(bytes, 1) >> 1) & 3;
  const int bitRateIndex = At(bytes, 2) >> 4;
  const int rateIndex = (At(bytes, 2) >> 2) & 3;
  if (versionBits == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 ||
      rateIndex == 3)
    return std::nullopt;

  Mp3FrameHeader header;
  Mp3Format& format = header.format;
  format.version = versionBits == 3 ? 10 : versionBits == 2 ? 20 : 25;
  format.layer = 4 - layerBits;
  format.sampleRate = kMpeg1Rates[rateIndex] / (format.version == 10   ? 1
                                                : format.version == 20 ? 2
                                                                       : 4);
  format.channels = (At(bytes, 3) >> 6) == 3 ? 1 : 2;
  const bool mpeg1 = format.version == 10;
  const std::size_t table = mpeg1 ? format.layer - 1 : (format.layer == 1 ? 3 : 4);
  const long bitRate = kBitRates[table][bitRateIndex - 1] * 1000L;
  const int padding = (At(bytes, 2) >> 1) & 1;
  if (format.layer == 1) {
    header.samplesPerFrame = 384;
    header.size = static_cast<std::size_t>((12 * bitRate / format.sampleRate + padding) * 4);
  } else {
    const bool halfFrames = format.layer == 3 && !mpeg1;  // MPEG-2/2.5 layer 3: 576 samples
    header.samplesPerFrame = halfFrames ? 576 : 1152;
    header.size =
        static_cast<std::size_t>((halfFrames ? 72 : 144) * bitRate / format.sampleRate + padding);
  }
  return header;
}

std::optional<Mp3Clip> WalkMp3Frames(std::string_view bytes) {
  if (bytes.size() >= 128 && bytes.substr(bytes.size() - 128, 3) == "TAG")
    bytes.remove_suffix(128);  // ID3v1
  std::size_t pos = LeadingId3Size(bytes);

  Mp3Clip clip;
  bool first = true;
  bool inStep = false;  // the last frame ended here; otherwise a frame must be confirmed
  while (pos < bytes.size()) {
    auto header = inStep ? ParseMp3FrameHeader(bytes.substr(pos)) : ConfirmedHeader(bytes, pos);
    inStep =
        header && header->size <= bytes.size() - pos && (first || header->format == clip.format);
    if (!inStep) {
      ++pos;  // look for the next frame
      continue;
    }
    const std::string_view frame = bytes.substr(pos, header->size);
    pos += header->size;
    if (first) {
      first = false;
      clip.format = header->format;
      clip.samplesPerFrame = header->samplesPerFrame;
      if (IsInfoFrame(frame, *header)) continue;
    }
    clip.frames.push_back(frame);
  }
  if (clip.frames.empty()) return std::nullopt;
  return clip;
}

bool AppendMp3Frames(const Mp3Clip& clip, Mp3Format& format, std::string& stream) {
  if (format == Mp3Format{}) format = clip.format;
  if (!(clip.format == format)) return false;
  for (std::string_view frame : clip.frames) stream.append(frame);
  return true;
}

}  // namespace lectoria
