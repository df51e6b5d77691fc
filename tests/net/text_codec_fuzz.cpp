// Feeds arbitrary bytes to the text codec (service replies are outside input) and to the
// name-value list's query parsing and encoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/name_value_list.h"
#include "net/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static constexpr const char* kCharsets[][2] = {{"UTF-8", "GBK"},        {"GBK", "UTF-8"},
                                                 {"UTF-16LE", "GBK"},     {"UTF-8", "UTF-16"},
                                                 {"ISO-8859-7", "ASCII"}, {"GBK", "GBK"}};
  const auto& charsets = kCharsets[data[0] % std::size(kCharsets)];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string converted =
      lectoria::ConvertCharset(input, charsets[0], charsets[1], data[0] % 5);
  const std::string gbk = lectoria::ConvertCharset(input);
  // What the codec writes as GBK reads back without loss.
  if (lectoria::ConvertCharset(lectoria::ConvertCharset(gbk, "GBK", "UTF-8")) != gbk) std::abort();
  // Every input byte gives at most one output byte from UTF-8 to GBK.
  if (gbk.size() > input.size()) std::abort();

  lectoria::NameValueList list;
  list.AddFromQuery(input, data[0] & 1);
  const std::string query = list.ToQueryString(true);
  if (query.size() > 3 * (input.size() * 2 + 1)) std::abort();
  (void)list.ToHeaderText(true);
  (void)list.ToJson();
  (void)converted;
  return 0;
}
