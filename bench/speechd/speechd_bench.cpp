// Speed of the embedded speech service, over loopback.
//
//   speak latency  one speak request for a 30-character Chinese line, client to last byte
//                  (goal: under 100 ms)
//   real-time factor  synthesis plus MP3 encoding time divided by the audio's duration
//                  (goal: below 0.02)
//   long paragraph  a speak request for 20,000 Chinese characters (about two hours of speech):
//                  time to the first byte of the streamed reply (goal: under 1 s), the whole
//                  reply, and the service's peak memory (goal: under 100 MiB, the reply
//                  being over 100 MB)
#include <httplib.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "service_process.h"
#include "speechd/mp3_encoder.h"
#include "speechd/request_handlers.h"
#include "speechd/speech_service.h"
#include "speechd/speech_synthesizer.h"
#include "speechd/voice_catalogue.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace lectoria::speechd;

// 夜深了，小镇上的灯火一盏接一盏地熄灭了，只有铁匠铺子还亮着。 (30 characters)
const std::string kLine =
    "\xE5\xA4\x9C\xE6\xB7\xB1\xE4\xBA\x86\xEF\xBC\x8C\xE5\xB0\x8F\xE9\x95\x87\xE4\xB8\x8A\xE7\x9A"
    "\x84\xE7\x81\xAF\xE7\x81\xAB\xE4\xB8\x80\xE7\x9B\x8F\xE6\x8E\xA5\xE4\xB8\x80\xE7\x9B\x8F\xE5"
    "\x9C\xB0\xE7\x86\x84\xE7\x81\xAD\xE4\xBA\x86\xEF\xBC\x8C\xE5\x8F\xAA\xE6\x9C\x89\xE9\x93\x81"
    "\xE5\x8C\xA0\xE9\x93\xBA\xE5\xAD\x90\xE8\xBF\x98\xE4\xBA\xAE\xE7\x9D\x80\xE3\x80\x82";

std::string SpeakBody(const std::string& text, const std::string& voice, const std::string& style) {
  const std::string ssml =
      "<speak version=\"1.0\" xmlns=\"http://www.w3.org/2001/10/synthesis\" "
      "xmlns:mstts=\"https://www.w3.org/2001/mstts\" xml:lang=\"zh-CN\"><voice name=\"" +
      voice + "\"><mstts:express-as style=\"" + style + "\">" + text +
      "<prosody contour=\"(49%, -40%)\"></prosody></mstts:express-as></voice></speak>";
  nlohmann::ordered_json body;
  body["ssml"] = ssml;
  body["ttsAudioFormat"] = kAudioFormatName;
  return body.dump();
}

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * (values.size() - 1))];
}

// Streams the reply to a 20,000-character speak request and reports its timing.
void LongParagraph(lectoria::speechd::bench::ServiceProcess& service) {
  namespace bench = lectoria::speechd::bench;
  std::string paragraph;
  while (paragraph.size() < 20000 * 3) paragraph += kLine;
  const std::string token = bench::FetchToken(service.Port());
  const int fd = bench::ConnectLoopback(service.Port());
  const auto start = Clock::now();
  bench::SendAll(fd, bench::RawSpeakRequest(
                         token, bench::SpeakBody(paragraph, "zh-CN-XiaoxiaoNeural", "Default")));
  char buffer[1 << 16];
  std::size_t bytes = 0;
  double firstByte = -1;
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
    if (firstByte < 0) firstByte = Milliseconds(Clock::now() - start);
    bytes += static_cast<std::size_t>(n);
  }
  ::close(fd);
  const double total = Milliseconds(Clock::now() - start) / 1000;
  const double audio = static_cast<double>(bytes) / 20000;
  const double memory = service.PeakMemoryMiB();
  std::printf(
      "long paragraph, 20,000 characters: first byte after %.0f ms, %.1f MB (%.0f s of "
      "audio) in %.1f s, service CPU %.1f s (factor %.4f), peak memory %.1f MiB\n",
      firstByte, static_cast<double>(bytes) / 1e6, audio, total, service.CpuSeconds(),
      service.CpuSeconds() / audio, memory);
  std::printf("  goals: first byte under 1 s [%s], memory under 100 MiB [%s]\n",
              firstByte >= 0 && firstByte < 1000 ? "met" : "MISSED",
              memory < 100 ? "met" : "MISSED");
}

}  // namespace

