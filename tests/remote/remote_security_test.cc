// Access tokens and TLS between client and server.
#include <cstdlib>
#include <fstream>

#include "remote_fixture.h"

namespace zelta::test {
namespace {

class RemoteSecurityTest : public RemoteTest {
 protected:
  static void SetUpTestSuite() {
    dir_ = MakeTempDir();
    // A self-signed certificate for the loopback address and localhost.
    std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
        "-subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout " +
        dir_ + "/server.key -out " + dir_ + "/server.crt >/dev/null 2>&1";
    have_openssl_ = std::system(command.c_str()) == 0;
    std::ofstream(dir_ + "/other.crt") << "-----BEGIN CERTIFICATE-----\nnot one\n-----END CERTIFICATE-----\n";
  }
  static void TearDownTestSuite() { std::system(("rm -rf " + dir_).c_str()); }

  ServerConfig Secured() {
    ServerConfig c = ShopConfig();
    c.access_token = "counter-7f3a";
    c.tls_certificate_file = dir_ + "/server.crt";
    c.tls_key_file = dir_ + "/server.key";
    return c;
  }

  static std::string dir_;
  static bool have_openssl_;
};

std::string RemoteSecurityTest::dir_;
bool RemoteSecurityTest::have_openssl_ = false;

TEST_F(RemoteSecurityTest, AClientWithoutTheTokenIsRefused) {
  ServerConfig c = ShopConfig();
  c.access_token = "counter-7f3a";
  StartServer(c);
  Created none = Create(kProgIdMonitor);
  EXPECT_EQ(none.object, nullptr);
  EXPECT_EQ(none.error.Number, kResultAccessDenied);
  EXPECT_EQ(none.error.Description, "Access denied: this server requires an access token and none was sent.");

  settings.access_token = "counter-7f3b";
  Created wrong = Create(kProgIdMonitor);
  EXPECT_EQ(wrong.object, nullptr);
  EXPECT_EQ(wrong.error.Number, kResultAccessDenied);
  EXPECT_EQ(wrong.error.Description, "Access denied: the access token is wrong.");

  settings.access_token = "counter-7f3a";
  Created right = Create(kProgIdMonitor);
  ASSERT_NE(right.monitor(), nullptr) << right.error.Description;
  std::string list;
  int32_t result = 0;
  EXPECT_EQ(right.monitor()->GetPrinterCollection(list, result), kResultOk);
}

TEST_F(RemoteSecurityTest, TlsWithATokenServesTrustingClientsOnly) {
  if (!have_openssl_) GTEST_SKIP() << "openssl could not make a certificate";
  StartServer(Secured());
  settings.access_token = "counter-7f3a";
  settings.trusted_certificate_file = dir_ + "/server.crt";
  Created trusted = Create(kProgIdMonitor);
  ASSERT_NE(trusted.monitor(), nullptr) << trusted.error.Description;
  std::string name = "Receipt", port = "emu:36";
  std::shared_ptr<PrinterObject> printer;
  ASSERT_EQ(trusted.monitor()->GetPrinter(name, port, printer), kResultOk);
  EXPECT_EQ(printer->ClaimPrinter(), kResultOk);
  int32_t written = 0;
  EXPECT_EQ(printer->WriteData("\x1b@", 2, written, kWriteOrdinary), kResultOk);
  EXPECT_EQ(printer->ReleasePrinter(), kResultOk);  // behind the data
  EXPECT_EQ(ports.Printer("emu:36")->written, "\x1b@");

  // The right token over a plain connection does not get through to a TLS server.
  settings.trusted_certificate_file.clear();
  settings.connect_timeout_ms = 600;
  Created plain = Create(kProgIdMonitor);
  EXPECT_EQ(plain.object, nullptr);
  EXPECT_EQ(plain.error.Number, kResultUnreachable);

  // Nor does a client that trusts another certificate.
  settings.trusted_certificate_file = dir_ + "/other.crt";
  Created other = Create(kProgIdMonitor);
  EXPECT_EQ(other.object, nullptr);

  // A trust file that is not there is said so.
  settings.trusted_certificate_file = dir_ + "/missing.crt";
  Created missing = Create(kProgIdMonitor);
  EXPECT_EQ(missing.error.Description,
            "The trusted certificate file " + dir_ + "/missing.crt cannot be read.");
}

TEST_F(RemoteSecurityTest, AServerThatCannotStartSaysWhy) {
  ServerConfig c = Secured();
  c.tls_key_file = dir_ + "/missing.key";
  c.listen_address = "127.0.0.1";
  ZeltaServer missing_key;
  std::string error;
  EXPECT_FALSE(missing_key.Start(c, ports.Factory(), error));
  EXPECT_EQ(error, "cannot read " + dir_ + "/missing.key");
  EXPECT_EQ(missing_key.port(), 0);

  StartServer(ShopConfig());
  ServerConfig same_port = ShopConfig();
  same_port.listen_address = "127.0.0.1";
  same_port.port = static_cast<uint16_t>(server_port_);
  ZeltaServer second;
  EXPECT_FALSE(second.Start(same_port, ports.Factory(), error));
  EXPECT_EQ(error,
            "cannot listen on 127.0.0.1:" + std::to_string(server_port_) + " (address in use or not ours)");
}

TEST_F(RemoteSecurityTest, TlsWithoutTheTokenIsRefused) {
  if (!have_openssl_) GTEST_SKIP() << "openssl could not make a certificate";
  StartServer(Secured());
  settings.trusted_certificate_file = dir_ + "/server.crt";
  Created c = Create(kProgIdMonitor);
  EXPECT_EQ(c.object, nullptr);
  EXPECT_EQ(c.error.Number, kResultAccessDenied);
}

}  // namespace
}  // namespace zelta::test
