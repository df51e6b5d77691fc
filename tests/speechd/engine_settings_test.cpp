// The program's choice of speech engine from config.ini.
#include "engine_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "speechd_test_support.h"

namespace lectoria {
namespace {

TEST(EngineSettingsTest, ConfigIniChoosesTheEngineAndBadSettingsFallBackToEspeak) {
  namespace k = engine_keys;
  const struct {
    std::vector<std::pair<std::string_view, std::string>> values;
    const char* keyFile;  // contents of R/azure.key; nullptr: none
    mode_t keyMode;
    const char* engine;
    const char* firstVoice;
    const char* message;  // part of the message; empty: none
  } cases[] = {
      {{}, nullptr, 0, "espeak-ng", "en-GB-RyanNeural", ""},
      {{{k::kEngine, "openai"},
        {k::kAddress, "http://127.0.0.1:9/v1"},
        {k::kModel, "kokoro"},
        {k::kVoices, "zf_xiaoxiao,zm_yunjian"}},
       nullptr,
       0,
       "OpenAI-style speech server",
       "zf_xiaoxiao",
       ""},
      {{{k::kEngine, "command"},
        {k::kCommand, "piper --output_file {output}"},
        {k::kCommandVoice, "zh-CN-Huayan"}},
       nullptr,
       0,
       "the speech command",
       "zh-CN-Huayan",
       ""},
      {{{k::kEngine, "azure"}, {k::kRegion, "eastasia"}}, "key\n", 0600, "Azure", nullptr, ""},
      {{{k::kEngine, "azure"}, {k::kRegion, "eastasia"}},
       "key\n",
       0644,
       "espeak-ng",
       nullptr,
       "chmod 600"},
      {{{k::kEngine, "azure"}, {k::kRegion, "eastasia"}},
       nullptr,
       0,
       "espeak-ng",
       nullptr,
       "LECTORIA_AZURE_KEY"},
      {{{k::kEngine, "openai"}}, nullptr, 0, "espeak-ng", nullptr, "base address"},
      {{{k::kEngine, "festival"}}, nullptr, 0, "espeak-ng", nullptr, "unknown speech engine"},
  };
  ::unsetenv(speechd::kAzureKeyVariable);
  for (const auto& c : cases) {
    const auto root = speechd::testing::MakeTempDir();
    const RunPaths paths(root);
    IniFile config(paths.ConfigIni());
    for (const auto& [key, value] : c.values) config.Write(k::kSection, key, value);
    if (c.keyFile != nullptr) {
      std::ofstream(root / "azure.key") << c.keyFile;
      ::chmod((root / "azure.key").c_str(), c.keyMode);
    }
    std::string message;
    const auto engine = ChooseSpeechEngine(paths, message);
    ASSERT_TRUE(engine);
    EXPECT_EQ(engine->Name(), c.engine) << c.engine;
    EXPECT_EQ(message.empty(), *c.message == '\0') << message;
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    if (c.firstVoice != nullptr) {
      std::string error;
      const speechd::VoiceList voices = engine->Voices(error);
      ASSERT_TRUE(voices && !voices->empty());
      EXPECT_EQ(voices->front().shortName, c.firstVoice);
    }
    std::filesystem::remove_all(root);
  }
}

}  // namespace
}  // namespace lectoria
