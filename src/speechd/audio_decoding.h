// Reading the audio other engines return: WAV files and MP3 streams, at any rate, as mono PCM.
#pragma once

#include <string>
#include <string_view>

#include "speechd/speech_engine.h"

namespace lectoria::speechd {

/// Decodes `bytes`, a WAV file (PCM of 8, 16, 24 or 32 bits, or 32-bit float; any rate and
/// channel count) or an MP3 stream, into `audio` (mono: channels are averaged). A WAV whose
/// data size is unknown or too large, as programs writing to a pipe leave it, is read to the
/// end. Returns false with a reason in `error` when the bytes are neither or hold no sound.
bool DecodeEngineAudio(std::string_view bytes, EngineAudio& audio, std::string& error);

/// True when `bytes` start like a WAV file or an MP3 stream.
bool LooksLikeAudio(std::string_view bytes);

}  // namespace lectoria::speechd
