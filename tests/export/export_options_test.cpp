#include "export/export_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lectoria {
namespace {

ExportOptions Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "lectoria");
  return ParseExportOptions(static_cast<int>(args.size()), args.data());
}

TEST(ChapterRange, ReadsClosedAndOpenRanges) {
  struct Case {
    const char* text;
    bool ok;
    int first;
    int last;
  };
  const Case cases[] = {
      {"3-10", true, 3, 10},        {"5", true, 5, 5},
      {"3-", true, 3, 0},           {"-10", true, 0, 10},
      {"-", false, 0, 0},           {"", false, 0, 0},
      {"0-3", false, 0, 0},         {"a-3", false, 0, 0},
      {"3-x", false, 0, 0},         {"1-2-3", false, 0, 0},
      {"99999999999", false, 0, 0},
  };
  for (const Case& c : cases) {
    const auto range = ParseChapterRange(c.text);
    ASSERT_EQ(range.has_value(), c.ok) << c.text;
    if (range) {
      EXPECT_EQ(std::pair(range->first, range->last), std::pair(c.first, c.last)) << c.text;
    }
  }
}

TEST(ExportOptions, AcceptsTheCommandAndRefusesMistakes) {
  const ExportOptions full =
      Parse({"--export", "b.txt", "--output=out", "--chapters", "2-4", "--voice", "v", "--style",
             "开心", "--speech-service", "http://127.0.0.1:1", "--jobs", "3", "--home", "h"});
  EXPECT_EQ(full.error, "");
  EXPECT_EQ(full.book, "b.txt");
  EXPECT_EQ(full.output, "out");
  EXPECT_EQ(full.chapters->first, 2);
  EXPECT_EQ(*full.voice, "v");
  EXPECT_EQ(*full.style, "开心");
  EXPECT_EQ(full.jobs, 3);
  EXPECT_EQ(Parse({"--export", "b.txt", "--output", "o"}).jobs, 0);  // as many as cores

  const std::vector<std::vector<const char*>> refused = {
      {"--export", "b.txt"},          // no output
      {"--output", "o", "--export"},  // no book
      {"--export", "b.txt", "--output", "o", "--jobs", "0"},
      {"--export", "b.txt", "--output", "o", "--jobs", "65"},
      {"--export", "b.txt", "--output", "o", "--chapters", "x"},
      {"--export", "b.txt", "--output", "o", "--voice="},
      {"--export", "b.txt", "--output", "o", "--screenshot", "s.png"},
  };
  for (const auto& args : refused) EXPECT_NE(Parse(args).error, "") << args.back();
  EXPECT_TRUE(Parse({"--export", "--help"}).help);
}

}  // namespace
}  // namespace lectoria
