#include "rules/pattern_literals.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

namespace lectoria {
namespace {

using LiteralSet = std::vector<std::string>;

constexpr int kMaxDepth = 64;

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The shortest text of a set: what a search for the set is worth.
std::size_t Score(const LiteralSet& set) {
  std::size_t shortest = SIZE_MAX;
  for (const std::string& text : set) shortest = std::min(shortest, text.size());
  return shortest;
}

// A recursive reader of the pattern's structure. Each branch yields the best of the texts and
// groups that every match of it must pass through; an alternation yields the union of its
// branches' sets, and nothing when one branch guarantees nothing.
class LiteralReader {
 public:
  LiteralReader(std::string_view pattern, bool ignoreCase) : p_(pattern), ignoreCase_(ignoreCase) {}

  std::optional<LiteralSet> Read() {
    std::optional<LiteralSet> set = Alternation(0);
    if (failed_ || pos_ != p_.size()) return std::nullopt;
    return set;
  }

 private:
  enum class AtomKind { kLiteral, kGroup, kOther };
  enum class Repeat { kOnce, kOptional, kAtLeastOnce };

  char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < p_.size() ? p_[pos_ + ahead] : '\0';
  }
  bool AtEnd() const { return pos_ >= p_.size(); }
  void Fail() { failed_ = true; }

  std::optional<LiteralSet> Alternation(int depth) {
    std::optional<LiteralSet> all = LiteralSet{};
    while (true) {
      std::optional<LiteralSet> branch = Branch(depth);
      if (failed_) return std::nullopt;
      if (!branch) {
        all.reset();
      } else if (all) {
        all->insert(all->end(), branch->begin(), branch->end());
      }
      if (Peek() != '|') break;
      ++pos_;
    }
    return all;
  }

  std::optional<LiteralSet> Branch(int depth) {
    std::string run;
    std::optional<LiteralSet> best;
    const auto consider = [&best](LiteralSet set) {
      if (!best || Score(set) > Score(*best)) best = std::move(set);
    };
    const auto flush = [&] {
      if (!run.empty()) consider({run});
      run.clear();
    };
    while (!AtEnd() && Peek() != '|' && Peek() != ')') {
      std::string literal;
      std::optional<LiteralSet> group;
      const AtomKind kind = Atom(depth, literal, group);
      if (failed_) return std::nullopt;
      const Repeat repeat = ReadRepeat();
      if (failed_) return std::nullopt;
      if (kind == AtomKind::kLiteral && Usable(literal)) {
        if (repeat == Repeat::kOptional) {
          flush();
        } else {
          run += literal;
          if (repeat == Repeat::kAtLeastOnce) flush();
        }
      } else {
        flush();
        if (kind == AtomKind::kGroup && repeat != Repeat::kOptional && group) consider(*group);
      }
    }
    flush();
    return best;
  }

  // Ignoring case, a letter may match letters beyond ASCII (Kelvin sign, long s, other
  // scripts' cases), so only ASCII characters without such variants stay usable.
  bool Usable(std::string_view literal) const {
    if (!ignoreCase_) return true;
    if (literal.size() != 1 || static_cast<unsigned char>(literal[0]) >= 0x80) return false;
    const char c = static_cast<char>(literal[0] | 0x20);
    return c != 'k' && c != 's';
  }

  AtomKind Atom(int depth, std::string& literal, std::optional<LiteralSet>& group) {
    const char c = Peek();
    switch (c) {
      case '(':
        group = Group(depth);
        return AtomKind::kGroup;
      case '[':
        SkipClass();
        return AtomKind::kOther;
      case '.':
      case '^':
      case '$':
        ++pos_;
        return AtomKind::kOther;
      case '\\':
        return Escape(literal);
      case '*':
      case '+':
      case '?':
      case '{':
        Fail();  // a quantifier without an atom, or a brace taken literally: not worth guessing
        return AtomKind::kOther;
      default:
        literal = TakeCharacter();
        return AtomKind::kLiteral;
    }
  }

  std::string TakeCharacter() {
    const std::size_t start = pos_++;
    while (!AtEnd() && (static_cast<unsigned char>(Peek()) & 0xC0) == 0x80) ++pos_;
    return std::string(p_.substr(start, pos_ - start));
  }

  std::optional<LiteralSet> Group(int depth) {
    if (depth >= kMaxDepth) {
      Fail();
      return std::nullopt;
    }
    ++pos_;  // '('
    bool keep = true;
    if (Peek() == '*') {
      Fail();  // verbs and (*pla:...) forms
      return std::nullopt;
    }
    if (Peek() == '?') {
      ++pos_;
      const char kind = Peek();
      if (kind == ':' || kind == '|' || kind == '>') {
        ++pos_;
      } else if (kind == '=' || kind == '!') {
        ++pos_;
        keep = false;  // a look-ahead consumes nothing
      } else if (kind == '<' && (Peek(1) == '=' || Peek(1) == '!')) {
        pos_ += 2;
        keep = false;
      } else if (kind == '<' || (kind == 'P' && Peek(1) == '<') || kind == '\'') {
        if (!SkipPast(kind == '\'' ? '\'' : '>')) return std::nullopt;
      } else {
        // Option letters: "(?i)" sets, "(?i:...)" groups.
        while (!AtEnd() &&
               (std::isalpha(static_cast<unsigned char>(Peek())) || Peek() == '-' || Peek() == '^'))
          ++pos_;
        if (Peek() == ')') {
          ++pos_;
          return std::nullopt;
        }
        if (Peek() != ':') {
          Fail();  // comments, conditionals, recursion, callouts
          return std::nullopt;
        }
        ++pos_;
      }
    }
    std::optional<LiteralSet> inner = Alternation(depth + 1);
    if (failed_ || Peek() != ')') {
      Fail();
      return std::nullopt;
    }
    ++pos_;
    if (!keep) return std::nullopt;
    return inner;
  }

