// Encoding 16-bit PCM as MP3 with LAME, for the build-time wake-up clip and for test clips.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace lectoria {

/// Encodes interleaved signed 16-bit samples (1 or 2 channels) as a constant-bit-rate MP3.
/// The first frame carries LAME's info tag with the encoder delay and padding, so decoders that
/// honour it give back exactly the frames that went in. The tag needs a frame of about 160
/// bytes: at the low rates (16-24 kHz) use 64 kbps or more, or LAME leaves it out and the
/// decoded clip is some 60 ms longer. Returns empty bytes on failure.
std::vector<std::uint8_t> EncodeMp3(std::span<const std::int16_t> samples, int rate, int channels,
                                    int kbps = 64);

/// Writes `bytes` to `path`, replacing the file. Returns false on failure.
bool WriteBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

/// A sine tone with 5 ms fades at both ends: `ms` milliseconds at `rate`, the same signal in
/// every channel.
std::vector<std::int16_t> MakeTone(int ms, int rate, int channels, double hz, double amplitude);

}  // namespace lectoria
