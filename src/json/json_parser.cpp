#include "json/json_parser.h"

#include <vector>

#include "json/gbk_unicode.h"
#include "json/number_text.h"

namespace lectoria::json {
namespace {

bool IsJsonSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An iterative parser: open arrays and objects live on an explicit stack, so the nesting
// limit, not the machine stack, bounds the depth.
class Parser {
 public:
  Parser(std::string_view text, int maxDepth) : text_(text), maxDepth_(maxDepth) {}

  bool Run(JsonValue& out);
  const ParseFailure& failure() const { return failure_; }

 private:
  struct Frame {
    JsonValue container;
    std::string key;  // name of the member being read, for objects
  };

  bool Fail(const char* message, std::int32_t number = kSyntaxErrorNumber) {
    failure_.number = number;
    failure_.offset = pos_;
    failure_.message = message;
    return false;
  }
  void SkipSpace() {
    while (pos_ < text_.size() && IsJsonSpace(text_[pos_])) ++pos_;
  }
  bool AtEnd() const { return pos_ >= text_.size(); }

  bool ReadScalar(JsonValue& value);
  bool ReadMemberName(Frame& frame);
  bool ReadString(std::string& out);
  bool ReadEscape(std::string& out);
  bool ReadHex4(char32_t& unit);

  std::string_view text_;
  int maxDepth_;
  std::size_t pos_ = 0;
  std::vector<Frame> stack_;
  ParseFailure failure_;
};

bool Parser::Run(JsonValue& out) {
  SkipSpace();
  JsonValue value;
  for (;;) {
    // Read the start of a value; an array or object is opened and its first element or
    // member awaited, unless it closes at once.
    if (AtEnd()) return Fail("Unexpected end of text");
    const char c = text_[pos_];
    bool haveValue = true;
    if (c == '[' || c == '{') {
      if (static_cast<int>(stack_.size()) >= maxDepth_) {
        return Fail("Nesting too deep", kTooDeepErrorNumber);
      }
      ++pos_;
      stack_.push_back(Frame{c == '[' ? JsonValue::Array() : JsonValue::Object(), {}});
      SkipSpace();
      if (!AtEnd() && text_[pos_] == (c == '[' ? ']' : '}')) {
        ++pos_;
        value = std::move(stack_.back().container);
        stack_.pop_back();
      } else if (c == '{') {
        if (!ReadMemberName(stack_.back())) return false;
        haveValue = false;
      } else {
        haveValue = false;
      }
    } else if (!ReadScalar(value)) {
      return false;
    }
    if (!haveValue) continue;

    // A value is complete: store it in its container; close every container that ends here.
    for (;;) {
      if (stack_.empty()) {
        SkipSpace();
        if (!AtEnd()) return Fail("Unexpected text after the JSON value");
        out = std::move(value);
        return true;
      }
      Frame& top = stack_.back();
      const bool isArray = top.container.IsArray();
      if (isArray) {
        top.container.AsArray().push_back(std::move(value));
      } else {
        top.container.AsObject().Set(top.key, std::move(value));
      }
      SkipSpace();
      if (AtEnd()) return Fail("Unexpected end of text");
      const char d = text_[pos_];
      if (d == ',') {
        ++pos_;
        SkipSpace();
        if (!isArray && !ReadMemberName(top)) return false;
        break;  // read the next element or member value
      }
      if (d != (isArray ? ']' : '}')) {
        return Fail(isArray ? "Expected ',' or ']'" : "Expected ',' or '}'");
      }
      ++pos_;
      value = std::move(top.container);
      stack_.pop_back();
    }
  }
}

bool Parser::ReadScalar(JsonValue& value) {
  const char c = text_[pos_];
  if (c == '"') {
    std::string text;
    if (!ReadString(text)) return false;
    value = JsonValue::String(std::move(text));
    return true;
  }
  const std::string_view rest = text_.substr(pos_);
  if (rest.substr(0, 4) == "true") {
    pos_ += 4;
    value = JsonValue::Boolean(true);
    return true;
  }
  if (rest.substr(0, 5) == "false") {
    pos_ += 5;
    value = JsonValue::Boolean(false);
    return true;
  }
  if (rest.substr(0, 4) == "null") {
    pos_ += 4;
    value = JsonValue();
    return true;
  }
  const std::size_t length = JsonNumberLength(rest);
  if (length == 0) {
    return Fail(c == '-' || (c >= '0' && c <= '9') ? "Invalid number" : "Unexpected character");
  }
  value = JsonValue::Number(JsonNumberValue(rest.substr(0, length)));
  pos_ += length;
  return true;
}

// Reads `"name"` and the colon after it, leaving the position at the member's value.
bool Parser::ReadMemberName(Frame& frame) {
  if (AtEnd()) return Fail("Unexpected end of text");
  if (text_[pos_] != '"') return Fail("Expected a member name");
  frame.key.clear();
  if (!ReadString(frame.key)) return false;
  SkipSpace();
  if (AtEnd() || text_[pos_] != ':') return Fail("Expected ':'");
  ++pos_;
  SkipSpace();
  return true;
}

bool Parser::ReadString(std::string& out) {
  ++pos_;  // opening quote
  for (;;) {
    const std::size_t start = pos_;
    while (pos_ < text_.size()) {
      const unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
      ++pos_;
    }
    out.append(text_, start, pos_ - start);
    if (AtEnd()) return Fail("Unterminated string");
    const unsigned char c = static_cast<unsigned char>(text_[pos_]);
    if (c == '"') {
      ++pos_;
      return true;
    }
    if (c == '\\') {
      if (!ReadEscape(out)) return false;
    } else if (c < 0x20) {
      return Fail("Control character in string");
    } else {
      // A GBK character; its second byte may be a backslash and is consumed with it.
      AppendUtf8(out, DecodeGbkChar(text_, pos_));
    }
  }
}

bool Parser::ReadEscape(std::string& out) {
  ++pos_;  // backslash
  if (AtEnd()) return Fail("Unterminated string");
  const char c = text_[pos_++];
  switch (c) {
    case '"':
    case '\\':
    case '/':
      out.push_back(c);
      return true;
    case 'b':
      out.push_back('\b');
      return true;
    case 'f':
      out.push_back('\f');
      return true;
    case 'n':
      out.push_back('\n');
      return true;
    case 'r':
      out.push_back('\r');
      return true;
    case 't':
      out.push_back('\t');
      return true;
    case 'u':
      break;
    default:
      --pos_;
      return Fail("Invalid escape in string");
  }
  char32_t unit = 0;
  if (!ReadHex4(unit)) return false;
  if (unit >= 0xD800 && unit <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
    // A high surrogate: join it with a low surrogate that follows.
    const std::size_t afterHigh = pos_;
    pos_ += 2;
    char32_t low = 0;
    if (!ReadHex4(low)) return false;
    if (low >= 0xDC00 && low <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
      return true;
    }
    pos_ = afterHigh;  // not a pair: the next escape stands on its own
  }
  AppendUtf8(out, unit);
  return true;
}

bool Parser::ReadHex4(char32_t& unit) {
  if (text_.size() - pos_ < 4) return Fail("Invalid \\u escape in string");
  unit = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = HexValue(text_[pos_ + i]);
    if (digit < 0) return Fail("Invalid \\u escape in string");
    unit = (unit << 4) | static_cast<char32_t>(digit);
  }
  pos_ += 4;
  return true;
}

}  // namespace

bool ParseJson(std::string_view text, int maxDepth, JsonValue& out, ParseFailure* failure) {
  Parser parser(text, maxDepth);
  if (parser.Run(out)) return true;
  if (failure != nullptr) *failure = parser.failure();
  return false;
}

void LocateOffset(std::string_view text, std::size_t offset, std::int32_t& line,
                  std::int32_t& column, std::string& lineText) {
  if (offset > text.size()) offset = text.size();
  std::size_t lineStart = 0;
  line = 1;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  std::size_t lineEnd = text.find('\n', lineStart);
  if (lineEnd == std::string_view::npos) lineEnd = text.size();
  if (lineEnd > lineStart && text[lineEnd - 1] == '\r') --lineEnd;
  column = static_cast<std::int32_t>(offset - lineStart + 1);
  lineText.assign(text.substr(lineStart, lineEnd - lineStart));
}

}  // namespace lectoria::json
