#include "export/export_options.h"

#include <charconv>
#include <string_view>

namespace lectoria {
namespace {

constexpr int kMaxJobs = 64;

// "--name VALUE" or "--name=VALUE": true when `arg` is the option; `value` then holds its
// value, or `error` says that it is missing.
bool TakeValue(std::string_view arg, std::string_view name, int& i, int argc,
               const char* const* argv, std::string& value, std::string& error) {
  if (arg == name) {
    if (i + 1 >= argc) {
      error = "option " + std::string(name) + " needs a value";
      return true;
    }
    value = argv[++i];
  } else if (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
             arg[name.size()] == '=') {
    value = std::string(arg.substr(name.size() + 1));
  } else {
    return false;
  }
  if (value.empty()) error = "option " + std::string(name) + " needs a value";
  return true;
}

// A positive decimal number, all of `text`; 0 for anything else.
int PositiveNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value > 0 ? value : 0;
}

}  // namespace

bool IsExportCommand(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--export" || arg.starts_with("--export=")) return true;
  }
  return false;
}

std::optional<ChapterRange> ParseChapterRange(const std::string& text) {
  const std::size_t dash = text.find('-');
  ChapterRange range;
  if (dash == std::string::npos) {
    range.first = range.last = PositiveNumber(text);
    if (range.first == 0) return std::nullopt;
    return range;
  }
  const std::string_view first = std::string_view(text).substr(0, dash);
  const std::string_view last = std::string_view(text).substr(dash + 1);
  if (first.empty() && last.empty()) return std::nullopt;
  range.first = first.empty() ? 0 : PositiveNumber(first);
  range.last = last.empty() ? 0 : PositiveNumber(last);
  if ((!first.empty() && range.first == 0) || (!last.empty() && range.last == 0))
    return std::nullopt;
  return range;
}

ExportOptions ParseExportOptions(int argc, const char* const* argv) {
  ExportOptions options;
  std::string& error = options.error;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") options.help = true;
  }
  if (options.help) return options;  // whatever else the line holds
  for (int i = 1; i < argc && error.empty(); ++i) {
    const std::string_view arg = argv[i];
    std::string value;
    if (TakeValue(arg, "--export", i, argc, argv, value, error)) {
      options.book = value;
    } else if (TakeValue(arg, "--output", i, argc, argv, value, error)) {
      options.output = value;
    } else if (TakeValue(arg, "--chapters", i, argc, argv, value, error)) {
      options.chapters = ParseChapterRange(value);
      if (error.empty() && !options.chapters)
        error = "--chapters wants a range such as 3-10, 5, 3- or -10, not '" + value + "'";
    } else if (TakeValue(arg, "--voice", i, argc, argv, value, error)) {
      options.voice = value;
    } else if (TakeValue(arg, "--style", i, argc, argv, value, error)) {
      options.style = value;
    } else if (TakeValue(arg, "--speech-service", i, argc, argv, value, error)) {
      options.speechService = value;
    } else if (TakeValue(arg, "--jobs", i, argc, argv, value, error)) {
      options.jobs = PositiveNumber(value);
      if (error.empty() && (options.jobs == 0 || options.jobs > kMaxJobs))
        error =
            "--jobs wants a number from 1 to " + std::to_string(kMaxJobs) + ", not '" + value + "'";
    } else if (TakeValue(arg, "--home", i, argc, argv, value, error)) {
      options.home = value;
    } else {
      error = "unknown argument '" + std::string(arg) + "'";
    }
  }
  if (error.empty()) {
    if (options.book.empty())
      error = "--export needs a book";
    else if (options.output.empty())
      error = "--export needs --output DIR";
  }
  return options;
}

const char* ExportUsageText() {
  return "       lectoria --export BOOK.txt --output DIR [--chapters A-B] [--voice NAME]\n"
         "                [--style LABEL] [--speech-service URL] [--jobs N] [--home DIR]\n";
}

}  // namespace lectoria
