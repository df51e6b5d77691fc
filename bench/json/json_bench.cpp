// Benchmark: reading the voice catalogue as the voice loader does (parse the reply, then read
// the short names at "[i].properties.ShortName" for i = 0..349), with our JsonDocument and with
// nlohmann::json on the same catalogue in the same run.
//
// Our document takes the program's GBK text; nlohmann::json takes UTF-8 only, so it gets the
// same catalogue in UTF-8 (same content, its own encoding). A second, ASCII-only catalogue gives
// both parsers the very same bytes. Goal: ours within 2x of nlohmann::json for parse + reads.
//
// A second figure parses one object of 100,000 members twice: with ordinary names, and with
// names chosen to collide under a fixed (unkeyed) hash, as a hostile service would choose them.
// Goal: the chosen names cost no more than 1.5x the ordinary ones. For contrast the same names
// go into a linear-probing index keyed with the fixed standard hash.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "json/json_document.h"
#include "platform/codepage.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kVoices = 400;
constexpr int kReads = 350;
constexpr int kRounds = 60;

const char* const kStyles[] = {"cheerful", "sad",      "angry",          "fearful",
                               "calm",     "serious",  "gentle",         "affectionate",
                               "lyrical",  "newscast", "customerservice"};

// One voice object of roughly the shape the service returns; `chinese` adds the local name and
// preview sentence in Chinese, as zh-CN voices have them.
std::string VoiceJson(int i, bool chinese) {
  const std::string n = std::to_string(i);
  const std::string locale = i % 3 == 0 ? "zh-CN" : (i % 3 == 1 ? "en-US" : "ja-JP");
  std::string styles;
  const int styleCount = i % 7;
  for (int s = 0; s < styleCount; ++s) {
    if (s > 0) styles += ",";
    const std::string style = kStyles[(i + s) % 11];
    styles += "{\"styleName\":\"" + style +
              "\",\"audioFileEndpointWithSas\":\"https://example.invalid/samples/" + n + "/" +
              style +
              ".wav?sv=2019-12-12&st=2021-01-01T00%3A00%3A00Z&se=2031-01-01T00%3A00%3A00Z"
              "&sr=b&sp=r&sig=Zm9vYmFyYmF6cXV4\"}";
  }
  const std::string localName = chinese ? "晓晓" + n : "Local" + n;
  const std::string preview =
      chinese ? "你好，我是晓晓，欢迎使用语音服务。" : "Hello, this is a preview of the voice.";
  return "{\"name\":\"Microsoft Server Speech Text to Speech Voice (" + locale + ", Voice" + n +
         "Neural)\",\"id\":\"5f55541d-c844-4e04-a7f8-" + std::to_string(100000000000 + i) +
         "\",\"gender\":\"" + (i % 2 ? "Male" : "Female") + "\",\"locale\":\"" + locale +
         "\",\"voiceType\":\"StandardVoice\",\"properties\":{\"DisplayName\":\"Voice" + n +
         "\",\"LocalName\":\"" + localName + "\",\"ShortName\":\"" + locale + "-Voice" + n +
         "Neural\",\"SampleRateHertz\":\"24000\",\"VoiceType\":\"Neural\","
         "\"LocaleDescription\":\"" +
         locale +
         "\",\"ReleaseScope\":\"PublicGA\","
         "\"PreviewSentence\":\"" +
         preview +
         "\",\"IsTtsBreakEnabled\":\"True\","
         "\"OrderInVoiceListApi\":\"" +
         n + "\",\"WordsPerMinute\":\"" + std::to_string(150 + i % 50) +
         "\"},\"samples\":{\"languageSamples\":[{\"locale\":\"" + locale +
         "\",\"audioFileEndpointWithSas\":\"https://example.invalid/lang/" + n +
         ".wav\"}],\"styleSamples\":[" + styles +
         "],\"roleSamples\":[]},\"isPreview\":false,"
         "\"rank\":" +
         std::to_string(i * 1.25) + "}";
}

std::string CatalogueUtf8(bool chinese) {
  std::string text = "[";
  for (int i = 0; i < kVoices; ++i) {
    if (i > 0) text += ",";
    text += VoiceJson(i, chinese);
  }
  return text + "]";
}

