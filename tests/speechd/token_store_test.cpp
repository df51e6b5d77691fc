#include "speechd/token_store.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace lectoria::speechd {
namespace {

using namespace std::chrono_literals;

class FakeClock {
 public:
  ServiceClock Clock() {
    return [this] { return now_; };
  }
  void Advance(std::chrono::seconds step) { now_ += step; }

 private:
  std::chrono::steady_clock::time_point now_{};
};

TEST(SpeechdTokenStoreTest, TokensAreLongRandomHexAndDistinct) {
  TokenStore store(600s);
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const std::string token = store.Issue();
    ASSERT_EQ(token.size(), 64u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_TRUE(seen.insert(token).second) << "repeated token " << token;
  }
}

TEST(SpeechdTokenStoreTest, TokenIsValidUntilItsLifetimeRunsOut) {
  FakeClock clock;
  TokenStore store(600s, clock.Clock());
  const std::string token = store.Issue();
  EXPECT_TRUE(store.IsValid(token));
  clock.Advance(599s);
  EXPECT_TRUE(store.IsValid(token));
  clock.Advance(1s);
  EXPECT_FALSE(store.IsValid(token));
  EXPECT_EQ(store.Size(), 0u);
}

TEST(SpeechdTokenStoreTest, UnknownEmptyAndAlteredTokensAreRefused) {
  TokenStore store(600s);
  std::string token = store.Issue();
  EXPECT_FALSE(store.IsValid(""));
  EXPECT_FALSE(store.IsValid("undefined"));
  EXPECT_FALSE(store.IsValid(token.substr(1)));
  token[0] = token[0] == 'a' ? 'b' : 'a';
  EXPECT_FALSE(store.IsValid(token));
}

TEST(SpeechdTokenStoreTest, IssuingBeyondCapacityRetiresTheOldestToken) {
  FakeClock clock;
  TokenStore store(600s, clock.Clock(), 3);
  const std::string first = store.Issue();
  clock.Advance(1s);
  const std::string second = store.Issue();
  clock.Advance(1s);
  store.Issue();
  clock.Advance(1s);
  store.Issue();
  EXPECT_FALSE(store.IsValid(first));
  EXPECT_TRUE(store.IsValid(second));
  EXPECT_EQ(store.Size(), 3u);
}

TEST(SpeechdTokenStoreTest, AClientFetchingWithoutEndRetiresOnlyItsOwnTokens) {
  FakeClock clock;
  TokenStore store(600s, clock.Clock(), 8, 3);
  const std::string reader = store.Issue("127.0.0.1");
  std::vector<std::string> flood;
  for (int i = 0; i < 100; ++i) {
    clock.Advance(1s);
    flood.push_back(store.Issue("192.0.2.7"));
  }
  EXPECT_TRUE(store.IsValid(reader));
  EXPECT_EQ(store.Size(), 4u);
  EXPECT_TRUE(store.IsValid(flood.back()));
  EXPECT_FALSE(store.IsValid(flood.front()));
}

}  // namespace
}  // namespace lectoria::speechd
