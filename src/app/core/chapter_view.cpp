// The chapter list 超级列表框1 and the chapter text box 编辑框1.
#include "app/core/app.h"
#include "app/window/control_names.h"
#include "library/chapter_file.h"
#include "library/chapter_list.h"

namespace lectoria {

void App::FillChapterList() {
  std::vector<ListRow> rows;
  for (ChapterRow& row : ReadChapterRows(library_))
    rows.push_back({std::move(row.title), row.number});
  state_.ReadingQueue.ChapterCount = static_cast<std::int32_t>(rows.size());
  // All rows replaced at once: the list is emptied and filled in one step.
  window_.SetRows(ctl::超级列表框1, std::move(rows));
}

void App::ShowChapterText() {
  const std::int32_t row = window_.CurrentRow(ctl::超级列表框1);
  const std::int32_t chapter = window_.RowValue(ctl::超级列表框1, row);  // 0 when no row
  window_.SetText(ctl::编辑框1, ReadChapterText(state_.R.ChapterFile(chapter)));
}

}  // namespace lectoria
