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
  /// `clock` empty: the steady clock. At most `capacity` tokens are live at once; issuing one
  /// more retires the oldest.
  explicit TokenStore(std::chrono::seconds lifetime, ServiceClock clock = {},
                      std::size_t capacity = 4096);

  /// A fresh token, or empty text when the random source failed.
  std::string Issue();

  /// True when `token` was issued here and its lifetime has not run out.
  bool IsValid(std::string_view token);

  std::chrono::seconds Lifetime() const { return lifetime_; }

  /// The number of tokens currently held (expired ones are dropped lazily).
  std::size_t Size();

 private:
  std::chrono::steady_clock::time_point Now() const;
  void DropExpired(std::chrono::steady_clock::time_point now);

  const std::chrono::seconds lifetime_;
  const ServiceClock clock_;
  const std::size_t capacity_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::chrono::steady_clock::time_point> expiry_;
};

}  // namespace lectoria::speechd
