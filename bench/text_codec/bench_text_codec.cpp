// Converts a 20 MB book between UTF-8 and GBK and prints the time of each run.
// Goals: a 20 MB text in well under a second each way (500 ms here), also with unmappable
// characters on every line; input that is faulty throughout stays within 2 s.
#include <chrono>
#include <cstdio>
#include <string>

#include "net/text_codec.h"

namespace {

constexpr std::size_t kBookBytes = 20u << 20;

// UTF-8 text shaped like a novel: Chinese sentences, punctuation, ASCII digits, CR LF.
std::string MakeUtf8Book(std::size_t bytes, const std::string& extra) {
  const std::string line = "第12章 天下大势，分久必合，合久必分。";
  std::string book;
  book.reserve(bytes + 256);
  while (book.size() < bytes) book += line + extra + "\r\n";
  return book;
}

// Best of three runs, so that other work on the machine disturbs the figure less.
template <typename F>
double Milliseconds(F&& run) {
  double best = 0;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (i == 0 || ms < best) best = ms;
  }
  return best;
}

void Report(const char* what, std::size_t inBytes, std::size_t outBytes, double ms, double goalMs) {
  std::printf("%-44s %6.1f MB -> %6.1f MB  %8.1f ms  (goal < %.0f ms) %s\n", what,
              inBytes / 1048576.0, outBytes / 1048576.0, ms, goalMs, ms < goalMs ? "ok" : "SLOW");
}

}  // namespace

int main() {
  using lectoria::ConvertCharset;
  std::string out;

  const std::string utf8 = MakeUtf8Book(kBookBytes, "");
  double ms = Milliseconds([&] { out = ConvertCharset(utf8); });
  Report("UTF-8 -> GBK, clean text", utf8.size(), out.size(), ms, 500);

  const std::string gbk = out;
  ms = Milliseconds([&] { out = ConvertCharset(gbk, "GBK", "UTF-8"); });
  Report("GBK -> UTF-8, clean text", gbk.size(), out.size(), ms, 500);

  // An emoji on every line: each one leaves the bulk conversion once.
  const std::string emoji = MakeUtf8Book(kBookBytes, "\xF0\x9F\x98\x80");
  ms = Milliseconds([&] { out = ConvertCharset(emoji); });
  Report("UTF-8 -> GBK, one unmappable per line", emoji.size(), out.size(), ms, 500);

  // The worst case: a GBK book read as UTF-8, where nearly every byte is a fault.
  ms = Milliseconds([&] { out = ConvertCharset(gbk); });
  Report("GBK bytes read as UTF-8 (faults everywhere)", gbk.size(), out.size(), ms, 2000);

  ms = Milliseconds([&] { out = ConvertCharset(utf8, "UTF-8", "UTF-8", 3); });
  Report("UTF-8 -> UTF-8 from offset 3", utf8.size(), out.size(), ms, 500);
  return 0;
}
