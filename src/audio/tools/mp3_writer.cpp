#include "audio/tools/mp3_writer.h"

#include <lame.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <numbers>

namespace lectoria {
namespace {

struct LameDeleter {
  void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

}  // namespace

std::vector<std::uint8_t> EncodeMp3(std::span<const std::int16_t> samples, int rate, int channels,
                                    int kbps) {
  if (rate <= 0 || (channels != 1 && channels != 2) || samples.size() % channels != 0) return {};
  std::unique_ptr<lame_global_flags, LameDeleter> lame(lame_init());
  if (!lame) return {};
  lame_set_in_samplerate(lame.get(), rate);
  lame_set_out_samplerate(lame.get(), rate);
  lame_set_num_channels(lame.get(), channels);
  lame_set_mode(lame.get(), channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(lame.get(), kbps);
  lame_set_quality(lame.get(), 5);
  lame_set_bWriteVbrTag(lame.get(), 1);
  if (lame_init_params(lame.get()) < 0) return {};

  const int frames = static_cast<int>(samples.size() / channels);
  // LAME's documented worst case for the output buffer: 1.25 * samples + 7200.
  std::vector<std::uint8_t> out(static_cast<std::size_t>(frames) * 5 / 4 + 7200);
  int written = 0;
  if (frames > 0) {
    // LAME takes the interleaved buffer as non-const although it does not change it.
    auto* pcm = const_cast<short*>(reinterpret_cast<const short*>(samples.data()));
    written = channels == 1 ? lame_encode_buffer(lame.get(), pcm, pcm, frames, out.data(),
                                                 static_cast<int>(out.size()))
                            : lame_encode_buffer_interleaved(lame.get(), pcm, frames, out.data(),
                                                             static_cast<int>(out.size()));
    if (written < 0) return {};
  }
  std::uint8_t tail[7200];
  const int flushed = lame_encode_flush(lame.get(), tail, sizeof tail);
  if (flushed < 0) return {};
  out.resize(static_cast<std::size_t>(written));
  out.insert(out.end(), tail, tail + flushed);

  // The first frame was left empty for the info tag; fill it in now that the totals are known.
  std::uint8_t tag[2880];
  const std::size_t tag_size = lame_get_lametag_frame(lame.get(), tag, sizeof tag);
  if (tag_size > 0 && tag_size <= out.size()) std::memcpy(out.data(), tag, tag_size);
  return out;
}

bool WriteBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  return static_cast<bool>(file);
}

std::vector<std::int16_t> MakeTone(int ms, int rate, int channels, double hz, double amplitude) {
  const int frames = static_cast<int>(static_cast<std::int64_t>(ms) * rate / 1000);
  const int fade = std::max(1, rate / 200);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    double gain = amplitude;
    gain *= std::min(1.0, std::min(i, frames - 1 - i) / static_cast<double>(fade));
    const double value = gain * std::sin(2.0 * std::numbers::pi * hz * i / rate);
    const auto sample = static_cast<std::int16_t>(std::lround(value * 32767.0));
    for (int c = 0; c < channels; ++c) samples[static_cast<std::size_t>(i) * channels + c] = sample;
  }
  return samples;
}

}  // namespace lectoria