  bool SkipPast(char close) {
    const std::size_t end = p_.find(close, pos_ + 1);
    if (end == std::string_view::npos) {
      Fail();
      return false;
    }
    pos_ = end + 1;
    return true;
  }

  void SkipClass() {
    ++pos_;  // '['
    if (Peek() == '^') ++pos_;
    if (Peek() == ']') ++pos_;  // a leading ']' is a member
    while (!AtEnd()) {
      const char c = Peek();
      if (c == ']') {
        ++pos_;
        return;
      }
      if (c == '\\') {
        pos_ += 2;
        if (Peek() == '{') SkipPast('}');
      } else if (c == '[' && Peek(1) == ':') {
        const std::size_t end = p_.find(":]", pos_ + 2);
        if (end == std::string_view::npos) {
          Fail();
          return;
        }
        pos_ = end + 2;
      } else {
        ++pos_;
      }
    }
    Fail();
  }

  AtomKind Escape(std::string& literal) {
    const char e = Peek(1);
    if (pos_ + 1 >= p_.size()) {
      Fail();
      return AtomKind::kOther;
    }
    if (!IsAsciiAlnum(e)) {
      // An escaped sign (or any non-ASCII character) stands for itself.
      ++pos_;
      literal = TakeCharacter();
      return AtomKind::kLiteral;
    }
    pos_ += 2;
    if (std::string_view("dDwWsShHvVRXbBAzZGKntrfea").find(e) != std::string_view::npos)
      return AtomKind::kOther;
    if (e == 'p' || e == 'P' || e == 'x' || e == 'o' || e == 'g' || e == 'k' || e == 'N') {
      const char open = Peek();
      if (open == '{') {
        SkipPast('}');
      } else if (open == '<') {
        SkipPast('>');
      } else if (open == '\'') {
        SkipPast('\'');
      } else if (e == 'p' || e == 'P') {
        ++pos_;
      } else if (e == 'x') {
        for (int i = 0; i < 2 && std::isxdigit(static_cast<unsigned char>(Peek())); ++i) ++pos_;
      } else if (e == 'g') {
        if (Peek() == '-' || Peek() == '+') ++pos_;
        while (IsDigit(Peek())) ++pos_;
      } else if (e != 'N') {
        Fail();
      }
      return AtomKind::kOther;
    }
    if (IsDigit(e)) {
      while (IsDigit(Peek())) ++pos_;  // a back reference or an octal code
      return AtomKind::kOther;
    }
    if (e == 'c' && !AtEnd()) {
      ++pos_;
      return AtomKind::kOther;
    }
    Fail();  // \Q..\E and anything rarer
    return AtomKind::kOther;
  }

  Repeat ReadRepeat() {
    Repeat repeat = Repeat::kOnce;
    const char c = Peek();
    if (c == '?' || c == '*') {
      repeat = Repeat::kOptional;
      ++pos_;
    } else if (c == '+') {
      repeat = Repeat::kAtLeastOnce;
      ++pos_;
    } else if (c == '{') {
      std::size_t i = pos_ + 1;
      std::size_t least = 0;
      bool digits = false;
      while (i < p_.size() && IsDigit(p_[i])) {
        least = std::min<std::size_t>(least * 10 + static_cast<std::size_t>(p_[i] - '0'), 100000);
        digits = true;
        ++i;
      }
      if (i < p_.size() && p_[i] == ',') {
        ++i;
        while (i < p_.size() && IsDigit(p_[i])) ++i;
      }
      if (!digits || i >= p_.size() || p_[i] != '}') {
        Fail();
        return repeat;
      }
      pos_ = i + 1;
      repeat = least == 0 ? Repeat::kOptional : Repeat::kAtLeastOnce;
    } else {
      return repeat;
    }
    if (Peek() == '?' || Peek() == '+') ++pos_;  // lazy or possessive
    return repeat;
  }

  std::string_view p_;
  std::size_t pos_ = 0;
  bool ignoreCase_;
  bool failed_ = false;
};

// Whether option letters anywhere in the pattern switch on ignoring case, and whether they
// switch on a mode this reader does not follow (extended syntax ignores blanks).
void ScanOptions(std::string_view pattern, bool& ignoreCase, bool& unreadable) {
  for (std::size_t at = pattern.find("(?"); at != std::string_view::npos;
       at = pattern.find("(?", at + 2)) {
    for (std::size_t i = at + 2; i < pattern.size(); ++i) {
      const char c = pattern[i];
      if (c == 'i') ignoreCase = true;
      if (c == 'x') unreadable = true;
      if (!std::isalpha(static_cast<unsigned char>(c)) && c != '-' && c != '^') break;
    }
  }
  if (pattern.find("(*") != std::string_view::npos) unreadable = true;
}

}  // namespace

RequiredLiterals FindRequiredLiterals(std::string_view utf8Pattern) {
  RequiredLiterals result;
  bool unreadable = false;
  ScanOptions(utf8Pattern, result.ignoreCase, unreadable);
  if (unreadable) return result;
  std::optional<LiteralSet> set = LiteralReader(utf8Pattern, result.ignoreCase).Read();
  if (!set || set->empty() || Score(*set) == 0) return result;
  std::sort(set->begin(), set->end());
  set->erase(std::unique(set->begin(), set->end()), set->end());
  result.texts = std::move(*set);
  return result;
}

}  // namespace lectoria
