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

TokenStore::TokenStore(std::chrono::seconds lifetime, ServiceClock clock, std::size_t capacity,
                       std::size_t perClient)
    : lifetime_(lifetime),
      clock_(std::move(clock)),
      capacity_(std::max<std::size_t>(capacity, 1)),
      perClient_(std::max<std::size_t>(perClient, 1)) {}

std::chrono::steady_clock::time_point TokenStore::Now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

TokenStore::TokenMap::iterator TokenStore::Forget(TokenMap::iterator token) {
  if (--perClientCount_[token->second.client] == 0) perClientCount_.erase(token->second.client);
  return tokens_.erase(token);
}

void TokenStore::DropExpired(std::chrono::steady_clock::time_point now) {
  for (auto it = tokens_.begin(); it != tokens_.end();) {
    it = it->second.expiry <= now ? Forget(it) : std::next(it);
  }
}

template <typename Select>
void TokenStore::RetireOldest(Select select) {
  // All tokens share one lifetime, so the earliest expiry is the oldest token.
  auto oldest = tokens_.end();
  for (auto it = tokens_.begin(); it != tokens_.end(); ++it) {
    if (select(it->second) &&
        (oldest == tokens_.end() || it->second.expiry < oldest->second.expiry))
      oldest = it;
  }
  if (oldest != tokens_.end()) Forget(oldest);
}

std::string TokenStore::Issue(std::string_view client) {
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
  const std::string owner(client);
  std::lock_guard lock(mutex_);
  DropExpired(now);
  if (auto held = perClientCount_.find(owner);
      held != perClientCount_.end() && held->second >= perClient_) {
    RetireOldest([&owner](const Entry& entry) { return entry.client == owner; });
  }
  while (tokens_.size() >= capacity_) RetireOldest([](const Entry&) { return true; });
  tokens_[token] = Entry{now + lifetime_, owner};
  ++perClientCount_[owner];
  return token;
}

bool TokenStore::IsValid(std::string_view token) {
  if (token.empty()) return false;
  const auto now = Now();
  std::lock_guard lock(mutex_);
  auto found = tokens_.find(std::string(token));
  if (found == tokens_.end()) return false;
  if (found->second.expiry <= now) {
    Forget(found);
    return false;
  }
  return true;
}

std::size_t TokenStore::Size() {
  const auto now = Now();
  std::lock_guard lock(mutex_);
  DropExpired(now);
  return tokens_.size();
}

}  // namespace lectoria::speechd
