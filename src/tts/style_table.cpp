#include "tts/style_table.h"

namespace lectoria {

const std::array<StyleRow, 15> kStyleTable{{
    {"assistant", "\xD6\xFA\xC0\xED"},        // 助理
    {"chat", "\xC1\xC4\xCC\xEC"},             // 聊天
    {"customerservice", "\xBF\xCD\xB7\xFE"},  // 客服
    {"newscast", "\xD0\xC2\xCE\xC5"},         // 新闻
    {"affectionate", "\xC8\xF6\xBD\xBF"},     // 撒娇
    {"angry", "\xC9\xFA\xC6\xF8"},            // 生气
    {"calm", "\xC6\xBD\xBE\xB2"},             // 平静
    {"cheerful", "\xBF\xAA\xD0\xC4"},         // 开心
    {"disgruntled", "\xB2\xBB\xC2\xFA"},      // 不满
    {"fearful", "\xBA\xA6\xC5\xC2"},          // 害怕
    {"gentle", "\xCE\xC2\xC8\xE1"},           // 温柔
    {"lyrical", "\xCA\xE3\xC7\xE9"},          // 抒情
    {"sad", "\xB1\xAF\xC9\xCB"},              // 悲伤
    {"serious", "\xD1\xCF\xCB\xE0"},          // 严肃
    {"Default", "\xC4\xAC\xC8\xCF"},          // 默认
}};

const std::string_view kDefaultStyleLabel = kStyleTable.back().label;

std::optional<std::string_view> LabelForStyle(std::string_view serviceName) {
  for (const StyleRow& row : kStyleTable) {
    if (row.serviceName == serviceName) return row.label;
  }
  return std::nullopt;
}

std::optional<std::string_view> StyleForLabel(std::string_view label) {
  for (const StyleRow& row : kStyleTable) {
    if (row.label == label) return row.serviceName;
  }
  return std::nullopt;
}

}  // namespace lectoria
