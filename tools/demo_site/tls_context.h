// The demo server's TLS side: a server context with a certificate for
// 127.0.0.1 and localhost, made fresh at start-up and signed by its own key.
//
// A client trusts it by loading certificate_pem() as its only authority (or
// by not verifying at all). The context is built once and then only read;
// SSL objects made from it may live on any loop thread.
#ifndef NOVEL_DEMO_SITE_TLS_CONTEXT_H_
#define NOVEL_DEMO_SITE_TLS_CONTEXT_H_

#include <memory>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;

class TlsContext {
 public:
  // A context with a new self-signed certificate; null with `error` set when
  // the key or the certificate cannot be made.
  static std::unique_ptr<TlsContext> self_signed(std::string* error);
  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

  SSL_CTX* context() const { return context_; }
  // The certificate in PEM form.
  const std::string& certificate_pem() const { return certificate_pem_; }

 private:
  TlsContext() = default;

  SSL_CTX* context_ = nullptr;
  std::string certificate_pem_;
};

#endif  // NOVEL_DEMO_SITE_TLS_CONTEXT_H_