std::vector<std::string> Paths() {
  std::vector<std::string> paths;
  for (int i = 0; i < kReads; ++i)
    paths.push_back("[" + std::to_string(i) + "].properties.ShortName");
  return paths;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <typename F>
double TimeMs(F&& f) {
  const auto start = Clock::now();
  f();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Medians of `ours` and `theirs`, run in alternating order round by round so that both see
// the same load on a shared machine.
template <typename A, typename B>
std::pair<double, double> CompareMs(A&& ours, B&& theirs) {
  std::vector<double> a;
  std::vector<double> b;
  for (int round = 0; round < kRounds; ++round) {
    if (round % 2 == 0) {
      a.push_back(TimeMs(ours));
      b.push_back(TimeMs(theirs));
    } else {
      b.push_back(TimeMs(theirs));
      a.push_back(TimeMs(ours));
    }
  }
  return {Median(a), Median(b)};
}

std::size_t g_sink = 0;  // keeps results alive

// The nlohmann read a careful caller writes: a missing step gives empty text, never a throw.
std::string NlohmannShortName(const nlohmann::json& root, std::size_t i) {
  if (!root.is_array() || i >= root.size()) return {};
  const nlohmann::json& voice = root[i];
  if (!voice.is_object()) return {};
  const auto properties = voice.find("properties");
  if (properties == voice.end() || !properties->is_object()) return {};
  const auto name = properties->find("ShortName");
  if (name == properties->end() || !name->is_string()) return {};
  return name->get<std::string>();
}

void OursParse(const std::string& gbk) {
  lectoria::JsonDocument document;
  document.Parse(gbk);
  g_sink += document.GetCount("");
}

void OursRead(const lectoria::JsonDocument& document, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) g_sink += document.GetText(path).size();
}

void TheirsParse(const std::string& utf8) {
  const nlohmann::json root = nlohmann::json::parse(utf8, nullptr, false);
  g_sink += root.size();
}

void TheirsRead(const nlohmann::json& root) {
  for (int i = 0; i < kReads; ++i) g_sink += NlohmannShortName(root, i).size();
}

bool SameReads(const std::string& gbk, const std::string& utf8,
               const std::vector<std::string>& paths) {
  lectoria::JsonDocument document;
  if (!document.Parse(gbk)) return false;
  const nlohmann::json root = nlohmann::json::parse(utf8, nullptr, false);
  for (int i = 0; i < kReads; ++i) {
    if (document.GetText(paths[i]) != lectoria::Utf8ToGbk(NlohmannShortName(root, i))) return false;
  }
  return true;
}

bool Report(const char* title, const std::string& gbk, const std::string& utf8,
            const std::vector<std::string>& paths) {
  lectoria::JsonDocument document;
  document.Parse(gbk);
  const nlohmann::json root = nlohmann::json::parse(utf8, nullptr, false);
  const auto parse = CompareMs([&] { OursParse(gbk); }, [&] { TheirsParse(utf8); });
  const auto reads = CompareMs([&] { OursRead(document, paths); }, [&] { TheirsRead(root); });
  const auto both = CompareMs(
      [&] {
        lectoria::JsonDocument fresh;
        fresh.Parse(gbk);
        OursRead(fresh, paths);
      },
      [&] {
        const nlohmann::json fresh = nlohmann::json::parse(utf8, nullptr, false);
        TheirsRead(fresh);
      });

  std::printf("\n%s\n", title);
  std::printf("  text: %zu bytes for ours (GBK), %zu bytes for nlohmann (UTF-8); reads agree: %s\n",
              gbk.size(), utf8.size(), SameReads(gbk, utf8, paths) ? "yes" : "NO");
  std::printf("  %-22s %12s %14s %8s\n", "median of 60 runs", "ours (ms)", "nlohmann (ms)",
              "ratio");
  const auto row = [](const char* name, std::pair<double, double> times) {
    std::printf("  %-22s %12.3f %14.3f %8.2f\n", name, times.first, times.second,
                times.first / times.second);
  };
  row("parse", parse);
  row("350 path reads", reads);
  row("parse + 350 reads", both);
  const double ratio = both.first / both.second;
  const bool met = ratio <= 2.0;
  std::printf("  goal: parse + reads within 2x of nlohmann::json: %s (%.2fx)\n",
              met ? "met" : "NOT met", ratio);
  return met;
}

constexpr int kMembers = 100000;
// Names whose fixed hash has this many low bits zero all start their probe in a few slots.
constexpr int kCollidingBits = 10;

std::vector<std::string> OrdinaryNames() {
  std::vector<std::string> names;
  for (int i = 0; i < kMembers; ++i) names.push_back("member_" + std::to_string(i));
  return names;
}

std::vector<std::string> CollidingNames() {
  const std::size_t mask = (std::size_t{1} << kCollidingBits) - 1;
  std::vector<std::string> names;
  for (std::uint64_t i = 0; names.size() < static_cast<std::size_t>(kMembers); ++i) {
    std::string name = "member_" + std::to_string(i);
    if ((std::hash<std::string>{}(name)&mask) == 0) names.push_back(std::move(name));
  }
  return names;
}

std::string ObjectText(const std::vector<std::string>& names) {
  std::string text = "{";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += ",";
    text += "\"" + names[i] + "\":" + std::to_string(i);
  }
  return text + "}";
}

