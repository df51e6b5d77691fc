#include "export/chapter_file_name.h"

#include <gtest/gtest.h>

#include <string>

namespace lectoria {
namespace {

TEST(ChapterFileName, NumbersAndSafeTitles) {
  const std::string longTitle(100, 'x');
  const std::string hanzi70 = [] {  // 210 bytes
    std::string s;
    for (int i = 0; i < 70; ++i) s += "章";  // 3 bytes each
    return s;
  }();
  struct Case {
    int number;
    int count;
    std::string title;
    std::string name;
  };
  const Case cases[] = {
      {3, 10, "第三章 归来", "003 第三章 归来.mp3"},
      {12, 1500, "第十二章", "0012 第十二章.mp3"},
      {1, 1, "", "001.mp3"},
      {1, 1, "a/b\\c:d*e?f\"g<h>i|j", "001 a／b＼c：d＊e？f＂g＜h＞i｜j.mp3"},
      {1, 1, "　　第一章\t 开端  \r\n", "001 第一章 开端.mp3"},
      {1, 1, "..hidden.", "001 hidden.mp3"},
      {1, 1, ". . .", "001.mp3"},
      {1, 1, "bad \xFF\xC3 utf8", "001 bad ？？ utf8.mp3"},
      {1, 1, longTitle + longTitle, "001 " + std::string(kMaxTitleNameBytes, 'x') + ".mp3"},
      {1, 1, hanzi70, "001 " + hanzi70.substr(0, 180) + ".mp3"},  // 60 whole characters
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChapterFileName(c.number, c.count, c.title), c.name) << c.title;
}

}  // namespace
}  // namespace lectoria
