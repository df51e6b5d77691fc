// The export end to end, on the built-in speech service running in this process.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "audio/mp3_decoder.h"
#include "export/chapter_export.h"
#include "export/export_runner.h"
#include "platform/file_util.h"
#include "speechd/speech_service.h"
#include "support/run_dir_fixture.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;
using testing::G;
using testing::TempRunDir;

// Three chapters after a preface; chapter 1 holds a line without Chinese, which is not spoken.
const char* const kBook =
    "前言不在任何章里\r\n"
    "第一章 开端\r\n"
    "　　夜深了，小镇上的灯火熄灭了。\r\n"
    "Chapter one\r\n"
    "　　只有铁匠铺子还亮着。\r\n"
    "第二章 远行\r\n"
    "　　天亮以后，他出了门。\r\n"
    "第三章 归来\r\n"
    "　　三年后他回来了。";

const std::vector<std::string> kFileNames = {"001 第一章 开端.mp3", "002 第二章 远行.mp3",
                                             "003 第三章 归来.mp3"};

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error))
    names.insert(entry.path().filename().string());
  return names;
}

std::size_t DecodedFrames(const std::string& mp3) {
  const auto clip = DecodeMp3({reinterpret_cast<const std::uint8_t*>(mp3.data()), mp3.size()});
  return clip ? clip->Frames() : 0;
}

// The ID3v2 text frames of a file as an independent reader (libmpg123) sees them.
std::map<std::string, std::string> Id3Texts(const std::string& mp3) {
  std::map<std::string, std::string> texts;
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_open_feed(handle);
  mpg123_feed(handle, reinterpret_cast<const unsigned char*>(mp3.data()), mp3.size());
  long rate;
  int channels, encoding;
  mpg123_getformat(handle, &rate, &channels, &encoding);
  mpg123_id3v1* v1 = nullptr;
  mpg123_id3v2* v2 = nullptr;
  if ((mpg123_meta_check(handle) & MPG123_ID3) && mpg123_id3(handle, &v1, &v2) == MPG123_OK &&
      v2 != nullptr) {
    for (std::size_t i = 0; i < v2->texts; ++i)
      texts[std::string(v2->text[i].id, 4)] = v2->text[i].text.fill ? v2->text[i].text.p : "";
  }
  mpg123_delete(handle);
  return texts;
}

class ExportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    service_ = new speechd::SpeechService();
    ASSERT_NE(service_->Start("127.0.0.1", 0), 0);
  }
  static void TearDownTestSuite() {
    delete service_;
    service_ = nullptr;
  }

  void SetUp() override { dir_.WriteFile("book.txt", G(kBook)); }

  fs::path Book() const { return dir_.root() / "book.txt"; }
  fs::path Output() const { return dir_.root() / "out"; }
  SpeechServiceEndpoint Endpoint() const { return SpeechServiceEndpoint::Local(service_->Port()); }

  // Runs `lectoria --export book.txt --output out` with `args` added; keeps what it printed.
  int Run(std::vector<std::string> args, std::atomic<bool>* stop = nullptr) {
    ExportOptions options;
    options.book = Book().string();
    options.output = Output().string();
    options.speechService = Endpoint().baseUrl;
    options.home = (dir_.root() / "home").string();
    options.jobs = 2;
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
      if (args[i] == "--export") options.book = args[i + 1];
      if (args[i] == "--output") options.output = args[i + 1];
      if (args[i] == "--chapters") options.chapters = ParseChapterRange(args[i + 1]);
      if (args[i] == "--voice") options.voice = args[i + 1];
      if (args[i] == "--style") options.style = args[i + 1];
      if (args[i] == "--speech-service") options.speechService = args[i + 1];
    }
    ExportConsole console;
    console.out = std::tmpfile();
    console.err = std::tmpfile();
    std::atomic<bool> noStop{false};
    const int status = RunExportCommand(options, console, stop ? *stop : noStop);
    out_ = Slurp(console.out);
    err_ = Slurp(console.err);
    return status;
  }

  static std::string Slurp(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
      text.append(buffer, n);
    std::fclose(file);
    return text;
  }

  std::string ReadOutput(const std::string& name) const {
    std::string bytes;
    ReadFileBytes(Output() / name, bytes);
    return bytes;
  }

  static speechd::SpeechService* service_;
  TempRunDir dir_;
  std::string out_;
  std::string err_;
};

speechd::SpeechService* ExportTest::service_ = nullptr;

