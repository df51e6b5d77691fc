#include "rules/regex_pattern.h"

#include <algorithm>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace lectoria {
namespace {

// A line is short: a million backtracking steps is far beyond any sensible rule and stops a
// runaway expression within milliseconds.
constexpr std::uint32_t kMatchLimit = 1'000'000;
constexpr std::uint32_t kDepthLimit = 10'000;

pcre2_match_context* SharedMatchContext() {
  // Read-only once set up, so every thread may use it.
  static pcre2_match_context* const context = [] {
    pcre2_match_context* c = pcre2_match_context_create(nullptr);
    if (c != nullptr) {
      pcre2_set_match_limit(c, kMatchLimit);
      pcre2_set_depth_limit(c, kDepthLimit);
    }
    return c;
  }();
  return context;
}

std::size_t NextCharacter(std::string_view text, std::size_t pos) {
  ++pos;
  while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
  return pos;
}

}  // namespace

struct RegexPattern::Code {
  pcre2_code* code = nullptr;
  ~Code() { pcre2_code_free(code); }
};

RegexPattern::RegexPattern(std::unique_ptr<Code> code) : code_(std::move(code)) {
  pcre2_pattern_info(code_->code, PCRE2_INFO_CAPTURECOUNT, &captureCount_);
  pcre2_pattern_info(code_->code, PCRE2_INFO_MINLENGTH, &minLength_);
}

RegexPattern::~RegexPattern() = default;

std::shared_ptr<const RegexPattern> RegexPattern::Compile(std::string_view utf8, Error* error) {
  int code = 0;
  PCRE2_SIZE offset = 0;
  auto compiled = std::make_unique<Code>();
  compiled->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8.data()), utf8.size(),
                                 PCRE2_UTF | PCRE2_UCP, &code, &offset, nullptr);
  if (compiled->code == nullptr) {
    if (error != nullptr) {
      PCRE2_UCHAR buffer[256];
      const int length = pcre2_get_error_message(code, buffer, sizeof buffer);
      error->offset = offset;
      error->reason = length > 0 ? std::string(reinterpret_cast<char*>(buffer), length) : "";
    }
    return nullptr;
  }
  // Without JIT (not built in, or no executable memory) the interpreter does the same work.
  pcre2_jit_compile(compiled->code, PCRE2_JIT_COMPLETE);
  return std::shared_ptr<const RegexPattern>(new RegexPattern(std::move(compiled)));
}

int RegexPattern::Find(std::string_view subject, std::size_t start, RegexMatchData& data) const {
  // The subjects come from the program's own GBK conversion and are valid UTF-8.
  const int rc = pcre2_match(code_->code, reinterpret_cast<PCRE2_SPTR>(subject.data()),
                             subject.size(), start, PCRE2_NO_UTF_CHECK,
                             static_cast<pcre2_match_data*>(data.data_), SharedMatchContext());
  if (rc == PCRE2_ERROR_NOMATCH) return 0;
  return rc < 0 ? -1 : 1;
}

RegexMatchData::RegexMatchData(std::uint32_t captureCount)
    : data_(pcre2_match_data_create(captureCount + 1, nullptr)) {}

RegexMatchData::~RegexMatchData() {
  pcre2_match_data_free(static_cast<pcre2_match_data*>(data_));
}

std::uint32_t RegexMatchData::Pairs() const {
  return pcre2_get_ovector_count(static_cast<pcre2_match_data*>(data_));
}

std::size_t RegexMatchData::Start(std::uint32_t group) const {
  if (group >= Pairs()) return std::string_view::npos;
  const PCRE2_SIZE value =
      pcre2_get_ovector_pointer(static_cast<pcre2_match_data*>(data_))[2 * group];
  return value == PCRE2_UNSET ? std::string_view::npos : value;
}

std::size_t RegexMatchData::End(std::uint32_t group) const {
  if (group >= Pairs()) return std::string_view::npos;
  const PCRE2_SIZE value =
      pcre2_get_ovector_pointer(static_cast<pcre2_match_data*>(data_))[2 * group + 1];
  return value == PCRE2_UNSET ? std::string_view::npos : value;
}

