// Access tokens and TLS between client and server.
#include <cstdlib>

#include "remote_fixture.h"

namespace zelta::test {
namespace {

class RemoteSecurityTest : public RemoteTest {
 protected:
  static void SetUpTestSuite() {
    // A self-signed certificate for the loopback address and localhost.
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "
        "/CN=localhost "
        "-addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout " +
        certs_.File("server.key") + " -out " + certs_.File("server.crt") + " >/dev/null 2>&1";
    have_openssl_ = std::system(command.c_str()) == 0;
    certs_.Write("other.crt", "-----BEGIN CERTIFICATE-----\nnot one\n-----END CERTIFICATE-----\n");
  }
  ServerConfig Secured() {
    ServerConfig c = ShopConfig();
    c.access_token = "counter-7f3a";
    c.tls_certificate_file = certs_.File("server.crt");
    c.tls_key_file = certs_.File("server.key");
    return c;
  }
  // A creation with this trust file (none: plain) and token.
  Created CreateWith(const std::string& trust, const std::string& token) {
    settings.trusted_certificate_file = trust.empty() ? "" : certs_.File(trust);
    settings.access_token = token;
    return Create(kProgIdMonitor);
  }

  static inline TempDir certs_;  // removed when the program ends
  static inline bool have_openssl_ = false;
};

TEST_F(RemoteSecurityTest, AClientWithoutTheTokenIsRefused) {
  ServerConfig c = ShopConfig();
  c.access_token = "counter-7f3a";
  StartServer(c);
  Created none = CreateWith("", "");
  EXPECT_EQ(none.object, nullptr);
  EXPECT_EQ(none.error.Number, kResultAccessDenied);
  EXPECT_EQ(none.error.Description, "Access denied: this server requires an access token and none was sent.");
  Created wrong = CreateWith("", "counter-7f3b");
  EXPECT_EQ(wrong.object, nullptr);
  EXPECT_EQ(wrong.error.Number, kResultAccessDenied);
  EXPECT_EQ(wrong.error.Description, "Access denied: the access token is wrong.");
  Created right = CreateWith("", "counter-7f3a");
  ASSERT_NE(right.monitor(), nullptr) << right.error.Description;
  std::string list;
  int32_t result = 0;
  EXPECT_EQ(right.monitor()->GetPrinterCollection(list, result), kResultOk);
}

TEST_F(RemoteSecurityTest, TlsWithATokenServesTrustingClientsWithTheTokenOnly) {
  if (!have_openssl_) GTEST_SKIP() << "openssl could not make a certificate";
  StartServer(Secured());
  Created trusted = CreateWith("server.crt", "counter-7f3a");
  ASSERT_NE(trusted.monitor(), nullptr) << trusted.error.Description;
  std::string name = "Receipt", port = "emu:36";
  std::shared_ptr<PrinterObject> printer;
  ASSERT_EQ(trusted.monitor()->GetPrinter(name, port, printer), kResultOk);
  EXPECT_EQ(printer->ClaimPrinter(), kResultOk);
  int32_t written = 0;
  EXPECT_EQ(printer->WriteData("\x1b@", 2, written, kWriteOrdinary), kResultOk);
  EXPECT_EQ(printer->ReleasePrinter(), kResultOk);  // behind the data
  EXPECT_EQ(ports.Printer("emu:36")->written, "\x1b@");

  EXPECT_EQ(CreateWith("server.crt", "").error.Number, kResultAccessDenied);
  // The right token over a plain connection does not get through, nor does a client that trusts
  // another certificate.
  settings.connect_timeout_ms = 600;
  Created plain = CreateWith("", "counter-7f3a");
  EXPECT_EQ(plain.object, nullptr);
  EXPECT_EQ(plain.error.Number, kResultUnreachable);
  EXPECT_EQ(CreateWith("other.crt", "counter-7f3a").object, nullptr);
  // A trust file that is not there is said so.
  EXPECT_EQ(CreateWith("missing.crt", "counter-7f3a").error.Description,
            "The trusted certificate file " + certs_.File("missing.crt") + " cannot be read.");
}

TEST_F(RemoteSecurityTest, AServerThatCannotStartSaysWhy) {
  ServerConfig c = Secured();
  c.tls_key_file = certs_.File("missing.key");
  c.listen_address = "127.0.0.1";
  ZeltaServer missing_key;
  std::string error;
  EXPECT_FALSE(missing_key.Start(c, ports.Factory(), error));
  EXPECT_EQ(error, "cannot read " + certs_.File("missing.key"));
  EXPECT_EQ(missing_key.port(), 0);

  StartServer(ShopConfig());
  ServerConfig same_port = ShopConfig();
  same_port.listen_address = "127.0.0.1";
  same_port.port = static_cast<uint16_t>(server_port_);
  ZeltaServer second;
  EXPECT_FALSE(second.Start(same_port, ports.Factory(), error));
  EXPECT_EQ(error, "cannot listen on " + Machine() + " (address in use or not ours)");
}

}  // namespace
}  // namespace zelta::test
