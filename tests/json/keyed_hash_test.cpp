// The member index of large objects and the keyed hash behind it.
#include "json/keyed_hash.h"

#include <gtest/gtest.h>

#include <string>

#include "json/json_document.h"

namespace lectoria {
namespace {

// The reference vectors of the SipHash paper: key 00 01 .. 0F, messages 00 01 .. (n - 1).
TEST(KeyedHash, SipHashMatchesTheReferenceVectors) {
  const std::uint64_t k0 = 0x0706050403020100ULL;
  const std::uint64_t k1 = 0x0F0E0D0C0B0A0908ULL;
  std::string message;
  for (char c = 0; c < 15; ++c) message += c;
  EXPECT_EQ((json::SipHash<2, 4>(k0, k1, "")), 0x726FDB47DD0E0E31ULL);
  EXPECT_EQ((json::SipHash<2, 4>(k0, k1, message)), 0xA129CA6149BE45E5ULL);
  EXPECT_NE((json::SipHash<1, 3>(k0, k1, message)), (json::SipHash<2, 4>(k0, k1, message)));
}

TEST(KeyedHash, LargeObjectsFindReplaceAndRemoveEveryMember) {
  constexpr int kMembers = 3000;
  std::string text = "{";
  for (int i = 0; i < kMembers; ++i)
    text += "\"m" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  text += "\"m7\":-7}";  // a repeated name replaces the value in its place
  JsonDocument document;
  ASSERT_TRUE(document.Parse(text));
  std::vector<std::string> names;
  EXPECT_EQ(document.GetNames(names), kMembers);
  EXPECT_EQ(names[7], "m7");
  EXPECT_EQ(document.GetText("m7"), "-7");
  ASSERT_TRUE(document.Remove("m0"));
  for (int i = 1; i < kMembers; i += 97)
    EXPECT_EQ(document.GetText("m" + std::to_string(i)), i == 7 ? "-7" : std::to_string(i));
  EXPECT_EQ(document.GetText("m0"), "");
  EXPECT_EQ(document.GetText("m" + std::to_string(kMembers)), "");
}

}  // namespace
}  // namespace lectoria
