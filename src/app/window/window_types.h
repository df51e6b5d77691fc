// Plain data describing the main window's controls: kinds, geometry, fixed styles and state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lectoria {

enum class ControlKind {
  kListView,     // report-style list view with columns; rows carry an integer item value
  kEdit,         // edit box
  kFrame,        // rectangular frame grouping other controls
  kLabel,        // static text
  kComboBox,     // drop-down combo box
  kCheckBox,     // check box; a click toggles its state
  kHyperlink,    // link label
  kButton,       // push button
  kSlider,       // horizontal slider holding an integer between the style's minimum and maximum
  kTimer,        // invisible: the 1000 ms timer
  kMediaPlayer,  // invisible: the clip player
  kFileDialog,   // invisible: the open-file dialog
};

/// Left, top, width and height in pixels. For a control: relative to its parent's client
/// area (the window's, or a frame's). For the window: its outer frame on the screen.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

/// A font as the form defines it; an empty family means the default GUI font.
struct FontRecord {
  std::string family;  // UTF-8, e.g. "微软雅黑"
  int height = 0;      // the form's character height: negative means pixels of the glyphs
  int weight = 400;
  int charset = 0;  // 134: GB2312
};

struct ListColumn {
  std::string title;  // GBK
  int width = 0;
};

/// What the form fixes at creation and the program never changes.
struct ControlStyle {
  bool multiLine = false;
  bool verticalScrollBar = false;
  bool whiteBackground = false;
  bool wordWrap = false;
  std::vector<ListColumn> columns;  // list view
  FontRecord font;
  int intervalMs = 0;  // timer
  int minimum = 0;     // slider
  int maximum = 0;     // slider
};

/// One row of a list view.
struct ListRow {
  std::string title;  // GBK
  std::int32_t value = 0;
  friend bool operator==(const ListRow&, const ListRow&) = default;
};

/// A control with its current state. Texts are GBK; names are the form names in UTF-8.
struct Control {
  std::string name;
  ControlKind kind = ControlKind::kLabel;
  std::string parent;  // form name of the enclosing frame; empty for the window's client area
  Rect geometry;
  ControlStyle style;

  std::string text;  // caption, label text, edit text, combo text
  bool visible = true;
  bool enabled = true;
  bool checked = false;

  std::vector<ListRow> rows;  // list view
  std::int32_t currentRow = -1;

  std::vector<std::string> items;  // combo box, GBK
  std::int32_t selectedIndex = -1;

  int value = 0;        // slider
  int textScale = 100;  // size of the shown text, in percent of the font's own

  std::int32_t highlightLine = -1;  // edit box: 0-based line marked as being read; -1 none
  std::int32_t pointedLine = -1;    // edit box: 0-based line the user last pointed at
};

/// What changed, as announced to observers. The observer reads the new state from the model.
enum class Change {
  kText,
  kEnabled,
  kChecked,
  kVisible,
  kRowsReset,    // all rows replaced (cleared or set at once)
  kRowAppended,  // one row added at the end
  kCurrentRow,
  kItemsReset,  // all combo items replaced
  kItemAppended,
  kSelection,  // combo selection (and with it the combo text)
  kValue,      // slider value
  kTextScale,  // size of the shown text
  kHighlight,  // the line marked as being read
  kReveal,     // bring the marked line into view, even after the user scrolled away
};

/// Events the window raises; each may be bound to one operation.
enum class ControlEvent {
  kClicked,            // buttons, check boxes (after the state toggled), the link
  kCurrentRowChanged,  // list view
  kItemSelected,       // combo box, by the user
  kTimer,              // the timer's tick
  kValueChanged,       // slider, by the user
};

/// Operations the window offers through keyboard shortcuts (see MainWindowShortcuts()).
enum class Command {
  kTextLarger,
  kTextSmaller,
  kTextDefaultSize,
  kFaster,
  kSlower,
  kNormalSpeed,
  kLouder,
  kQuieter,
  kCycleSleepTimer,
  kEditRules,  // open the text rules
  kShowShelf,  // open the bookshelf
  kReadFromChapter,  // read from the start of the list's current chapter
  kReadFromLine,     // read from the line of 编辑框1 the user pointed at
  kPreviousLine,
  kNextLine,
  kPreviousChapter,
  kNextChapter,
  kSeekBack,  // about ten seconds back within the clip
  kSeekForward,
  kShowReadingLine,  // show the chapter and the line being read again
  kBrowseText,       // the user scrolled the chapter text away: reading no longer moves it
};

/// A keyboard shortcut of the window: the keys in the portable form "Ctrl+]" (as toolkits
/// write them) and the command it runs.
struct Shortcut {
  const char* keys;
  Command command;
};

enum class WindowEvent {
  kCreated,
  kDestroying,
};

}  // namespace lectoria
