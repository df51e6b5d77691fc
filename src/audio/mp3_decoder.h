// Decoding a whole MP3 clip into 16-bit PCM with libmpg123.
//
// Clips are a few seconds of speech, so the player decodes each one completely when it is
// opened; playback then only copies samples and never touches the decoder from the audio thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lectoria {

/// A decoded clip: interleaved signed 16-bit samples in native byte order.
struct DecodedClip {
  int rate = 0;      // frames per second
  int channels = 0;  // 1 or 2
  std::vector<std::int16_t> samples;

  std::size_t Frames() const {
    return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
  }
  std::int64_t LengthMs() const {
    return rate > 0 ? static_cast<std::int64_t>(Frames()) * 1000 / rate : 0;
  }
};

/// Largest file the player reads; larger files fail to open.
inline constexpr std::uintmax_t kMaxMp3FileBytes = 32u << 20;
/// Largest decoded clip in bytes of PCM (about twelve minutes of 44.1 kHz stereo).
inline constexpr std::size_t kMaxDecodedBytes = 128u << 20;

/// Decodes MPEG audio (layer 1, 2 or 3) from memory. Returns nothing when the bytes hold no
/// decodable audio frame, or when the decoded clip would exceed kMaxDecodedBytes; `error` then
/// says why. Decoding stops at the first change of sample rate or channel count mid-stream.
std::optional<DecodedClip> DecodeMp3(std::span<const std::uint8_t> bytes,
                                     std::string* error = nullptr);

/// Reads the file (at most kMaxMp3FileBytes) and decodes it as DecodeMp3 does.
std::optional<DecodedClip> DecodeMp3File(const std::filesystem::path& path,
                                         std::string* error = nullptr);

}  // namespace lectoria
