// Issues the service's access tokens and tells whether a presented token is still valid.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace lectoria::speechd {

/// The clock that token lifetimes are measured with; tests hand in a fake one.
using ServiceClock = std::function<std::chrono::steady_clock::time_point()>;

/// Fills `out` with `size` bytes from the kernel's cryptographic random source (getrandom).
/// Returns false when the source fails; `out` is then unusable.
bool FillRandomBytes(unsigned char* out, std::size_t size);

/// Tokens are 64 lower-case hexadecimal digits (256 random bits), valid for a fixed lifetime
/// after they are issued. Thread-safe.
class TokenStore {
 public:
  /// `clock` empty: the steady clock. At most `capacity` tokens are live at once, and at most
  /// `perClient` of them issued to one client; issuing one more retires the oldest (of that
  /// client, when it holds its share). A client that fetches tokens without end thus retires
  /// its own; a reader whose token was retired all the same is refused once and fetches a
  /// new one, as after any refusal.
  explicit TokenStore(std::chrono::seconds lifetime, ServiceClock clock = {},
                      std::size_t capacity = 4096, std::size_t perClient = 1024);

  /// A fresh token for `client` (its address; empty counts as one unknown client), or empty
  /// text when the random source failed.
  std::string Issue(std::string_view client = {});

  /// True when `token` was issued here and its lifetime has not run out.
  bool IsValid(std::string_view token);

  std::chrono::seconds Lifetime() const { return lifetime_; }

  /// The number of tokens currently held (expired ones are dropped lazily).
  std::size_t Size();

 private:
  std::chrono::steady_clock::time_point Now() const;
  void DropExpired(std::chrono::steady_clock::time_point now);

  struct Entry {
    std::chrono::steady_clock::time_point expiry;
    std::string client;
  };
  using TokenMap = std::unordered_map<std::string, Entry>;
  // Retires the oldest token for which `select` holds.
  template <typename Select>
  void RetireOldest(Select select);
  // Removes one token and its count; returns the next position.
  TokenMap::iterator Forget(TokenMap::iterator token);

  const std::chrono::seconds lifetime_;
  const ServiceClock clock_;
  const std::size_t capacity_;
  const std::size_t perClient_;
  std::mutex mutex_;
  TokenMap tokens_;
  std::unordered_map<std::string, std::size_t> perClientCount_;
};

}  // namespace lectoria::speechd
