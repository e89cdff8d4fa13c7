// HTTPS: certificates are verified always; a CA file can make a private
// certificate trusted; a redirect may not leave HTTPS for plain HTTP.
#include <httplib.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "net/curl_http_client.h"
#include "support/temp_dir.h"

namespace oxsms::net {
namespace {

class LocalTlsServer {
 public:
  LocalTlsServer(const std::string& cert, const std::string& key) : server_(cert.c_str(), key.c_str()) {
    server_.Post("/ok.json", [](const httplib::Request& rq, httplib::Response& rs) {
      rs.set_content("{\"eco\":\"" + rq.body + "\"}", "application/json");
    });
    server_.Post("/down.json", [this](const httplib::Request&, httplib::Response& rs) {
      rs.status = 302;
      rs.set_header("Location", down_to_);
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~LocalTlsServer() {
    server_.stop();
    thread_.join();
  }
  bool valid() const { return server_.is_valid() && port_ > 0; }
  std::string Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
  }
  void set_down_to(std::string url) { down_to_ = std::move(url); }

 private:
  httplib::SSLServer server_;
  int port_ = 0;
  std::string down_to_;
  std::thread thread_;
};

class TlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
                          " -addext subjectAltName=IP:127.0.0.1 -keyout '" + key_.string() +
                          "' -out '" + cert_.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "openssl cannot create a test certificate";
    server_ = std::make_unique<LocalTlsServer>(cert_.string(), key_.string());
    ASSERT_TRUE(server_->valid());
  }

  HttpRequest Request(const std::string& path) {
    HttpRequest request;
    request.url = server_->Url(path);
    request.body = "ciao";
    request.total_timeout = std::chrono::milliseconds(5000);
    return request;
  }

  testing::TempDir dir_;
  std::filesystem::path cert_ = dir_ / "cert.pem";
  std::filesystem::path key_ = dir_ / "key.pem";
  std::unique_ptr<LocalTlsServer> server_;
};

TEST_F(TlsTest, SelfSignedCertificateFailsVerification) {
  CurlHttpClient client;
  try {
    client.Send(Request("/ok.json"));
    FAIL() << "a self-signed certificate was accepted";
  } catch (const HttpError& e) {
    EXPECT_NE(std::string(e.what()).find("Certificato del server non verificato"), std::string::npos)
        << e.what();
  }
}

TEST_F(TlsTest, CaFileMakesThePrivateCertificateTrusted) {
  CurlHttpClient client(CurlOptions{cert_.string()});
  HttpResponse response = client.Send(Request("/ok.json"));
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, "{\"eco\":\"ciao\"}");
  // The reused handle keeps the session: a second call works the same.
  EXPECT_EQ(client.Send(Request("/ok.json")).body, "{\"eco\":\"ciao\"}");
}

TEST_F(TlsTest, UnreadableCaFileIsAnError) {
  CurlHttpClient client(CurlOptions{(dir_ / "missing.pem").string()});
  EXPECT_THROW(client.Send(Request("/ok.json")), HttpError);
}

TEST_F(TlsTest, RedirectFromHttpsToPlainHttpIsRefused) {
  server_->set_down_to("http://127.0.0.1:9/ok.json");
  CurlHttpClient client(CurlOptions{cert_.string()});
  try {
    client.Send(Request("/down.json"));
    FAIL() << "followed a redirect to plain HTTP";
  } catch (const HttpError& e) {
    EXPECT_NE(std::string(e.what()).find("Reindirizzamento non seguito"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace oxsms::net
