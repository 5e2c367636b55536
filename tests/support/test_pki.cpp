#include "support/test_pki.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

namespace pelrion::test_support {
namespace {

constexpr long kDay = 24 * 60 * 60;

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr) throw std::runtime_error("extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

// A certificate for key, signed by issuer_key (itself when issuer is null), valid from
// `from` to `to` seconds from now.
X509* MakeCertificate(EVP_PKEY* key, const char* common_name, const char* alt_names, X509* issuer,
                      EVP_PKEY* issuer_key, long from, long to, bool is_ca, long serial) {
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
  X509_gmtime_adj(X509_getm_notBefore(certificate), from);
  X509_gmtime_adj(X509_getm_notAfter(certificate), to);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
  X509_set_issuer_name(certificate, issuer != nullptr ? X509_get_subject_name(issuer) : name);
  X509* signer = issuer != nullptr ? issuer : certificate;
  AddExtension(certificate, signer, NID_basic_constraints, is_ca ? "critical,CA:TRUE" : "CA:FALSE");
  if (is_ca) AddExtension(certificate, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  if (alt_names != nullptr) AddExtension(certificate, signer, NID_subject_alt_name, alt_names);
  X509_sign(certificate, issuer_key != nullptr ? issuer_key : key, EVP_sha256());
  return certificate;
}

void WritePem(const std::string& path, X509* certificate) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  PEM_write_X509(file, certificate);
  std::fclose(file);
}

void WritePem(const std::string& path, EVP_PKEY* key) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(file);
}

}  // namespace

TestPki::TestPki() {
  EVP_PKEY* ca_key = EVP_EC_gen("P-256");
  X509* ca_certificate =
      MakeCertificate(ca_key, "Pelrion Test CA", nullptr, nullptr, nullptr, -kDay, 30 * kDay, true, 1);
  ca = (dir_ / "ca.pem");
  WritePem(ca, ca_certificate);

  EVP_PKEY* server_key = EVP_EC_gen("P-256");
  const std::string key_file = (dir_ / "server.key");
  WritePem(key_file, server_key);
  struct Made {
    Identity* identity;
    const char* file;
    const char* common_name;
    const char* alt_names;
    bool signed_by_ca;
    long from, to;
  };
  const Made made[] = {
      {&valid, "valid.pem", "localhost", "DNS:localhost,IP:127.0.0.1", true, -kDay, 30 * kDay},
      {&expired, "expired.pem", "localhost", "DNS:localhost,IP:127.0.0.1", true, -10 * kDay, -kDay},
      {&other_name, "other.pem", "mail.other.test", "DNS:mail.other.test", true, -kDay, 30 * kDay},
      {&self_signed, "self.pem", "localhost", "DNS:localhost,IP:127.0.0.1", false, -kDay, 30 * kDay},
  };
  long serial = 2;
  for (const Made& m : made) {
    X509* certificate =
        MakeCertificate(server_key, m.common_name, m.alt_names, m.signed_by_ca ? ca_certificate : nullptr,
                        m.signed_by_ca ? ca_key : nullptr, m.from, m.to, false, serial++);
    m.identity->certificate = (dir_ / m.file);
    m.identity->key = key_file;
    WritePem(m.identity->certificate, certificate);
    X509_free(certificate);
  }
  EVP_PKEY_free(server_key);
  X509_free(ca_certificate);
  EVP_PKEY_free(ca_key);
}

}  // namespace pelrion::test_support
