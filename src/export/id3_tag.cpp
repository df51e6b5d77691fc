#include "export/id3_tag.h"

#include <cstdint>

#include "platform/codepage.h"

namespace lectoria {
namespace {

void AppendBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

void AppendTextFrame(std::string& out, std::string_view id, std::string_view utf8) {
  if (utf8.empty()) return;
  std::string content = "\x01\xFF\xFE";  // UTF-16, little-endian byte-order mark
  content += ConvertEncoding(utf8, "UTF-8", "UTF-16LE");
  out.append(id);
  AppendBigEndian(out, static_cast<std::uint32_t>(content.size()));
  out.append(2, '\0');  // frame flags
  out += content;
}

}  // namespace

std::string BuildId3Tag(const Id3Fields& fields) {
  std::string frames;
  AppendTextFrame(frames, "TIT2", fields.title);
  AppendTextFrame(frames, "TALB", fields.album);
  AppendTextFrame(frames, "TRCK", fields.track);
  AppendTextFrame(frames, "TPE1", fields.artist);

  std::string tag = "ID3\x03";
  tag.append(2, '\0');  // revision 0, no flags
  // The tag size is "syncsafe": seven bits per byte, so no byte of it looks like a frame sync.
  const std::uint32_t size = static_cast<std::uint32_t>(frames.size());
  for (int shift = 21; shift >= 0; shift -= 7)
    tag.push_back(static_cast<char>((size >> shift) & 0x7F));
  return tag + frames;
}

}  // namespace lectoria
