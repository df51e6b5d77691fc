#include "net/name_value_list.h"

#include "platform/codepage.h"
#include "platform/gbk_text.h"

namespace lectoria {
namespace {

bool IsUnreservedByte(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-':
    case '.':
    case '_':
    case '\'':
    case '(':
    case ')':
    case '*':
      return true;
    default:
      return false;
  }
}

}  // namespace

void NameValueList::Add(std::string_view name, std::string_view value, bool convert) {
  if (convert) {
    names_.push_back(GbkToUtf8(name));
    values_.push_back(GbkToUtf8(value));
  } else {
    names_.emplace_back(name);
    values_.emplace_back(value);
  }
}

void NameValueList::AddFromQuery(std::string_view text, bool convert) {
  // "&" and "=" (0x26, 0x3D) are never the second byte of a GBK character (those are 0x40 and
  // up), so splitting byte by byte is exact for GBK and equally right for UTF-8 bytes.
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view part = text.substr(start, end - start);
    const std::size_t firstEquals = part.find('=');
    if (firstEquals == std::string_view::npos) {
      Add({}, {}, convert);
    } else {
      Add(part.substr(0, firstEquals), part.substr(part.rfind('=') + 1), convert);
    }
    start = end + 1;  // past the "&"; text ending in "&" gives no empty last part
  }
}

std::string NameValueList::Get(std::string_view name) const {
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (names_[i] == name) return values_[i];
  return {};
}

void NameValueList::Set(std::string_view name, std::string_view value) {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == name) {
      values_[i] = value;
      return;
    }
  }
  Add(name, value, false);
}

std::string NameValueList::ToQueryString(bool encode) const {
  std::string result;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (i > 0) result += '&';
    result += encode ? UrlEncode(names_[i]) : names_[i];
    result += '=';
    result += encode ? UrlEncode(values_[i]) : values_[i];
  }
  return result;
}

std::string NameValueList::ToHeaderText(bool encode) const {
  std::string result;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (i > 0) result += "\r\n";
    result += names_[i];
    result += ": ";
    result += encode ? UrlEncode(values_[i]) : values_[i];
  }
  return result;
}

void NameValueList::Clear() {
  names_.clear();
  values_.clear();
}

void NameValueList::Remove(std::string_view name) {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == name) {
      names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
      values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

std::string NameValueList::ToJson() const {
  std::string result = "{";
  for (std::size_t i = 0; i < names_.size(); ++i) {
    result += '"';
    result += names_[i];
    result += "\":\"";
    result += EscapeQuotes(values_[i]);
    result += "\",";
  }
  result = StripAffix(result, ",");  // the text starts with "{", so only the end is cut
  result += '}';
  return result;
}

std::string NameValueList::EscapeQuotes(std::string_view text) {
  // A double quote (0x22) is never the second byte of a GBK character, so a byte-wise scan is
  // exact.
  std::string result;
  result.reserve(text.size() + 8);
  for (const char c : text) {
    if (c == '"') result += '\\';
    result += c;
  }
  return result;
}

std::string NameValueList::StripAffix(std::string_view text, std::string_view affix) {
  if (affix.empty()) return std::string(text);
  if (EndsWith(text, affix)) text.remove_suffix(affix.size());
  if (StartsWith(text, affix)) text.remove_prefix(affix.size());
  return std::string(text);
}

std::string NameValueList::UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(text.size() * 3);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == 0) continue;
    if (IsUnreservedByte(c)) {
      result += ch;
    } else if (c == ' ') {
      result += '+';
    } else {
      result += '%';
      result += kHex[c >> 4];
      result += kHex[c & 0x0F];
    }
  }
  return result;
}

}  // namespace lectoria
