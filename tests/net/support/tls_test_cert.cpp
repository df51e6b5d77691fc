#include "net/support/tls_test_cert.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace lectoria::test {
namespace {

struct KeyFree {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct CertFree {
  void operator()(X509* p) const { X509_free(p); }
};
struct FileClose {
  void operator()(FILE* f) const { std::fclose(f); }
};

bool AddExtension(X509* cert, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (ext == nullptr) return false;
  const bool added = X509_add_ext(cert, ext, -1) == 1;
  X509_EXTENSION_free(ext);
  return added;
}

bool MakeCertificate(const std::string& certFile, const std::string& keyFile) {
  std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
  std::unique_ptr<X509, CertFree> cert(X509_new());
  if (!key || !cert) return false;
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 60 * 60);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  if (!AddExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE") ||
      !AddExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign") ||
      !AddExtension(cert.get(), NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1") ||
      !AddExtension(cert.get(), NID_subject_key_identifier, "hash") ||
      X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
    return false;

  std::unique_ptr<FILE, FileClose> certOut(std::fopen(certFile.c_str(), "wb"));
  std::unique_ptr<FILE, FileClose> keyOut(std::fopen(keyFile.c_str(), "wb"));
  return certOut && keyOut && PEM_write_X509(certOut.get(), cert.get()) == 1 &&
         PEM_write_PrivateKey(keyOut.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
}

}  // namespace

TlsTestCert::TlsTestCert() {
  std::string pattern = (std::filesystem::temp_directory_path() / "lectoria-tls-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return;
  dir_ = pattern;
  certFile_ = dir_ + "/cert.pem";
  keyFile_ = dir_ + "/key.pem";
  ok_ = MakeCertificate(certFile_, keyFile_);
}

TlsTestCert::~TlsTestCert() {
  if (dir_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

}  // namespace lectoria::test