int main() {
  // The service for the long paragraph runs in a child process, forked before any thread.
  lectoria::speechd::bench::ServiceProcess longService;
  if (!SynthesizerAvailable()) {
    std::fprintf(stderr, "espeak-ng is not available\n");
    return 1;
  }
  SpeechService service;
  const int port = service.Start();
  if (port == 0) {
    std::fprintf(stderr, "cannot start the service: %s\n", service.LastError().c_str());
    return 1;
  }
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);  // as libcurl, the reader's client, does by default
  auto tokenReply = client.Get(std::string(kAuthTokenPath));
  if (!tokenReply) return 1;
  const std::string token = nlohmann::json::parse(tokenReply->body)["authToken"];
  const httplib::Headers headers = {{std::string(kTokenHeader), token}};

  // Speak latency over loopback, after one warm-up request that loads the voice.
  const std::string body = SpeakBody(kLine, "zh-CN-XiaoxiaoNeural", "Default");
  client.Post(std::string(kSpeakPath), headers, body, "application/json");
  std::vector<double> latencies;
  std::size_t bytes = 0;
  for (int i = 0; i < 30; ++i) {
    const auto start = Clock::now();
    auto reply = client.Post(std::string(kSpeakPath), headers, body, "application/json");
    latencies.push_back(Milliseconds(Clock::now() - start));
    if (!reply || reply->status != 200) {
      std::fprintf(stderr, "speak request failed\n");
      return 1;
    }
    bytes = reply->body.size();
  }
  const double median = Percentile(latencies, 0.5);
  std::printf("speak request, 30-character Chinese line (%zu bytes of MP3, %.1f s of audio):\n",
              bytes, bytes / 20000.0);
  std::printf("  median %.1f ms, p90 %.1f ms, max %.1f ms   goal: under 100 ms  [%s]\n", median,
              Percentile(latencies, 0.9), Percentile(latencies, 1.0),
              median < 100 ? "met" : "MISSED");

  // Real-time factor of synthesis plus encoding, per voice and style.
  std::string paragraph;
  for (int i = 0; i < 10; ++i) paragraph += kLine;
  double worst = 0;
  struct Case {
    const char* voice;
    const char* style;
  };
  for (const Case c : {Case{"zh-CN-XiaoxiaoNeural", ""}, Case{"zh-CN-XiaoxiaoNeural", "sad"},
                       Case{"zh-CN-YunxiNeural", "cheerful"}, Case{"zh-HK-HiuMaanNeural", ""}}) {
    const SpeechSettings settings = SettingsFor(*FindVoice(c.voice), c.style);
    std::vector<std::int16_t> pcm;
    Synthesize(settings, kLine, pcm);  // warm-up
    pcm.clear();
    const auto start = Clock::now();
    Synthesize(settings, paragraph, pcm);
    const auto synthesized = Clock::now();
    const std::string mp3 = EncodeMp3(pcm);
    const auto encoded = Clock::now();
    const double audioSeconds = static_cast<double>(pcm.size()) / kServiceSampleRate;
    const double synthesisSeconds = Milliseconds(synthesized - start) / 1000;
    const double encodingSeconds = Milliseconds(encoded - synthesized) / 1000;
    const double factor = (synthesisSeconds + encodingSeconds) / audioSeconds;
    worst = std::max(worst, factor);
    std::printf(
        "real-time factor %-22s %-9s %6.1f s audio: synthesis %.4f + encoding %.4f = %.4f\n",
        c.voice, c.style[0] ? c.style : "(none)", audioSeconds, synthesisSeconds / audioSeconds,
        encodingSeconds / audioSeconds, factor);
  }
  std::printf("real-time factor, worst %.4f   goal: below 0.02  [%s]\n", worst,
              worst < 0.02 ? "met" : "MISSED");
  service.Stop();
  LongParagraph(longService);
  return 0;
}
