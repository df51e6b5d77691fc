#include "novel_generator.h"

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace lectoria::bench {
namespace {

// Common characters; none of the generated text lines is short enough to be taken for a title.
const char* const kCharactersUtf8 =
    "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子"
    "说"
    "产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当"
    "使"
    "点从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关各重新线内数正心反你"
    "明"
    "看原又么利比或但质气向道命此变条只没结解问意建月公无系军很情者最立代想已通并提直题党程展五果料"
    "象"
    "员革位入常文总次品式活设及管特件长求老头基资边流路级少图山统接知较将组见计别她手角期根论运农指"
    "几";
const char* const kDigitsUtf8[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};

std::vector<std::string> Characters() {
  const std::string gbk = Utf8ToGbk(kCharactersUtf8);
  std::vector<std::string> chars;
  for (std::size_t i = 0; i + 1 < gbk.size(); i += 2) chars.push_back(gbk.substr(i, 2));
  return chars;
}

// 1 -> 一, 12 -> 十二, 305 -> 三百零五, 4321 -> 四千三百二十一 (in UTF-8).
std::string ChineseNumber(int n) {
  static const char* const kUnits[] = {"", "十", "百", "千"};
  std::string out;
  const std::string digits = std::to_string(n);
  bool zero = false;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const int d = digits[i] - '0';
    const std::size_t unit = digits.size() - 1 - i;
    if (d == 0) {
      zero = true;
      continue;
    }
    if (zero) out += kDigitsUtf8[0];
    zero = false;
    if (!(d == 1 && unit == 1 && i == 0)) out += kDigitsUtf8[d];
    out += kUnits[unit];
  }
  return out;
}

}  // namespace

NovelFiles WriteNovel(const std::filesystem::path& gbkPath, const std::filesystem::path& utf8Path,
                      int chapters, std::size_t chapterBytes, const char* unit) {
  const std::vector<std::string> chars = Characters();
  const std::string comma = Utf8ToGbk("，");
  const std::string stop = Utf8ToGbk("。");
  const std::string indent = Utf8ToGbk("　　");
  std::mt19937 random(20240601);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  auto sentence = [&](std::string& out, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
      out += chars[pick(chars.size())];
      if (i + 1 < length && pick(9) == 0) out += comma;
    }
    out += stop;
  };

  std::ofstream gbk(gbkPath, std::ios::binary | std::ios::trunc);
  std::ofstream utf8(utf8Path, std::ios::binary | std::ios::trunc);
  NovelFiles files;
  files.chapters = chapters;
  auto emit = [&](const std::string& text) {
    gbk << text;
    const std::string converted = GbkToUtf8(text);
    utf8 << converted;
    files.gbkBytes += text.size();
    files.utf8Bytes += converted.size();
  };

  std::string text = Utf8ToGbk("内容简介\r\n");
  text += indent;
  sentence(text, 60);
  emit(text + "\r\n");
  for (int k = 1; k <= chapters; ++k) {
    text = Utf8ToGbk("第" + ChineseNumber(k) + unit + " ");
    for (std::size_t i = 2 + pick(4); i > 0; --i) text += chars[pick(chars.size())];
    text += "\r\n";
    while (text.size() < chapterBytes) {
      text += indent;
      for (std::size_t s = 1 + pick(4); s > 0; --s) sentence(text, 30 + pick(40));
      text += "\r\n";
    }
    if (k == chapters) text.resize(text.size() - 2);  // no line end after the last line
    emit(text);
  }
  return files;
}

}  // namespace lectoria::bench