// Keeps every clip the service gives, by line (the service's audio varies slightly from one
// synthesis of a line to the next, so the clips must be the ones the export received).
class RecordingClient : public SpeechServiceClient {
 public:
  using SpeechServiceClient::SpeechServiceClient;
  std::string SynthesizeLine(std::string_view token, std::string_view line, std::string_view voice,
                             std::string_view style, SpeechClientState& state,
                             const std::atomic<bool>* cancel) const override {
    std::string clip =
        SpeechServiceClient::SynthesizeLine(token, line, voice, style, state, cancel);
    std::lock_guard lock(mutex_);
    clips_[std::string(line)] = clip;
    return clip;
  }
  std::string Clip(const std::string& line) const {
    std::lock_guard lock(mutex_);
    return clips_.at(line);
  }

 private:
  mutable std::mutex mutex_;
  mutable std::map<std::string, std::string> clips_;
};

TEST_F(ExportTest, WritesOneTaggedFilePerChapterHoldingItsClips) {
  const ExportBookLoad load = LoadBookForExport(Book());
  ASSERT_TRUE(load.ok);
  ASSERT_TRUE(MakeDirectories(Output()));
  const RecordingClient client(Endpoint());
  std::atomic<bool> stop{false};
  ExportObserver quiet;
  const ExportJob job{&load.book, 1, 3, Output(), "zh-CN-XiaoxiaoNeural", G("默认"), 2};
  const ExportOutcome outcome = ExportChapters(job, {&client}, stop, quiet);
  EXPECT_EQ(outcome.end, ExportOutcome::End::kFinished);
  EXPECT_EQ(FilesIn(Output()), std::set<std::string>(kFileNames.begin(), kFileNames.end()));

  for (int k = 1; k <= 3; ++k) {
    const std::string file = ReadOutput(kFileNames[k - 1]);
    std::size_t clipFrames = 0;
    for (const SpokenLine& line : SpokenLines(load.book.chapters[k - 1].text))
      clipFrames += DecodedFrames(client.Clip(line.text));
    EXPECT_GT(clipFrames, 0u);
    EXPECT_EQ(DecodedFrames(file), clipFrames) << "chapter " << k;

    const auto tags = Id3Texts(file);
    EXPECT_EQ(tags.at("TIT2"), kFileNames[k - 1].substr(4, kFileNames[k - 1].size() - 8));
    EXPECT_EQ(tags.at("TALB"), "book");
    EXPECT_EQ(tags.at("TRCK"), std::to_string(k) + "/3");
    EXPECT_EQ(tags.at("TPE1"), "zh-CN-XiaoxiaoNeural");
  }
}

TEST_F(ExportTest, ChapterRangeExportsOnlyThoseChapters) {
  struct Case {
    const char* range;
    std::set<std::string> files;
  };
  const Case cases[] = {
      {"2-3", {kFileNames[1], kFileNames[2]}}, {"-1", {kFileNames[0]}}, {"3-", {kFileNames[2]}}};
  for (const Case& c : cases) {
    fs::remove_all(Output());
    EXPECT_EQ(Run({"--chapters", c.range}), 0) << c.range << err_;
    EXPECT_EQ(FilesIn(Output()), c.files) << c.range;
  }
  EXPECT_FALSE(fs::exists(dir_.root() / "home" / "data"));  // the library stays untouched
}

// Stops the export once its first chapter file is written, as Ctrl+C would.
class StopAfterFirstChapter : public ExportObserver {
 public:
  explicit StopAfterFirstChapter(std::atomic<bool>& stop) : stop_(stop) {}
  void OnChapterWritten(const ExportStatus&, int, const std::string&, double) override {
    stop_ = true;
  }

 private:
  std::atomic<bool>& stop_;
};

