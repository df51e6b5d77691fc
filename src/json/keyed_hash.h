// A keyed hash for the names of large JSON objects.
//
// A reply can hold an object with very many members. With a fixed hash function a hostile
// service can choose names that all fall into the same few slots of the member index, and
// building the object then takes quadratic time. The index therefore hashes names with
// SipHash-1-3 under a key drawn at random once per process: without the key, names that
// collide cannot be chosen in advance.
#pragma once

#include <cstdint>
#include <string_view>

namespace lectoria::json {

/// SipHash-c-d of `bytes` under the 128-bit key (k0, k1): c rounds per 8-byte word, d rounds
/// to finish. Instantiated for SipHash-1-3 (used here) and SipHash-2-4 (the reference).
template <int kCompressionRounds, int kFinalRounds>
std::uint64_t SipHash(std::uint64_t k0, std::uint64_t k1, std::string_view bytes);

/// SipHash-1-3 of `name` under this process's random key.
std::uint64_t HashMemberName(std::string_view name);

}  // namespace lectoria::json
