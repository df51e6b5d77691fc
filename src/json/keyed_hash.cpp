#include "json/keyed_hash.h"

#include <chrono>
#include <cstring>
#include <random>

namespace lectoria::json {
namespace {

constexpr std::uint64_t Rotl(std::uint64_t x, int b) {
  return (x << b) | (x >> (64 - b));
}

struct SipState {
  std::uint64_t v0, v1, v2, v3;

  void Round() {
    v0 += v1;
    v1 = Rotl(v1, 13);
    v1 ^= v0;
    v0 = Rotl(v0, 32);
    v2 += v3;
    v3 = Rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = Rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = Rotl(v1, 17);
    v1 ^= v2;
    v2 = Rotl(v2, 32);
  }

  template <int kRounds>
  void Absorb(std::uint64_t m) {
    v3 ^= m;
    for (int i = 0; i < kRounds; ++i) Round();
    v0 ^= m;
  }
};

// Little-endian load of up to 8 bytes.
std::uint64_t Load(const char* p, std::size_t n) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < n; ++i)
    value |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  return value;
}

struct ProcessKey {
  std::uint64_t k0, k1;
};

ProcessKey DrawKey() {
  std::uint64_t words[2] = {0x736f6d6570736575ULL, 0x646f72616e646f6dULL};
  try {
    std::random_device device;
    for (std::uint64_t& word : words)
      word ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (...) {
    // No entropy source: the clock and an address still differ from run to run.
    words[0] ^= static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    words[1] ^= reinterpret_cast<std::uintptr_t>(&words);
  }
  return {words[0], words[1]};
}

}  // namespace

template <int kCompressionRounds, int kFinalRounds>
std::uint64_t SipHash(std::uint64_t k0, std::uint64_t k1, std::string_view bytes) {
  SipState s{k0 ^ 0x736f6d6570736575ULL, k1 ^ 0x646f72616e646f6dULL, k0 ^ 0x6c7967656e657261ULL,
             k1 ^ 0x7465646279746573ULL};
  const std::size_t whole = bytes.size() & ~std::size_t{7};
  for (std::size_t i = 0; i < whole; i += 8) {
    std::uint64_t m;
    std::memcpy(&m, bytes.data() + i, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    m = __builtin_bswap64(m);
#endif
    s.Absorb<kCompressionRounds>(m);
  }
  const std::uint64_t last = (static_cast<std::uint64_t>(bytes.size()) << 56) |
                             Load(bytes.data() + whole, bytes.size() - whole);
  s.Absorb<kCompressionRounds>(last);
  s.v2 ^= 0xFF;
  for (int i = 0; i < kFinalRounds; ++i) s.Round();
  return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

template std::uint64_t SipHash<1, 3>(std::uint64_t, std::uint64_t, std::string_view);
template std::uint64_t SipHash<2, 4>(std::uint64_t, std::uint64_t, std::string_view);

std::uint64_t HashMemberName(std::string_view name) {
  static const ProcessKey key = DrawKey();
  return SipHash<1, 3>(key.k0, key.k1, name);
}

}  // namespace lectoria::json
