// The texts of the bookshelf and of its questions (UTF-8 here, shown as GBK).
#pragma once

#include <string_view>

namespace lectoria::shelf_texts {

inline constexpr std::string_view kTitle = "书架";
/// The shelf's columns.
inline constexpr std::string_view kColumnTitle = "书名";
inline constexpr std::string_view kColumnChapters = "章节";
inline constexpr std::string_view kColumnRead = "已读";
inline constexpr std::string_view kColumnLastRead = "上次阅读";
/// "上次阅读" of the book being read.
inline constexpr std::string_view kReadingNow = "正在阅读";

/// Around the book's name: asked before a book is removed.
inline constexpr std::string_view kRemoveBefore = "从书架上移除《";
inline constexpr std::string_view kRemoveAfter = "》吗？它的章节和阅读位置都会删除。";
/// Around the book's name: asked when the chosen file is on the shelf already.
inline constexpr std::string_view kReplaceBefore = "《";
inline constexpr std::string_view kReplaceAfter =
    "》已在书架上。要用这个文件重新导入并替换它吗？阅读位置会保留。";
/// A book could not be swapped in (e.g. a full disk or a read-only directory).
inline constexpr std::string_view kSwitchFailed = "无法切换到这本书！原来的书保持不变。";

}  // namespace lectoria::shelf_texts
