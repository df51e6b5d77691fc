#include "speechd/voice_catalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

namespace lectoria::speechd {
namespace {

// The service style names the reader knows, with their places in its style table.
const std::set<std::string> kKnownStyles = {
    "assistant", "chat",        "customerservice", "newscast", "affectionate", "angry", "calm",
    "cheerful",  "disgruntled", "fearful",         "gentle",   "lyrical",      "sad",   "serious"};

TEST(SpeechdVoiceCatalogueTest, ListHasTheShapeTheClientReads) {
  const nlohmann::json list = nlohmann::json::parse(VoiceListJson());
  ASSERT_TRUE(list.is_array());
  ASSERT_EQ(list.size(), CatalogueVoices().size());
  const std::regex shortName("[a-z]{2}-[A-Z]{2}-[A-Za-z]+Neural");
  const std::regex uuid("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
  std::set<std::string> ids, names;
  for (const auto& voice : list) {
    ASSERT_TRUE(voice["name"].is_string());
    ASSERT_TRUE(voice["locale"].is_string());
    ASSERT_TRUE(voice["voiceType"].is_string());
    const std::string id = voice["id"].get<std::string>();
    const std::string name = voice["properties"]["ShortName"].get<std::string>();
    EXPECT_TRUE(std::regex_match(id, uuid)) << id;
    EXPECT_TRUE(std::regex_match(name, shortName)) << name;
    EXPECT_EQ(name.substr(0, 5), voice["locale"].get<std::string>());
    EXPECT_EQ(voice["voiceType"], "StandardVoice");
    EXPECT_TRUE(ids.insert(id).second);
    EXPECT_TRUE(names.insert(name).second);
    ASSERT_TRUE(voice["samples"]["styleSamples"].is_array());
    for (const auto& sample : voice["samples"]["styleSamples"]) {
      EXPECT_TRUE(sample["styleName"].is_string());
      EXPECT_NE(sample["styleName"], "Default") << "the client adds the default style itself";
    }
  }
  EXPECT_TRUE(names.count("zh-CN-XiaoxiaoNeural")) << "the reader's default voice";
}

TEST(SpeechdVoiceCatalogueTest, OffersMandarinInBothGendersCantoneseAndOthers) {
  std::map<std::string, std::set<std::string>> gendersByLocale;
  std::set<std::string> mandarinVariants;
  for (const auto& voice : CatalogueVoices()) {
    gendersByLocale[std::string(voice.locale)].insert(std::string(voice.gender));
    if (voice.locale == "zh-CN") mandarinVariants.insert(std::string(voice.espeakVoice));
  }
  EXPECT_EQ(gendersByLocale["zh-CN"], (std::set<std::string>{"Female", "Male"}));
  EXPECT_GE(mandarinVariants.size(), 3u);
  for (const char* locale : {"zh-HK", "en-US", "en-GB", "ja-JP"}) {
    EXPECT_TRUE(gendersByLocale.count(locale)) << locale;
  }
  EXPECT_EQ(DefaultVoice().locale, "zh-CN");
}

TEST(SpeechdVoiceCatalogueTest, EveryOfferedStyleIsRenderedAndMandarinOffersTheKnownOnes) {
  std::set<std::string> mandarinStyles;
  for (const auto& voice : CatalogueVoices()) {
    for (std::string_view style : voice.styles) {
      EXPECT_NE(FindStyle(style), nullptr) << style;
      EXPECT_NE(SettingsFor(voice, style), SettingsFor(voice, "Default"))
          << voice.shortName << " " << style;
      if (voice.locale == "zh-CN") mandarinStyles.insert(std::string(style));
    }
  }
  for (const std::string& style : kKnownStyles) EXPECT_TRUE(mandarinStyles.count(style)) << style;
}

TEST(SpeechdVoiceCatalogueTest, FindsVoicesByShortOrFullNameInAnyCase) {
  const VoiceProfile* voice = FindVoice("ZH-cn-yunxineural");
  ASSERT_NE(voice, nullptr);
  EXPECT_EQ(voice->shortName, "zh-CN-YunxiNeural");
  EXPECT_EQ(FindVoice(voice->FullName()), voice);
  EXPECT_EQ(FindVoice(""), nullptr);
  EXPECT_EQ(FindVoice("zh-CN-Xiaoxiao"), nullptr);
}

TEST(SpeechdVoiceCatalogueTest, StyleSettingsFollowTheStyleAndItsDegree) {
  const VoiceProfile& voice = DefaultVoice();
  const SpeechSettings plain = SettingsFor(voice, "");
  EXPECT_EQ(SettingsFor(voice, "Default"), plain);
  EXPECT_EQ(SettingsFor(voice, "general"), plain);
  EXPECT_EQ(SettingsFor(voice, "no-such-style"), plain);

  const SpeechSettings cheerful = SettingsFor(voice, "CHEERFUL");
  const SpeechSettings sad = SettingsFor(voice, "sad");
  EXPECT_GT(cheerful.rate, plain.rate);
  EXPECT_GT(cheerful.pitch, plain.pitch);
  EXPECT_LT(sad.rate, plain.rate);
  EXPECT_LT(sad.pitch, plain.pitch);

  const SpeechSettings doubled = SettingsFor(voice, "sad", 2.0);
  const SpeechSettings faint = SettingsFor(voice, "sad", 0.01);
  EXPECT_LT(doubled.rate, sad.rate);
  EXPECT_NEAR(faint.rate, plain.rate, 2);
  EXPECT_EQ(SettingsFor(voice, "sad", 50.0), doubled);  // clamped to 2
  for (const SpeechSettings& s : {cheerful, sad, doubled}) {
    EXPECT_GE(s.rate, 80);
    EXPECT_LE(s.rate, 450);
    EXPECT_LE(s.volume, 125);
  }

  // A style the voice does not offer leaves it unchanged.
  const VoiceProfile* cantonese = FindVoice("zh-HK-HiuMaanNeural");
  ASSERT_NE(cantonese, nullptr);
  EXPECT_EQ(SettingsFor(*cantonese, "cheerful"), SettingsFor(*cantonese, ""));
}

TEST(SpeechdVoiceCatalogueTest, FilterByVoiceType) {
  EXPECT_EQ(nlohmann::json::parse(VoiceListJson({"StandardVoice"})).size(),
            CatalogueVoices().size());
  EXPECT_TRUE(nlohmann::json::parse(VoiceListJson({"CustomVoice"})).empty());
}

}  // namespace
}  // namespace lectoria::speechd