TEST_F(ExportTest, AnInterruptedExportLeavesCompleteFilesAndResumes) {
  const ExportBookLoad load = LoadBookForExport(Book());
  ASSERT_TRUE(MakeDirectories(Output()));
  const SpeechServiceClient client(Endpoint());
  std::atomic<bool> stop{false};
  StopAfterFirstChapter observer(stop);
  const ExportJob job{&load.book, 1, 3, Output(), "zh-CN-XiaoxiaoNeural", G("默认"), 1};
  const ExportOutcome first = ExportChapters(job, {&client}, stop, observer);
  EXPECT_EQ(first.end, ExportOutcome::End::kStopped);
  EXPECT_EQ(FilesIn(Output()), std::set<std::string>{kFileNames[0]});  // no partial file
  const std::string chapterOne = ReadOutput(kFileNames[0]);

  ASSERT_EQ(Run({"--style", "默认"}), 0) << err_;
  EXPECT_EQ(FilesIn(Output()), std::set<std::string>(kFileNames.begin(), kFileNames.end()));
  EXPECT_EQ(ReadOutput(kFileNames[0]), chapterOne);
  EXPECT_NE(out_.find("已存在，跳过：" + kFileNames[0]), std::string::npos) << out_;
  EXPECT_NE(out_.find("写入 2 章，跳过已有 1 章"), std::string::npos) << out_;
}

// Fails every line holding `marker`; the others go to the real service.
class FailingClient : public SpeechServiceClient {
 public:
  FailingClient(SpeechServiceEndpoint endpoint, std::string marker)
      : SpeechServiceClient(std::move(endpoint)), marker_(std::move(marker)) {}
  std::string SynthesizeLine(std::string_view token, std::string_view line, std::string_view voice,
                             std::string_view style, SpeechClientState& state,
                             const std::atomic<bool>* cancel) const override {
    if (line.find(marker_) != std::string_view::npos) return {};
    return SpeechServiceClient::SynthesizeLine(token, line, voice, style, state, cancel);
  }

 private:
  std::string marker_;
};

TEST_F(ExportTest, ALineThatKeepsFailingIsReportedAndLeftOut) {
  const ExportBookLoad load = LoadBookForExport(Book());
  ASSERT_TRUE(MakeDirectories(Output()));
  const FailingClient client(Endpoint(), G("铁匠"));
  std::atomic<bool> stop{false};
  ExportObserver quiet;
  const ExportJob job{&load.book, 1, 3, Output(), "zh-CN-XiaoxiaoNeural", G("默认"), 2};
  const ExportOutcome outcome = ExportChapters(job, {&client}, stop, quiet);
  EXPECT_EQ(outcome.end, ExportOutcome::End::kFinished);
  ASSERT_EQ(outcome.failedLines.size(), 1u);
  EXPECT_EQ(outcome.failedLines[0].chapter, 1);
  EXPECT_EQ(outcome.failedLines[0].line, 4);
  EXPECT_EQ(outcome.failedLines[0].text, G("　　只有铁匠铺子还亮着。"));
  EXPECT_EQ(outcome.chaptersWritten, 3);  // chapter 1 without that line
}

// The rules file of the run directory applies as in the window: here it empties chapter 2,
// which is then skipped; its damaged line is named and passed over.
TEST_F(ExportTest, SpeaksWithTheRulesOfTheRunDirectory) {
  dir_.WriteFile("home/rules.txt", "是\t正则\t^.*(远行|出了门).*$\t\t删去第二章\n乱写的一行\n");
  EXPECT_EQ(Run({"--chapters", "2"}), 0) << err_;
  EXPECT_TRUE(FilesIn(Output()).empty());
  EXPECT_NE(err_.find("规则文件第 2 行"), std::string::npos) << err_;
}

TEST_F(ExportTest, RefusesWhatItCannotDo) {
  dir_.WriteFile("a-file", "x");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"missing book", {"--export", (dir_.root() / "nothing.txt").string()}, 3, "无法读取文件"},
      {"a directory as the book", {"--export", dir_.root().string()}, 3, "无法读取文件"},
      {"output is a file", {"--output", (dir_.root() / "a-file").string()}, 4, "无法写入输出目录"},
      {"range past the end", {"--chapters", "2-5"}, 5, "共 3 章"},
      {"range starting past the end", {"--chapters", "4-"}, 5, "共 3 章"},
      {"range backwards", {"--chapters", "3-2"}, 5, "共 3 章"},
      {"unknown voice", {"--voice", "xx-XX-Nobody"}, 6, "没有这个语音"},
      {"style the voice lacks",
       {"--voice", "en-GB-RyanNeural", "--style", "开心"},
       6,
       "没有这个风格"},
      {"service not answering", {"--speech-service", "http://127.0.0.1:1"}, 7, "没有应答"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), c.status) << c.what;
    EXPECT_NE(err_.find(c.message), std::string::npos) << c.what << ": " << err_;
    EXPECT_TRUE(FilesIn(Output()).empty()) << c.what;
  }
}

}  // namespace
}  // namespace lectoria
