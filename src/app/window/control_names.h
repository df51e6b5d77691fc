// The main window's controls, named by their form names.
//
// A control is identified everywhere by its form name as a UTF-8 string ("按钮1"): the model
// keys its controls by it, and the Qt view gives each widget the same name as its objectName.
// The constants below let code say ctl::按钮1 and have the compiler catch a misspelt name.
#pragma once

#include <string_view>

namespace lectoria::ctl {

inline constexpr std::string_view 超级列表框1 = "超级列表框1";  // chapter list
inline constexpr std::string_view 编辑框1 = "编辑框1";          // text of the selected chapter
inline constexpr std::string_view 编辑框3 = "编辑框3";          // the line being read
inline constexpr std::string_view 外形框2 = "外形框2";          // voice group frame
inline constexpr std::string_view 标签2 = "标签2";
inline constexpr std::string_view 组合框_语音 = "组合框_语音";  // voice choice
inline constexpr std::string_view 标签3 = "标签3";
inline constexpr std::string_view 组合框_语音风格 = "组合框_语音风格";  // speaking-style choice
inline constexpr std::string_view 外形框1 = "外形框1";                  // control group frame
inline constexpr std::string_view 标签7 = "标签7";
inline constexpr std::string_view 超级链接框1 = "超级链接框1";  // link to the product page
inline constexpr std::string_view 标签4 = "标签4";
inline constexpr std::string_view 标签1 = "标签1";  // "当前缓存：n"
inline constexpr std::string_view 标签6 = "标签6";
inline constexpr std::string_view 选择框2 = "选择框2";  // WakeOutput
inline constexpr std::string_view 标签5 = "标签5";
inline constexpr std::string_view 选择框1 = "选择框1";          // SkipNonChinese
inline constexpr std::string_view 按钮2 = "按钮2";              // 打开文件
inline constexpr std::string_view 按钮3 = "按钮3";              // 保存配置
inline constexpr std::string_view 按钮1 = "按钮1";              // start / pause
inline constexpr std::string_view 按钮4 = "按钮4";              // 跳过
inline constexpr std::string_view 时钟1 = "时钟1";              // the 1000 ms timer
inline constexpr std::string_view 媒体播放1 = "媒体播放1";      // the clip player
inline constexpr std::string_view 通用对话框1 = "通用对话框1";  // the open-file dialog

// Around the form: reading speed, volume, the sleep timer and a status line below the text.
inline constexpr std::string_view 标签_语速 = "标签_语速";
inline constexpr std::string_view 组合框_语速 = "组合框_语速";  // playback speed
inline constexpr std::string_view 标签_音量 = "标签_音量";
inline constexpr std::string_view 滑块条_音量 = "滑块条_音量";  // volume, 0-100 %
inline constexpr std::string_view 标签_定时 = "标签_定时";
inline constexpr std::string_view 组合框_定时 = "组合框_定时";  // sleep timer
inline constexpr std::string_view 状态条1 = "状态条1";          // status line
// Between the two frames: opens the text rules (朗读规则).
inline constexpr std::string_view 按钮_规则 = "按钮_规则";
// Between the two frames, beside it: opens the bookshelf.
inline constexpr std::string_view 按钮_书架 = "按钮_书架";

}  // namespace lectoria::ctl
