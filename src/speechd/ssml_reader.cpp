#include "speechd/ssml_reader.h"

#include <algorithm>
#include <cstdlib>
#include <pugixml.hpp>

namespace lectoria::speechd {

namespace {

constexpr std::string_view kMsttsNamespaces[] = {"https://www.w3.org/2001/mstts",
                                                 "http://www.w3.org/2001/mstts"};

// Length of the UTF-8 sequence starting at text[pos], or 0 when it is not valid UTF-8
// (overlong forms, surrogates and values beyond U+10FFFF are invalid).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned int low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  if (byte(pos + 1) < low || byte(pos + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF) return 0;
  }
  return length;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

// True when `rest`, the text just after an '&', starts with a predefined entity or a
// character reference to a character XML allows.
bool IsReference(std::string_view rest) {
  const std::size_t semicolon = rest.substr(0, 12).find(';');
  if (semicolon == std::string_view::npos || semicolon == 0) return false;
  const std::string_view name = rest.substr(0, semicolon);
  if (name == "lt" || name == "gt" || name == "amp" || name == "quot" || name == "apos") {
    return true;
  }
  if (name.size() < 2 || name[0] != '#') return false;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return false;
  unsigned long code = 0;
  for (char c : digits) {
    int value = -1;
    if (c >= '0' && c <= '9') {
      value = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      value = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      value = c - 'A' + 10;
    }
    if (value < 0) return false;
    code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
  }
  const bool control = code < 0x20 && code != 0x09 && code != 0x0A && code != 0x0D;
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return !control && !surrogate && code != 0xFFFE && code != 0xFFFF && code <= 0x10FFFF;
}

bool IsXmlControl(unsigned char c) {
  return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

// Checks what the XML parser lets pass: a bare '&' that starts no reference, control
// characters, which XML allows nowhere in a document, and text outside the root element,
// which the parser drops without a word.
bool CheckRawText(std::string_view xml, std::string& error) {
  int depth = 0;
  for (std::size_t pos = 0; pos < xml.size(); ++pos) {
    const unsigned char c = static_cast<unsigned char>(xml[pos]);
    if (IsXmlControl(c)) {
      error = "the SSML holds a control character";
      return false;
    }
    if (c == '<') {
      const std::string_view rest = xml.substr(pos);
      std::string_view end = ">";
      if (rest.starts_with("<!--")) {
        end = "-->";
      } else if (rest.starts_with("<![CDATA[")) {
        end = "]]>";
      } else if (rest.starts_with("<?")) {
        end = "?>";
      }
      std::size_t close = std::string_view::npos;
      if (end == ">") {
        // A tag: its end is the first '>' outside quoted attribute values.
        char quote = 0;
        for (std::size_t i = pos + 1; i < xml.size() && close == std::string_view::npos; ++i) {
          if (quote != 0) {
            if (xml[i] == quote) quote = 0;
          } else if (xml[i] == '"' || xml[i] == '\'') {
            quote = xml[i];
          } else if (xml[i] == '>') {
            close = i;
          }
        }
      } else {
        close = xml.find(end, pos + 2);
      }
      if (close == std::string_view::npos) return true;  // unterminated: the parser reports it
      if (end == "]]>" && depth <= 0) {
        error = "the SSML has text outside its root element";
        return false;
      }
      for (std::size_t i = pos; i < close; ++i) {
        if (IsXmlControl(static_cast<unsigned char>(xml[i]))) {
          error = "the SSML holds a control character";
          return false;
        }
        if (xml[i] == '&' && end == ">" && !IsReference(xml.substr(i + 1))) {
          error = "the SSML holds an '&' that starts no character reference";
          return false;
        }
      }
      if (end == ">" && rest.size() > 1 && rest[1] != '!') {
        if (rest[1] == '/') {
          --depth;
        } else if (xml[close - 1] != '/') {
          ++depth;
        }
      }
      pos = close + end.size() - 1;
    } else if (c == '&' && !IsReference(xml.substr(pos + 1))) {
      error = "the SSML holds an '&' that starts no character reference";
      return false;
    } else if (depth <= 0 && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      error = "the SSML has text outside its root element";
      return false;
    }
  }
  return true;
}

std::string_view PrefixOf(std::string_view qualifiedName) {
  const std::size_t colon = qualifiedName.find(':');
  return colon == std::string_view::npos ? std::string_view() : qualifiedName.substr(0, colon);
}

std::string_view LocalNameOf(std::string_view qualifiedName) {
  const std::size_t colon = qualifiedName.find(':');
  return colon == std::string_view::npos ? qualifiedName : qualifiedName.substr(colon + 1);
}

// The namespace URI bound to `prefix` at `element` ("" for the default namespace), or
// nullptr when the prefix is not declared.
const char* ResolvePrefix(pugi::xml_node element, std::string_view prefix) {
  const std::string attributeName = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  for (pugi::xml_node node = element; node.type() == pugi::node_element; node = node.parent()) {
    if (pugi::xml_attribute declared = node.attribute(attributeName.c_str())) {
      return declared.value();
    }
  }
  return prefix.empty() ? "" : nullptr;
}

bool CheckElement(pugi::xml_node element, std::string& error) {
  const std::string_view name = element.name();
  const std::string_view prefix = PrefixOf(name);
  if (!prefix.empty() && prefix != "xml" && ResolvePrefix(element, prefix) == nullptr) {
    error = "the SSML uses the undeclared prefix '" + std::string(prefix) + "'";
    return false;
  }
  for (pugi::xml_attribute attribute : element.attributes()) {
    const std::string_view attributeName = attribute.name();
    for (pugi::xml_attribute other = attribute.next_attribute(); other;
         other = other.next_attribute()) {
      if (attributeName == other.name()) {
        error = "the SSML repeats the attribute '" + std::string(attributeName) + "'";
        return false;
      }
    }
    const std::string_view attributePrefix = PrefixOf(attributeName);
    if (!attributePrefix.empty() && attributePrefix != "xml" && attributePrefix != "xmlns" &&
        ResolvePrefix(element, attributePrefix) == nullptr) {
      error = "the SSML uses the undeclared prefix '" + std::string(attributePrefix) + "'";
      return false;
    }
  }
  return true;
}

bool IsMsttsElement(pugi::xml_node element, std::string_view localName) {
  const std::string_view name = element.name();
  if (LocalNameOf(name) != localName) return false;
  const std::string_view prefix = PrefixOf(name);
  const char* uri = ResolvePrefix(element, prefix);
  if (uri == nullptr) return false;
  return std::find(std::begin(kMsttsNamespaces), std::end(kMsttsNamespaces),
                   std::string_view(uri)) != std::end(kMsttsNamespaces);
}

bool ParseNumber(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

// A break's length: its `time` ("500ms", "1.5s") or else its `strength`.
bool BreakLength(pugi::xml_node element, int maxPauseMs, int& pauseMs, std::string& error) {
  double ms = 750;
  if (pugi::xml_attribute time = element.attribute("time")) {
    std::string value = time.value();
    double scale = 0;
    if (value.size() > 2 && value.ends_with("ms")) {
      value.resize(value.size() - 2);
      scale = 1;
    } else if (value.size() > 1 && value.ends_with("s")) {
      value.resize(value.size() - 1);
      scale = 1000;
    }
    if (scale == 0 || !ParseNumber(value.c_str(), ms) || !(ms >= 0)) {
      error = "the break time '" + std::string(time.value()) + "' is not a duration";
      return false;
    }
    ms *= scale;
  } else if (pugi::xml_attribute strength = element.attribute("strength")) {
    static const std::pair<std::string_view, double> kStrengths[] = {
        {"none", 0},     {"x-weak", 250},  {"weak", 500},
        {"medium", 750}, {"strong", 1000}, {"x-strong", 1250}};
    const auto found = std::find_if(std::begin(kStrengths), std::end(kStrengths),
                                    [&](const auto& s) { return s.first == strength.value(); });
    if (found == std::end(kStrengths)) {
      error = "the break strength '" + std::string(strength.value()) + "' is unknown";
      return false;
    }
    ms = found->second;
  }
  pauseMs = static_cast<int>(std::min<double>(ms, maxPauseMs));
  return true;
}

struct Context {
  std::string voiceName;
  std::string style;
  double styleDegree = 1.0;
  bool inVoice = false;
};

class ContentBuilder {
 public:
  ContentBuilder(SsmlContent& content, std::size_t maxChars, int maxTotalPauseMs)
      : content_(content), maxChars_(maxChars), pauseLeftMs_(maxTotalPauseMs) {}

  bool AddText(const Context& context, std::string_view text, std::string& error) {
    if (text.empty()) return true;
    content_.plainTextChars += Utf8CharCount(text);
    if (content_.plainTextChars > maxChars_) {
      error = "the SSML text is longer than " + std::to_string(maxChars_) + " characters";
      return false;
    }
    content_.plainText += text;
    auto& segments = content_.segments;
    if (segments.empty() || segments.back().pauseMs > 0 ||
        segments.back().voiceName != context.voiceName || segments.back().style != context.style ||
        segments.back().styleDegree != context.styleDegree) {
      segments.push_back({context.voiceName, context.style, context.styleDegree, {}, 0});
    }
    segments.back().text += text;
    return true;
  }

  void AddPause(const Context& context, int pauseMs) {
    // Breaks are silence to be encoded and sent: their sum is bounded, not only each one.
    pauseMs = std::min(pauseMs, pauseLeftMs_);
    if (pauseMs <= 0) return;
    pauseLeftMs_ -= pauseMs;
    content_.segments.push_back(
        {context.voiceName, context.style, context.styleDegree, {}, pauseMs});
  }

 private:
  SsmlContent& content_;
  std::size_t maxChars_;
  int pauseLeftMs_;
};

}  // namespace

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) units += (c >= 0xF0) ? 2 : 1;
  }
  return units;
}

