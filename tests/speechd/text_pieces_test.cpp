#include "speechd/text_pieces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lectoria::speechd {
namespace {

std::vector<std::string> Pieces(std::string_view text, std::size_t maxChars) {
  std::vector<std::string> pieces;
  std::string joined;
  for (std::string_view piece : SplitIntoPieces(text, maxChars)) {
    pieces.emplace_back(piece);
    joined += piece;
  }
  EXPECT_EQ(joined, text) << "the pieces must give the text back";
  return pieces;
}

TEST(SpeechdTextPiecesTest, CutsAtSentenceEndsThenCommasThenBlanksThenAnywhere) {
  const struct {
    const char* text;
    std::size_t maxChars;
    std::vector<std::string> pieces;
  } kCases[] = {
      {"", 10, {}},
      {"短句。", 10, {"短句。"}},
      // Sentences are packed while they fit; closing quotes and blanks stay with theirs.
      {"他说：“走吧。”我们走。好！", 8, {"他说：“走吧。”", "我们走。好！"}},
      {"One. Two! Three? Four; five", 10, {"One. Two! ", "Three? ", "Four; five"}},
      // A full stop inside a number or a word does not end the sentence.
      {"Pi is 3.14 or so.", 100, {"Pi is 3.14 or so."}},
      {"前文……后文。", 4, {"前文……", "后文。"}},
      // A sentence longer than a piece is cut after its last comma that fits,
      {"一二三，四五六，七八九。", 8, {"一二三，四五六，", "七八九。"}},
      // else at a blank, else anywhere.
      {"aaa bbb ccc", 5, {"aaa ", "bbb ", "ccc"}},
      {"一二三四五六七", 3, {"一二三", "四五六", "七"}},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Pieces(c.text, c.maxChars), c.pieces) << c.text;
  }
}

TEST(SpeechdTextPiecesTest, LongParagraphGivesBoundedPieces) {
  std::string paragraph;
  for (int i = 0; i < 500; ++i) paragraph += i % 7 ? "天色渐渐暗了，" : "风停了。";
  const auto pieces = Pieces(paragraph, kMaxPieceChars);
  EXPECT_GT(pieces.size(), 10u);
  for (const std::string& piece : pieces) {
    std::size_t chars = 0;
    for (char c : piece) chars += (c & 0xC0) != 0x80;
    EXPECT_LE(chars, kMaxPieceChars);
  }
}

TEST(SpeechdTextPiecesTest, TellsTextToPronounceFromBlanksAndPunctuation) {
  const std::pair<const char*, bool> kCases[] = {
      {"", false},
      {"   \r\n\t", false},
      {"……", false},
      {"。！？“”（）", false},
      {"\xE3\x80\x80", false} /* ideographic space */,
      {"...!?", false},
      {"好", true},
      {"a", true},
      {"7", true},
      {"50%", true},
      {"……嗯", true},
  };
  for (const auto& [text, speakable] : kCases) EXPECT_EQ(HasSpeakableText(text), speakable) << text;
}

}  // namespace
}  // namespace lectoria::speechd
