#include "library/chapter_listing.h"

#include "library/book_analysis.h"
#include "library/library_index.h"
#include "platform/codepage.h"

namespace lectoria {

int ListChapters(const std::filesystem::path& file, std::FILE* out, std::FILE* err) {
  const BookAnalysis analysis = AnalyzeBook(file, {}, 2, kMaxChapterCount);
  if (analysis.error != ImportError::kNone) {
    std::fprintf(err, "lectoria: %s\n", GbkToUtf8(ImportFailureMessage(analysis.error)).c_str());
    return 1;
  }
  std::int64_t k = 0;
  for (const PlannedChapter& chapter : analysis.plan.chapters) {
    std::fprintf(out, "%lld\t%s\t%lld\n", static_cast<long long>(++k),
                 GbkToUtf8(chapter.title).c_str(), static_cast<long long>(chapter.chars));
  }
  std::fprintf(err, "encoding: %s; title rule: %.*s; chapters: %lld\n",
               CharsetName(analysis.encoding).c_str(),
               static_cast<int>(TitleRuleName(analysis.plan.rule).size()),
               TitleRuleName(analysis.plan.rule).data(), static_cast<long long>(k));
  return std::fflush(out) == 0 && !std::ferror(out) ? 0 : 1;
}

}  // namespace lectoria
