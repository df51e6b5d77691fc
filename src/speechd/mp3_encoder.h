// MP3 encoding with LAME in the service's one audio format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lectoria::speechd {

/// The format name the client asks for; the only one the service produces.
inline constexpr const char* kAudioFormatName = "audio-24khz-160kbitrate-mono-mp3";

/// Encodes 24 kHz mono PCM as MPEG-2 Layer III at a constant 160 kbit/s, with no VBR (Xing)
/// header and no ID3 tag. Empty input gives a stream of silent frames. Returns empty bytes
/// when the encoder fails. Thread-safe.
std::string EncodeMp3(const std::vector<std::int16_t>& pcm);

/// The same encoding fed piece by piece: the pieces join into one continuous stream.
class Mp3Stream {
 public:
  Mp3Stream();
  ~Mp3Stream();
  Mp3Stream(const Mp3Stream&) = delete;
  Mp3Stream& operator=(const Mp3Stream&) = delete;

  /// False when the encoder could not start; every later call then fails.
  bool Ok() const { return encoder_ != nullptr; }

  /// Encodes 24 kHz mono `pcm` and appends the frames completed so far to `mp3`. False when
  /// the encoder fails.
  bool Encode(const std::vector<std::int16_t>& pcm, std::string& mp3);

  /// Ends the stream: appends the last frames to `mp3`. False when the encoder fails.
  bool Finish(std::string& mp3);

 private:
  struct Encoder;
  std::unique_ptr<Encoder> encoder_;
  std::vector<unsigned char> buffer_;
};

}  // namespace lectoria::speechd
