#include "export/export_console.h"

#include <algorithm>
#include <cmath>

#include "platform/codepage.h"

namespace lectoria {
namespace {

constexpr int kBarWidth = 24;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string Minutes(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", seconds / 60);
  return text;
}

}  // namespace

std::string FormatDuration(double seconds) {
  const long total = std::lround(std::max(0.0, seconds));
  char text[48];
  if (total >= 60)
    std::snprintf(text, sizeof text, "%ld分%02ld秒", total / 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%ld秒", total);
  return text;
}

void ConsoleReporter::ClearBar() {
  if (!barShown_) return;
  std::fputs("\r\033[K", console_.out);
  std::fflush(console_.out);
  barShown_ = false;
}

void ConsoleReporter::DrawBar(const ExportStatus& status) {
  const double done = status.linesTotal > 0 ? static_cast<double>(status.linesDone) /
                                                  static_cast<double>(status.linesTotal)
                                            : 1.0;
  const int filled = static_cast<int>(done * kBarWidth);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '-');
  const std::string remaining =
      status.remainingSeconds < 0 ? "…" : FormatDuration(status.remainingSeconds);
  std::fprintf(console_.out,
               "\r\033[K[%s] 第 %d 章（完成 %d/%d）· 行 %lld/%lld · 音频 %s 分钟 · 剩余约 %s",
               bar.c_str(), status.chapter, status.chaptersDone, status.chaptersToDo,
               static_cast<long long>(status.linesDone), static_cast<long long>(status.linesTotal),
               Minutes(status.audioSeconds).c_str(), remaining.c_str());
  std::fflush(console_.out);
  barShown_ = true;
  lastDraw_ = std::chrono::steady_clock::now();
}

void ConsoleReporter::OnChapterSkipped(int chapter, const std::string& fileName, Skip why) {
  ClearBar();
  if (why == Skip::kExists)
    std::fprintf(console_.out, "已存在，跳过：%s\n", fileName.c_str());
  else
    std::fprintf(console_.out, "第 %d 章没有可朗读的行，跳过\n", chapter);
  std::fflush(console_.out);
}

void ConsoleReporter::OnProgress(const ExportStatus& status) {
  if (!console_.terminal) return;
  const bool last = status.linesDone == status.linesTotal;
  if (last || std::chrono::steady_clock::now() - lastDraw_ >= kRedrawInterval) DrawBar(status);
}

void ConsoleReporter::OnChapterWritten(const ExportStatus& status, int chapter,
                                       const std::string& fileName, double seconds) {
  ClearBar();
  std::fprintf(console_.out, "[%d/%d] %s（%s 分钟）\n", status.chaptersDone, status.chaptersToDo,
               fileName.c_str(), Minutes(seconds).c_str());
  std::fflush(console_.out);
  if (console_.terminal) DrawBar(status);
}

void ConsoleReporter::OnLineFailed(const FailedLine& line) {
  ClearBar();
  std::fprintf(console_.err, "lectoria: 第 %d 章第 %d 行合成失败，已跳过：%s\n", line.chapter,
               line.line, GbkToUtf8(line.text).c_str());
  std::fflush(console_.err);
}

void ConsoleReporter::PrintSummary(const ExportOutcome& outcome, const std::string& outputDir) {
  ClearBar();
  std::FILE* out = console_.out;
  const double speed =
      outcome.elapsedSeconds > 0 ? outcome.audioSeconds / outcome.elapsedSeconds : 0;
  std::fprintf(out, "%s：写入 %d 章，跳过已有 %d 章；音频 %s 分钟，用时 %s（%.0f 倍实时）\n",
               outcome.end == ExportOutcome::End::kFinished ? "导出完毕" : "导出未完成",
               outcome.chaptersWritten, outcome.chaptersExisting,
               Minutes(outcome.audioSeconds).c_str(),
               FormatDuration(outcome.elapsedSeconds).c_str(), speed);
  if (!outcome.failedLines.empty()) {
    std::fprintf(out, "以下 %zu 行合成失败，未收入音频：\n", outcome.failedLines.size());
    for (const FailedLine& line : outcome.failedLines)
      std::fprintf(out, "  第 %d 章第 %d 行：%s\n", line.chapter, line.line,
                   GbkToUtf8(line.text).c_str());
  }
  if (outcome.end != ExportOutcome::End::kFinished)
    std::fprintf(out, "已完成的章节保留在 %s；再次运行同一命令即从中断处继续。\n",
                 outputDir.c_str());
  std::fflush(out);
}

}  // namespace lectoria
