#include "demo_site/tls_context.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

constexpr long kValidSeconds = 30L * 24 * 3600;

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};

std::string last_tls_error(const char* what) {
  char text[256] = "";
  ERR_error_string_n(ERR_get_error(), text, sizeof text);
  return std::string(what) + ": " + text;
}

bool add_extension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr) return false;
  const bool added = X509_add_ext(certificate, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

// A certificate for the loopback names, signed with `key` itself.
std::unique_ptr<X509, CertificateFree> make_certificate(EVP_PKEY* key) {
  std::unique_ptr<X509, CertificateFree> certificate(X509_new());
  if (!certificate) return nullptr;
  X509* raw = certificate.get();
  unsigned char serial[8];
  if (RAND_bytes(serial, sizeof serial) != 1) return nullptr;
  serial[0] &= 0x7f;  // a positive serial number
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  const bool serial_set =
      number != nullptr && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(raw));
  BN_free(number);
  X509_NAME* name = X509_get_subject_name(raw);
  const bool ok = serial_set && X509_set_version(raw, 2) == 1 &&
                  X509_gmtime_adj(X509_getm_notBefore(raw), -3600) != nullptr &&
                  X509_gmtime_adj(X509_getm_notAfter(raw), kValidSeconds) != nullptr &&
                  X509_set_pubkey(raw, key) == 1 &&
                  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                             reinterpret_cast<const unsigned char*>("127.0.0.1"),
                                             -1, -1, 0) == 1 &&
                  X509_set_issuer_name(raw, name) == 1 &&
                  add_extension(raw, NID_basic_constraints, "critical,CA:TRUE") &&
                  add_extension(raw, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") &&
                  X509_sign(raw, key, EVP_sha256()) > 0;
  if (!ok) return nullptr;
  return certificate;
}

std::string to_pem(X509* certificate) {
  std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1) return "";
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return size > 0 ? std::string(data, static_cast<size_t>(size)) : "";
}

}  // namespace

std::unique_ptr<TlsContext> TlsContext::self_signed(std::string* error) {
  std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
  if (!key) {
    *error = last_tls_error("key");
    return nullptr;
  }
  std::unique_ptr<X509, CertificateFree> certificate = make_certificate(key.get());
  if (!certificate) {
    *error = last_tls_error("certificate");
    return nullptr;
  }
  std::unique_ptr<TlsContext> tls(new TlsContext());
  tls->certificate_pem_ = to_pem(certificate.get());
  tls->context_ = SSL_CTX_new(TLS_server_method());
  if (tls->context_ == nullptr || tls->certificate_pem_.empty() ||
      SSL_CTX_set_min_proto_version(tls->context_, TLS1_2_VERSION) != 1 ||
      SSL_CTX_use_certificate(tls->context_, certificate.get()) != 1 ||
      SSL_CTX_use_PrivateKey(tls->context_, key.get()) != 1) {
    *error = last_tls_error("TLS context");
    return nullptr;
  }
  // Replies are sent in pieces from a buffer that may move between tries.
  SSL_CTX_set_mode(tls->context_,
                   SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  return tls;
}

TlsContext::~TlsContext() { SSL_CTX_free(context_); }
