// The program's own texts that handlers compare or show (GBK).
#pragma once

#include <string_view>

namespace lectoria::texts {

/// The window title while no book is loaded.
inline constexpr std::string_view kDefaultTitle = "Lectoria";

// Captions of the start button 按钮1; the caption is the playback controller's state.
inline constexpr std::string_view kCaptionInitializing = "\xB3\xF5\xCA\xBC\xBB\xAF..";  // 初始化..
inline constexpr std::string_view kCaptionStart = "\xBF\xAA\xCA\xBC";                   // 开始
inline constexpr std::string_view kCaptionPause = "\xD4\xDD\xCD\xA3";                   // 暂停
inline constexpr std::string_view kCaptionWaiting = "\xB5\xC8\xB4\xFD\xBA\xCF\xB3\xC9";  // 等待合成
inline constexpr std::string_view kCaptionWaking =
    "\xC6\xF4\xB6\xAF\xCA\xE4\xB3\xF6..";  // 启动输出..

/// The status label 标签1 shows this followed by the number of cached clips.
inline constexpr std::string_view kCachePrefix =
    "\xB5\xB1\xC7\xB0\xBB\xBA\xB4\xE6\xA3\xBA";  // 当前缓存：

/// 编辑框3 while no book is loaded: 请先打开一本书
inline constexpr std::string_view kOpenBookFirst =
    "\xC7\xEB\xCF\xC8\xB4\xF2\xBF\xAA\xD2\xBB\xB1\xBE\xCA\xE9";
/// 编辑框3 once the book has been read to its end: 全书已读完
inline constexpr std::string_view kBookEnd = "\xC8\xAB\xCA\xE9\xD2\xD1\xB6\xC1\xCD\xEA";

// The progress in the status line: "第 12/120 章 · 第 35 行 · 9.6%".
inline constexpr std::string_view kProgressChapter = "\xB5\xDA";      // 第
inline constexpr std::string_view kProgressChapterUnit = "\xD5\xC2";  // 章
inline constexpr std::string_view kProgressLineUnit = "\xD0\xD0";     // 行
inline constexpr std::string_view kProgressSeparator = " \xA1\xA4 ";  // " · "

// Message boxes.
inline constexpr std::string_view kSynthesisFailed =
    "\xBA\xCF\xB3\xC9\xCA\xA7\xB0\xDC";  // 合成失败
inline constexpr std::string_view kSynthesisTitle = "\xBA\xCF\xB3\xC9\xD3\xEF\xD2\xF4";  // 合成语音
inline constexpr std::string_view kImportDone =
    "\xB5\xBC\xC8\xEB\xCD\xEA\xB1\xCF\xA3\xA1";  // 导入完毕！
inline constexpr std::string_view kPleaseOpenFile =
    "\xC7\xEB\xB4\xF2\xBF\xAA\xCE\xC4\xBC\xFE\xA3\xA1";  // 请打开文件！
/// The import's progress dialog: this, the book's name and kImportingAfter.
inline constexpr std::string_view kImportingBefore =
    "\xD5\xFD\xD4\xDA\xB5\xBC\xC8\xEB\xA1\xB6";                                  // 正在导入《
inline constexpr std::string_view kImportingAfter = "\xA1\xB7\xA1\xAD\xA1\xAD";  // 》……
inline constexpr std::string_view kNoticeTitle = "\xCC\xE1\xCA\xBE\xCF\xFB\xCF\xA2";  // 提示消息

/// The open-file dialog's filter: description and pattern pairs, each followed by "|".
inline constexpr std::string_view kBookFilter =
    "\xCE\xC4\xB1\xBE\xCE\xC4\xB5\xB5\xA3\xA8*.txt\xA3\xA9|*.txt|";  // 文本文档（*.txt）|*.txt|

/// Where the link 超级链接框1 leads: the speech vendor's public text-to-speech product page.
inline constexpr std::string_view kServiceProductUrl =
    "https://azure.microsoft.com/products/ai-services/text-to-speech";

}  // namespace lectoria::texts
