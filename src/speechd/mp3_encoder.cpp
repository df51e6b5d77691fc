#include "speechd/mp3_encoder.h"

#include <lame/lame.h>

#include <memory>
#include <mutex>

#include "speechd/speech_synthesizer.h"

namespace lectoria::speechd {

namespace {

struct LameCloser {
  void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using LameHandle = std::unique_ptr<lame_global_flags, LameCloser>;

LameHandle OpenEncoder() {
  // LAME fills shared tables the first time an encoder is set up; doing that on two threads
  // at once is not safe, so set-up is serialised. Encoding itself runs in parallel.
  static std::mutex setupLock;
  std::lock_guard lock(setupLock);
  LameHandle flags(lame_init());
  if (!flags) return nullptr;
  lame_set_in_samplerate(flags.get(), kServiceSampleRate);
  lame_set_out_samplerate(flags.get(), kServiceSampleRate);
  lame_set_num_channels(flags.get(), 1);
  lame_set_mode(flags.get(), MONO);
  lame_set_VBR(flags.get(), vbr_off);
  lame_set_brate(flags.get(), 160);
  lame_set_bWriteVbrTag(flags.get(), 0);
  lame_set_write_id3tag_automatic(flags.get(), 0);
  lame_set_quality(flags.get(), 7);  // fast; plenty for formant speech
  if (lame_init_params(flags.get()) < 0) return nullptr;
  return flags;
}

// A chunk of input and the output buffer size LAME documents as the worst case for it.
constexpr std::size_t kChunk = 1152 * 32;
constexpr std::size_t kBufferBytes = kChunk * 5 / 4 + 7200;

}  // namespace

struct Mp3Stream::Encoder {
  LameHandle lame;
};

Mp3Stream::Mp3Stream() : buffer_(kBufferBytes) {
  LameHandle lame = OpenEncoder();
  if (lame) encoder_ = std::make_unique<Encoder>(Encoder{std::move(lame)});
}

Mp3Stream::~Mp3Stream() = default;

bool Mp3Stream::Encode(const std::vector<std::int16_t>& pcm, std::string& mp3) {
  if (!encoder_) return false;
  std::vector<short> chunk;
  for (std::size_t offset = 0; offset < pcm.size(); offset += kChunk) {
    const std::size_t count = std::min(kChunk, pcm.size() - offset);
    chunk.assign(pcm.begin() + static_cast<std::ptrdiff_t>(offset),
                 pcm.begin() + static_cast<std::ptrdiff_t>(offset + count));
    const int written =
        lame_encode_buffer(encoder_->lame.get(), chunk.data(), nullptr, static_cast<int>(count),
                           buffer_.data(), static_cast<int>(buffer_.size()));
    if (written < 0) return false;
    mp3.append(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::size_t>(written));
  }
  return true;
}

bool Mp3Stream::Finish(std::string& mp3) {
  if (!encoder_) return false;
  const int flushed =
      lame_encode_flush(encoder_->lame.get(), buffer_.data(), static_cast<int>(buffer_.size()));
  if (flushed < 0) return false;
  mp3.append(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::size_t>(flushed));
  return true;
}

std::string EncodeMp3(const std::vector<std::int16_t>& pcm) {
  Mp3Stream stream;
  std::string mp3;
  mp3.reserve(pcm.size() * 160000 / 8 / kServiceSampleRate + 4096);
  if (!stream.Encode(pcm, mp3) || !stream.Finish(mp3)) return {};
  return mp3;
}

}  // namespace lectoria::speechd
