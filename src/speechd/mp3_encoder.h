// MP3 encoding with LAME in the service's one audio format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lectoria::speechd {

/// The format name the client asks for; the only one the service produces.
inline constexpr const char* kAudioFormatName = "audio-24khz-160kbitrate-mono-mp3";

/// Encodes 24 kHz mono PCM as MPEG-2 Layer III at a constant 160 kbit/s, with no VBR (Xing)
/// header and no ID3 tag. Empty input gives a stream of silent frames. Returns empty bytes
/// when the encoder fails. Thread-safe.
std::string EncodeMp3(const std::vector<std::int16_t>& pcm);

}  // namespace lectoria::speechd
