#include <curl/curl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "demo_site/demo_site.h"
#include "demo_site/http_server.h"
#include "demo_site/tests/curl_client.h"
#include "demo_site/tls_context.h"

namespace {

// A client that trusts only the server's own certificate.
EasyHandle trusting_client(const TlsContext& tls) {
  EasyHandle handle(curl_easy_init(), &curl_easy_cleanup);
  curl_blob authority{const_cast<char*>(tls.certificate_pem().data()), tls.certificate_pem().size(),
                      CURL_BLOB_COPY};
  curl_easy_setopt(handle.get(), CURLOPT_CAINFO_BLOB, &authority);
  curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, 60L);
  curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &append_body);
  return handle;
}

CURLcode fetch(CURL* handle, const std::string& url, std::string* body, long* status) {
  body->clear();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, body);
  const CURLcode result = curl_easy_perform(handle);
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, status);
  return result;
}

class HttpsTest : public ::testing::Test {
 protected:
  void serve(SiteOptions site) {
    site_ = std::make_unique<DemoSite>(site);
    ServerOptions options;
    options.https = true;
    server_ = std::make_unique<HttpServer>(options, site_->handler());
    std::string error;
    ASSERT_TRUE(server_->start(&error)) << error;
    ASSERT_NE(server_->tls(), nullptr);
    origin_ = "https://127.0.0.1:" + std::to_string(server_->port());
  }

  std::unique_ptr<DemoSite> site_;
  std::unique_ptr<HttpServer> server_;
  std::string origin_;
};

// The certificate verifies for 127.0.0.1, and the connection is kept alive.
TEST_F(HttpsTest, ServesVerifiedPagesOnOneConnection) {
  SiteOptions site;
  site.chapter_count = 30;
  serve(site);
  EasyHandle handle = trusting_client(*server_->tls());
  std::string body;
  long status = 0;
  ASSERT_EQ(fetch(handle.get(), catalogue_address(server_->port(), true), &body, &status),
            CURLE_OK);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body, site_->book().catalogue_page("127.0.0.1:" + std::to_string(server_->port())));
  for (const int chapter : {1, 17, 30}) {
    ASSERT_EQ(fetch(handle.get(), origin_ + site_->book().chapter_path(chapter), &body, &status),
              CURLE_OK);
    EXPECT_EQ(body, site_->book().chapter_page(chapter)) << chapter;
  }
  long connections = -1;
  curl_easy_getinfo(handle.get(), CURLINFO_NUM_CONNECTS, &connections);
  EXPECT_EQ(connections, 0);
}

TEST_F(HttpsTest, ClientWithoutTheCertificateRefusesTheServer) {
  serve(SiteOptions{});
  EasyHandle handle(curl_easy_init(), &curl_easy_cleanup);
  curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &append_body);
  std::string body;
  long status = 0;
  EXPECT_EQ(fetch(handle.get(), catalogue_address(server_->port(), true), &body, &status),
            CURLE_PEER_FAILED_VERIFICATION);
}

// Streamed padding and broken deliveries go through TLS as through plain HTTP.
TEST_F(HttpsTest, FaultsArriveThroughTls) {
  SiteOptions site;
  site.chapter_count = 3;
  site.failure_fraction = 1;
  site.failure_modes = {ChapterFault::kHugePage};
  serve(site);
  EasyHandle handle = trusting_client(*server_->tls());
  std::string body;
  long status = 0;
  ASSERT_EQ(fetch(handle.get(), origin_ + site_->book().chapter_path(2), &body, &status), CURLE_OK);
  EXPECT_EQ(body.size(), size_t{20} << 20);
  EXPECT_TRUE(body.starts_with(site_->book().chapter_page(2)));

  server_.reset();
  site.failure_modes = {ChapterFault::kShortBody};
  serve(site);
  handle = trusting_client(*server_->tls());
  EXPECT_EQ(fetch(handle.get(), origin_ + site_->book().chapter_path(2), &body, &status),
            CURLE_PARTIAL_FILE);
  EXPECT_FALSE(body.empty());
  EXPECT_TRUE(site_->book().chapter_page(2).starts_with(body));
}

}  // namespace
