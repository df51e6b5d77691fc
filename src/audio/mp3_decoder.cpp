#include "audio/mp3_decoder.h"

#include <mpg123.h>

#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>

namespace lectoria {
namespace {

struct HandleDeleter {
  void operator()(mpg123_handle* handle) const {
    mpg123_close(handle);
    mpg123_delete(handle);
  }
};
using Mpg123Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

// A decoder handle that accepts every rate the library knows, mono or stereo, and always
// delivers signed 16-bit samples, so the rest of the player deals with one sample type.
Mpg123Handle NewDecoder(std::string* error) {
#if MPG123_API_VERSION < 46
  // Older libraries need their tables built once before the first handle.
  static const int init_result = mpg123_init();
  if (init_result != MPG123_OK) {
    SetError(error, "the MP3 decoder cannot be initialised");
    return nullptr;
  }
#endif
  int result = MPG123_OK;
  Mpg123Handle handle(mpg123_new(nullptr, &result));
  if (!handle) {
    SetError(error, "the MP3 decoder cannot be created");
    return nullptr;
  }
  // Quiet: the library would otherwise print its complaints about damaged input to stderr.
  mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  mpg123_format_none(handle.get());
  const long* rates = nullptr;
  std::size_t rate_count = 0;
  mpg123_rates(&rates, &rate_count);
  for (std::size_t i = 0; i < rate_count; ++i) {
    mpg123_format(handle.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  }
  if (mpg123_open_feed(handle.get()) != MPG123_OK) {
    SetError(error, "the MP3 decoder cannot be opened");
    return nullptr;
  }
  return handle;
}

}  // namespace

std::optional<DecodedClip> DecodeMp3(std::span<const std::uint8_t> bytes, std::string* error) {
  Mpg123Handle handle = NewDecoder(error);
  if (!handle) return std::nullopt;
  if (bytes.empty()) {
    SetError(error, "the file is empty");
    return std::nullopt;
  }
  if (mpg123_feed(handle.get(), bytes.data(), bytes.size()) != MPG123_OK) {
    SetError(error, "the MP3 decoder cannot take the data");
    return std::nullopt;
  }

  DecodedClip clip;
  bool have_format = false;
  std::array<std::uint8_t, 16384> buffer{};
  for (;;) {
    std::size_t done = 0;
    const int result = mpg123_read(handle.get(), buffer.data(), buffer.size(), &done);
    // Samples that come with a format message are still in the format before the change.
    if (done > 0 && have_format) {
      if ((clip.samples.size() * sizeof(std::int16_t)) + done > kMaxDecodedBytes) {
        SetError(error, "the clip is too long");
        return std::nullopt;
      }
      const std::size_t count = done / sizeof(std::int16_t);
      const std::size_t old_size = clip.samples.size();
      clip.samples.resize(old_size + count);
      std::memcpy(clip.samples.data() + old_size, buffer.data(), count * sizeof(std::int16_t));
    }
    if (result == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0;
      int encoding = 0;
      mpg123_getformat(handle.get(), &rate, &channels, &encoding);
      if (!have_format) {
        clip.rate = static_cast<int>(rate);
        clip.channels = channels;
        have_format = true;
      } else if (rate != clip.rate || channels != clip.channels) {
        break;  // A stream that changes its format midway: keep the part before the change.
      }
    }
    if (result == MPG123_OK || result == MPG123_NEW_FORMAT) continue;
    // MPG123_NEED_MORE: everything was fed and decoded; MPG123_DONE: the stream ended.
    // Any other code is damage; whatever was decoded before it is kept.
    break;
  }
  if (!have_format || clip.channels < 1 || clip.channels > 2 || clip.rate <= 0) {
    SetError(error, "no MPEG audio found");
    return std::nullopt;
  }
  // Keep whole frames only.
  clip.samples.resize(clip.Frames() * static_cast<std::size_t>(clip.channels));
  if (clip.samples.empty()) {
    SetError(error, "no MPEG audio found");
    return std::nullopt;
  }
  return clip;
}

std::optional<DecodedClip> DecodeMp3File(const std::filesystem::path& path, std::string* error) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    SetError(error, ec ? ec.message() : "not a readable file");
    return std::nullopt;
  }
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    SetError(error, ec.message());
    return std::nullopt;
  }
  if (size > kMaxMp3FileBytes) {
    SetError(error, "the file is too large for a clip");
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    SetError(error, "the file cannot be opened");
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) {
    SetError(error, "the file cannot be read");
    return std::nullopt;
  }
  return DecodeMp3(bytes, error);
}

}  // namespace lectoria
