// The chapter list 超级列表框1 and the chapter text box 编辑框1.
#include <algorithm>

#include "app/core/app.h"
#include "app/state/index_checks.h"
#include "app/window/control_names.h"
#include "library/chapter_file.h"
#include "library/chapter_list.h"

namespace lectoria {

void App::FillChapterList() {
  // "章节数" within its bounds: never more chapters than there are chapter files.
  const std::int32_t count =
      std::min(ClampChapterCount(library_.ChapterCount()), LastChapterFile(state_.R));
  std::vector<ListRow> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (std::int32_t k = 1; k <= count; ++k) rows.push_back({library_.ChapterTitle(k), k});
  state_.ReadingQueue.ChapterCount = static_cast<std::int32_t>(rows.size());
  // All rows replaced at once: the list is emptied and filled in one step.
  window_.SetRows(ctl::超级列表框1, std::move(rows));
}

void App::ShowChapterText() {
  const std::int32_t row = window_.CurrentRow(ctl::超级列表框1);
  const std::int32_t chapter = window_.RowValue(ctl::超级列表框1, row);  // 0 when no row
  window_.SetText(ctl::编辑框1, ReadChapterText(state_.R.ChapterFile(chapter)));
  place_.OnChapterShown();
}

}  // namespace lectoria
