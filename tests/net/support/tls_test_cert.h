// A self-signed certificate for 127.0.0.1 and localhost, made when a test runs.
#pragma once

#include <string>

namespace lectoria::test {

/// PEM files of a fresh P-256 key and a self-signed certificate (CN "localhost", subject
/// alternative names localhost and 127.0.0.1, valid for a day) in a new temporary directory,
/// removed again by the destructor. `ok()` is false when OpenSSL failed.
class TlsTestCert {
 public:
  TlsTestCert();
  ~TlsTestCert();
  TlsTestCert(const TlsTestCert&) = delete;
  TlsTestCert& operator=(const TlsTestCert&) = delete;

  bool ok() const { return ok_; }
  const std::string& certFile() const { return certFile_; }
  const std::string& keyFile() const { return keyFile_; }

 private:
  bool ok_ = false;
  std::string dir_;
  std::string certFile_;
  std::string keyFile_;
};

}  // namespace lectoria::test