std::size_t Utf8CharCount(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

bool ReadSsml(std::string_view ssml, const SsmlLimits& limits, SsmlContent& content,
              std::string& error) {
  content = SsmlContent();
  if (ssml.size() > limits.maxBytes) {
    error = "the SSML is larger than " + std::to_string(limits.maxBytes) + " bytes";
    return false;
  }
  if (!IsValidUtf8(ssml)) {
    error = "the SSML is not valid UTF-8";
    return false;
  }
  if (!CheckRawText(ssml, error)) return false;

  pugi::xml_document document;
  const unsigned int options =
      pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration | pugi::parse_doctype;
  const pugi::xml_parse_result parsed =
      document.load_buffer(ssml.data(), ssml.size(), options, pugi::encoding_utf8);
  if (!parsed) {
    error = std::string("the SSML is not well-formed XML: ") + parsed.description() +
            " at offset " + std::to_string(parsed.offset);
    return false;
  }

  pugi::xml_node root;
  for (pugi::xml_node node : document.children()) {
    switch (node.type()) {
      case pugi::node_element:
        if (root) {
          error = "the SSML has more than one root element";
          return false;
        }
        root = node;
        break;
      case pugi::node_pcdata:
      case pugi::node_cdata: {
        const std::string_view text = node.value();
        if (text.find_first_not_of(" \t\r\n") != std::string_view::npos) {
          error = "the SSML has text outside its root element";
          return false;
        }
        break;
      }
      case pugi::node_doctype:
        error = "the SSML must not have a document type declaration";
        return false;
      default:
        break;  // comments, processing instructions, the XML declaration
    }
  }
  if (!root || std::string_view(root.name()) != "speak") {
    error = "the SSML root element is not 'speak'";
    return false;
  }
  if (std::string_view(root.attribute("xmlns").value()) != kSsmlNamespace) {
    error = "the speak element does not declare the SSML namespace";
    return false;
  }
  if (std::string_view(root.attribute("version").value()) != "1.0") {
    error = "the speak element's version is not 1.0";
    return false;
  }
  content.language = root.attribute("xml:lang").value();

  // Walk the tree without recursion: documents come from outside and may nest deeply.
  std::size_t elements = 0;
  ContentBuilder builder(content, limits.maxTextChars, limits.maxTotalPauseMs);
  std::vector<std::pair<pugi::xml_node, Context>> pending;
  pending.emplace_back(root, Context());
  while (!pending.empty()) {
    auto [node, context] = std::move(pending.back());
    pending.pop_back();
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
      if (!builder.AddText(context, node.value(), error)) return false;
      continue;
    }
    if (node.type() != pugi::node_element) continue;
    if (++elements > limits.maxElements) {
      error = "the SSML has more than " + std::to_string(limits.maxElements) + " elements";
      return false;
    }
    if (!CheckElement(node, error)) return false;

    const std::string_view name = node.name();
    if (name == "speak" && node != root) {
      error = "the SSML nests a speak element";
      return false;
    }
    if (name == "voice") {
      if (context.inVoice) {
        error = "the SSML nests voice elements";
        return false;
      }
      context.inVoice = true;
      context.voiceName = node.attribute("name").value();
    } else if (IsMsttsElement(node, "express-as")) {
      context.style = node.attribute("style").value();
      context.styleDegree = 1.0;
      if (pugi::xml_attribute degree = node.attribute("styledegree")) {
        if (!ParseNumber(degree.value(), context.styleDegree)) {
          error = "the styledegree '" + std::string(degree.value()) + "' is not a number";
          return false;
        }
      }
    } else if (name == "break") {
      int pauseMs = 0;
      if (!BreakLength(node, limits.maxPauseMs, pauseMs, error)) return false;
      builder.AddPause(context, pauseMs);
      continue;
    } else if (name == "sub") {
      if (!builder.AddText(context, node.attribute("alias").value(), error)) return false;
      continue;
    }
    for (pugi::xml_node child = node.last_child(); child; child = child.previous_sibling()) {
      pending.emplace_back(child, context);
    }
  }
  content.plainTextLength = Utf16Length(content.plainText);
  return true;
}

}  // namespace lectoria::speechd
