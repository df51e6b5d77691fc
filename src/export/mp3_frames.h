// The audio frames of an MP3 clip, and clips joined frame by frame into one stream.
//
// A clip from a speech service may start with ID3v2 tags and a Xing, Info or VBRI frame (a
// silent frame that describes the whole clip), and may end with an ID3v1 tag. Those describe
// one clip only; joined into a longer stream they would be wrong or audible, so only the audio
// frames are taken. Frames are copied as they are: nothing is decoded or re-encoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

/// What every frame of a joinable stream must share.
struct Mp3Format {
  int version = 0;  ///< 10 for MPEG-1, 20 for MPEG-2, 25 for MPEG-2.5
  int layer = 0;    ///< 1, 2 or 3
  int sampleRate = 0;
  int channels = 0;  ///< 1 or 2
  friend bool operator==(const Mp3Format&, const Mp3Format&) = default;
};

/// One frame header, decoded.
struct Mp3FrameHeader {
  Mp3Format format;
  std::size_t size = 0;     ///< bytes of the whole frame, header included
  int samplesPerFrame = 0;  ///< per channel
};

/// Decodes the 4 bytes at the start of `bytes`; nothing when they are no valid MPEG audio
/// frame header (free-format bit rates are refused: their frames have no size of their own).
std::optional<Mp3FrameHeader> ParseMp3FrameHeader(std::string_view bytes);

/// The audio frames of one clip, as views into the clip's bytes.
struct Mp3Clip {
  Mp3Format format;
  int samplesPerFrame = 0;
  std::vector<std::string_view> frames;

  std::int64_t Samples() const {
    return static_cast<std::int64_t>(frames.size()) * samplesPerFrame;
  }
  double Seconds() const {
    return format.sampleRate > 0 ? static_cast<double>(Samples()) / format.sampleRate : 0;
  }
};

/// Walks the frames of `bytes` (which must outlive the result). Leading ID3v2 tags, a trailing
/// ID3v1 tag, a Xing/Info/VBRI first frame and bytes between frames are skipped; a frame is
/// taken only when it lies wholly inside the data and matches the format of the first one.
/// Nothing when no audio frame is found.
std::optional<Mp3Clip> WalkMp3Frames(std::string_view bytes);

/// Appends the frames of `clip` to `stream`. False (and nothing appended) when its format
/// differs from `format`, which the first clip added sets when it is still empty.
bool AppendMp3Frames(const Mp3Clip& clip, Mp3Format& format, std::string& stream);

}  // namespace lectoria