Replacement Replacement::Literal(std::string text) {
  Replacement r;
  if (!text.empty()) r.pieces_.push_back({std::move(text), -1});
  return r;
}

std::optional<Replacement> Replacement::Parse(std::string_view utf8, std::uint32_t captureCount,
                                              std::string* badReference) {
  Replacement r;
  std::string text;
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  auto flushText = [&] {
    if (!text.empty()) r.pieces_.push_back({std::move(text), -1});
    text.clear();
  };
  auto bad = [&](std::string_view reference) -> std::optional<Replacement> {
    if (badReference != nullptr) *badReference = std::string(reference);
    return std::nullopt;
  };
  for (std::size_t i = 0; i < utf8.size();) {
    if (utf8[i] != '$' || i + 1 >= utf8.size()) {
      text += utf8[i++];
      continue;
    }
    const char next = utf8[i + 1];
    if (next == '$') {
      text += '$';
      i += 2;
    } else if (isDigit(next)) {
      // "$10" is group 10 when there is one, else group 1 and a "0".
      int group = next - '0';
      std::size_t length = 2;
      if (i + 2 < utf8.size() && isDigit(utf8[i + 2])) {
        const int two = group * 10 + (utf8[i + 2] - '0');
        if (two <= static_cast<int>(captureCount)) {
          group = two;
          length = 3;
        }
      }
      if (group > static_cast<int>(captureCount)) return bad(utf8.substr(i, length));
      flushText();
      r.pieces_.push_back({{}, group});
      i += length;
    } else if (next == '{') {
      const std::size_t close = utf8.find('}', i + 2);
      const std::string_view digits =
          close == std::string_view::npos ? std::string_view() : utf8.substr(i + 2, close - i - 2);
      const std::string_view reference =
          utf8.substr(i, close == std::string_view::npos ? std::string_view::npos : close - i + 1);
      if (digits.empty() || digits.size() > 3 ||
          !std::all_of(digits.begin(), digits.end(), isDigit))
        return bad(reference);
      const int group = std::stoi(std::string(digits));
      if (group > static_cast<int>(captureCount)) return bad(reference);
      flushText();
      r.pieces_.push_back({{}, group});
      i = close + 1;
    } else {
      text += utf8[i++];
    }
  }
  flushText();
  return r;
}

void Replacement::AppendTo(std::string& out, std::string_view subject,
                           const RegexMatchData& data) const {
  for (const Piece& piece : pieces_) {
    if (piece.group < 0) {
      out += piece.text;
      continue;
    }
    const auto group = static_cast<std::uint32_t>(piece.group);
    const std::size_t start = data.Start(group);
    const std::size_t end = data.End(group);
    // A group that took no part in the match stands for nothing.
    if (start != std::string_view::npos && end != std::string_view::npos && end > start)
      out.append(subject.substr(start, end - start));
  }
}

ReplaceOutcome ReplaceAll(const RegexPattern& pattern, const Replacement& replacement,
                          std::string& text, RegexMatchData& data) {
  std::string out;
  std::size_t copied = 0;  // text before this has gone to `out`
  std::size_t start = 0;
  bool changed = false;
  while (start <= text.size()) {
    const int found = pattern.Find(text, start, data);
    if (found < 0) return ReplaceOutcome::kFailed;
    if (found == 0) break;
    const std::size_t matchStart = data.Start(0);
    const std::size_t matchEnd = data.End(0);
    if (matchEnd <= matchStart) {
      // An empty match (a pattern that can match nothing, or \K): replace nothing, go on.
      if (start >= text.size()) break;
      start = NextCharacter(text, std::max(start, matchEnd));
      continue;
    }
    if (!changed) out.reserve(text.size() + 16);
    out.append(text, copied, matchStart - copied);
    replacement.AppendTo(out, text, data);
    copied = matchEnd;
    start = matchEnd;
    changed = true;
  }
  if (!changed) return ReplaceOutcome::kUnchanged;
  out.append(text, copied, std::string::npos);
  text = std::move(out);
  return ReplaceOutcome::kChanged;
}

}  // namespace lectoria