// A linear-probing index of the names under the fixed standard hash, grown as the object's is.
void FixedHashIndex(const std::vector<std::string>& names) {
  std::vector<std::uint32_t> slots(64, UINT32_MAX);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (slots.size() < (i + 1) * 2) {
      std::vector<std::uint32_t> grown(slots.size() * 4, UINT32_MAX);
      slots.swap(grown);
      for (std::size_t j = 0; j < i; ++j) {
        std::size_t slot = std::hash<std::string>{}(names[j]) & (slots.size() - 1);
        while (slots[slot] != UINT32_MAX) slot = (slot + 1) & (slots.size() - 1);
        slots[slot] = static_cast<std::uint32_t>(j);
      }
    }
    std::size_t slot = std::hash<std::string>{}(names[i]) & (slots.size() - 1);
    while (slots[slot] != UINT32_MAX) {
      g_sink += names[slots[slot]] == names[i];
      slot = (slot + 1) & (slots.size() - 1);
    }
    slots[slot] = static_cast<std::uint32_t>(i);
  }
}

double MedianMs(int rounds, const std::function<void()>& f) {
  std::vector<double> times;
  for (int round = 0; round < rounds; ++round) times.push_back(TimeMs(f));
  return Median(times);
}

bool ReportCollidingNames() {
  const std::vector<std::string> ordinary = OrdinaryNames();
  const std::vector<std::string> colliding = CollidingNames();
  const std::string ordinaryText = ObjectText(ordinary);
  const std::string collidingText = ObjectText(colliding);
  const auto ours = [](const std::string& text) { return MedianMs(9, [&] { OursParse(text); }); };
  const auto theirs = [](const std::string& text) {
    return MedianMs(9, [&] { TheirsParse(text); });
  };
  const double oursOrdinary = ours(ordinaryText);
  const double oursColliding = ours(collidingText);
  const double theirsOrdinary = theirs(ordinaryText);
  const double theirsColliding = theirs(collidingText);
  const double fixedOrdinary = MedianMs(3, [&] { FixedHashIndex(ordinary); });
  const double fixedColliding = MedianMs(3, [&] { FixedHashIndex(colliding); });

  std::printf("\nOne object of %d members; chosen names share the low %d bits of the fixed hash\n",
              kMembers, kCollidingBits);
  std::printf("  %-34s %14s %14s %8s\n", "median (ms)", "ordinary names", "chosen names", "ratio");
  const auto row = [](const char* name, double a, double b) {
    std::printf("  %-34s %14.3f %14.3f %8.2f\n", name, a, b, b / a);
  };
  row("ours: parse", oursOrdinary, oursColliding);
  row("nlohmann::json: parse", theirsOrdinary, theirsColliding);
  row("index under the fixed hash (only)", fixedOrdinary, fixedColliding);
  const double ratio = oursColliding / oursOrdinary;
  const bool met = ratio <= 1.5;
  std::printf("  goal: chosen names within 1.5x of ordinary ones: %s (%.2fx)\n",
              met ? "met" : "NOT met", ratio);
  return met;
}

}  // namespace

int main() {
  // The first document builds the GBK conversion tables; time that once, apart.
  const auto start = Clock::now();
  lectoria::JsonDocument warmUp;
  warmUp.Parse("[\"\xD6\xD0\"]");  // 中
  const double tables = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

  const std::vector<std::string> paths = Paths();
  std::printf(
      "JSON document benchmark: a voice catalogue of %d voices, then the %d reads of "
      "\"[i].properties.ShortName\" the voice loader makes.\n",
      kVoices, kReads);
  std::printf("One-time GBK table build (first document in the process): %.3f ms\n", tables);

  const std::string chineseUtf8 = CatalogueUtf8(true);
  const bool chineseMet = Report("Catalogue with Chinese names (ours GBK, nlohmann UTF-8):",
                                 lectoria::Utf8ToGbk(chineseUtf8), chineseUtf8, paths);
  const std::string ascii = CatalogueUtf8(false);
  const bool asciiMet =
      Report("ASCII-only catalogue (identical bytes for both):", ascii, ascii, paths);
  const bool collidingMet = ReportCollidingNames();
  std::printf("\n(checksum %zu)\n", g_sink);
  return chineseMet && asciiMet && collidingMet ? 0 : 1;
}
