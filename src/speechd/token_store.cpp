#include "speechd/token_store.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>

namespace lectoria::speechd {

bool FillRandomBytes(unsigned char* out, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = getrandom(out + done, size - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

TokenStore::TokenStore(std::chrono::seconds lifetime, ServiceClock clock, std::size_t capacity)
    : lifetime_(lifetime),
      clock_(std::move(clock)),
      capacity_(std::max<std::size_t>(capacity, 1)) {}

std::chrono::steady_clock::time_point TokenStore::Now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

void TokenStore::DropExpired(std::chrono::steady_clock::time_point now) {
  std::erase_if(expiry_, [now](const auto& entry) { return entry.second <= now; });
}

std::string TokenStore::Issue() {
  unsigned char bytes[32];
  if (!FillRandomBytes(bytes, sizeof bytes)) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  token.reserve(2 * sizeof bytes);
  for (unsigned char b : bytes) {
    token.push_back(kHex[b >> 4]);
    token.push_back(kHex[b & 0x0F]);
  }

  const auto now = Now();
  std::lock_guard lock(mutex_);
  DropExpired(now);
  while (expiry_.size() >= capacity_) {
    // All tokens share one lifetime, so the earliest expiry is the oldest token.
    auto oldest =
        std::min_element(expiry_.begin(), expiry_.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    expiry_.erase(oldest);
  }
  expiry_[token] = now + lifetime_;
  return token;
}

bool TokenStore::IsValid(std::string_view token) {
  if (token.empty()) return false;
  const auto now = Now();
  std::lock_guard lock(mutex_);
  auto found = expiry_.find(std::string(token));
  if (found == expiry_.end()) return false;
  if (found->second <= now) {
    expiry_.erase(found);
    return false;
  }
  return true;
}

std::size_t TokenStore::Size() {
  const auto now = Now();
  std::lock_guard lock(mutex_);
  DropExpired(now);
  return expiry_.size();
}

}  // namespace lectoria::speechd
