#include "speechd/audio_decoding.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace lectoria::speechd {

namespace {

std::uint32_t Le32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint16_t Le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}

bool IsWav(std::string_view b) {
  return b.size() >= 12 && b.substr(0, 4) == "RIFF" && b.substr(8, 4) == "WAVE";
}

bool IsMp3(std::string_view b) {
  if (b.size() >= 3 && b.substr(0, 3) == "ID3") return true;
  return b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF &&
         (static_cast<unsigned char>(b[1]) & 0xE0) == 0xE0;
}

// One sample of `bits` at `p` as a value in [-1, 1).
double SampleAt(const unsigned char* p, int bits, bool isFloat) {
  if (isFloat) {
    float value;
    std::memcpy(&value, p, 4);
    return std::isfinite(value) ? std::clamp<double>(value, -1.0, 1.0) : 0.0;
  }
  switch (bits) {
    case 8:
      return (static_cast<int>(p[0]) - 128) / 128.0;
    case 16:
      return static_cast<std::int16_t>(p[0] | p[1] << 8) / 32768.0;
    case 24: {
      std::int32_t v = p[0] | p[1] << 8 | p[2] << 16;
      if (v & 0x800000) v -= 0x1000000;
      return v / 8388608.0;
    }
    default: {
      std::uint32_t u = p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
      return static_cast<std::int32_t>(u) / 2147483648.0;
    }
  }
}

bool DecodeWav(std::string_view b, EngineAudio& audio, std::string& error) {
  int format = 0, channels = 0, bits = 0;
  std::uint32_t rate = 0;
  std::string_view data;
  bool haveFormat = false, haveData = false;
  for (std::size_t at = 12; at + 8 <= b.size() && !haveData;) {
    const std::string_view id = b.substr(at, 4);
    const std::uint32_t size = Le32(b, at + 4);
    const std::size_t body = at + 8;
    if (id == "fmt " && size >= 16 && body + size <= b.size()) {
      format = Le16(b, body);
      channels = Le16(b, body + 2);
      rate = Le32(b, body + 4);
      bits = Le16(b, body + 14);
      if (format == 0xFFFE && size >= 26) format = Le16(b, body + 24);  // the sub-format
      haveFormat = true;
    } else if (id == "data") {
      // A program writing to a pipe cannot go back to fill in the size.
      const std::size_t available = b.size() - body;
      data = b.substr(body, (size == 0 || size > available) ? available : size);
      haveData = true;
    }
    at = body + static_cast<std::size_t>(size) + (size & 1);
  }
  if (!haveFormat || !haveData) {
    error = "the WAV file has no format or no data";
    return false;
  }
  const bool isFloat = format == 3 && bits == 32;
  if ((format != 1 && !isFloat) || (bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
      channels < 1 || channels > 16 || rate < 1000 || rate > 384000) {
    error = "the WAV file is not plain PCM (format " + std::to_string(format) + ", " +
            std::to_string(bits) + " bits, " + std::to_string(channels) + " channels, " +
            std::to_string(rate) + " Hz)";
    return false;
  }
  const std::size_t frameBytes = static_cast<std::size_t>(bits / 8) * channels;
  const std::size_t frames = data.size() / frameBytes;
  audio.rate = static_cast<int>(rate);
  audio.samples.resize(frames);
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  for (std::size_t f = 0; f < frames; ++f) {
    double sum = 0;
    for (int c = 0; c < channels; ++c)
      sum += SampleAt(p + f * frameBytes + c * (bits / 8), bits, isFloat);
    audio.samples[f] = static_cast<std::int16_t>(
        std::clamp(std::lround(sum / channels * 32767.0), -32768L, 32767L));
  }
  return true;
}

bool DecodeMp3Stream(std::string_view b, EngineAudio& audio, std::string& error) {
  static std::once_flag started;
  std::call_once(started, [] { mpg123_init(); });  // needed by libmpg123 before 1.27
  int status = MPG123_OK;
  mpg123_handle* handle = mpg123_new(nullptr, &status);
  if (handle == nullptr) {
    error = "the MP3 decoder could not start";
    return false;
  }
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(handle);
  const long* rates = nullptr;
  std::size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (std::size_t i = 0; i < rateCount; ++i)
    mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  long rate = 0;
  int channels = 1;
  bool ok =
      mpg123_open_feed(handle) == MPG123_OK &&
      mpg123_feed(handle, reinterpret_cast<const unsigned char*>(b.data()), b.size()) == MPG123_OK;
  std::vector<std::int16_t> buffer(16384);
  while (ok) {
    std::size_t done = 0;
    status = mpg123_read(handle, buffer.data(), buffer.size() * sizeof(std::int16_t), &done);
    if (status == MPG123_NEW_FORMAT) {
      int encoding = 0;
      mpg123_getformat(handle, &rate, &channels, &encoding);
      channels = std::max(channels, 1);
    }
    const std::size_t count = done / sizeof(std::int16_t);
    for (std::size_t i = 0; i + channels <= count; i += channels) {
      int sum = 0;
      for (int c = 0; c < channels; ++c) sum += buffer[i + c];
      audio.samples.push_back(static_cast<std::int16_t>(sum / channels));
    }
    if (status == MPG123_NEED_MORE || status == MPG123_DONE) break;
    if (status != MPG123_OK && status != MPG123_NEW_FORMAT) ok = false;
  }
  mpg123_delete(handle);
  if (!ok || rate <= 0 || audio.samples.empty()) {
    error = "the MP3 stream holds no audio that can be decoded";
    return false;
  }
  audio.rate = static_cast<int>(rate);
  return true;
}

}  // namespace

bool LooksLikeAudio(std::string_view bytes) {
  return IsWav(bytes) || IsMp3(bytes);
}

bool DecodeEngineAudio(std::string_view bytes, EngineAudio& audio, std::string& error) {
  audio.rate = 0;
  audio.samples.clear();
  if (IsWav(bytes)) return DecodeWav(bytes, audio, error);
  if (IsMp3(bytes)) return DecodeMp3Stream(bytes, audio, error);
  error = bytes.empty() ? "the reply is empty" : "the reply is neither WAV nor MP3 audio";
  return false;
}

}  // namespace lectoria::speechd
