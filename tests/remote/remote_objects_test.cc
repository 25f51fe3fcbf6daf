// Monitor, ServerCollection and Printer calls from the network client to an in-process server, and
// access tokens and TLS between them.
#include <cstdlib>
#include <thread>

#include "remote_fixture.h"

namespace zelta::test {
namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;

using RemoteObjectsTest = RemoteTest;

TEST_F(RemoteObjectsTest, EveryMonitorCall) {
  StartServer(ShopConfig());
  auto monitor = Monitor();
  ASSERT_NE(monitor, nullptr);
  int32_t result = -1;
  std::string list(255, ' '), text, name = "receipt", port = "COM1";
  EXPECT_EQ(monitor->GetPrinterCollection(list, result), kResultOk);
  EXPECT_EQ(list, "emu:36=Receipt\0"s);
  EXPECT_EQ(monitor->GetNetPrinterCollection(list, result), kResultOk);
  EXPECT_EQ(list, "127.0.0.1:9100=Bar\0"s);
  EXPECT_EQ(monitor->CheckPrinter(name, port, result), kResultOk);
  EXPECT_EQ(name, "Receipt");  // name and port come back as configured
  EXPECT_EQ(port, "emu:36");
  name = "Nobody";
  EXPECT_EQ(monitor->CheckPrinter(name, port, result), kResultNotFound);
  EXPECT_EQ(result, kResultNotFound);
  EXPECT_EQ(monitor->GetResultText(result, text), kResultOk);
  EXPECT_EQ(text, "No printer of this name is attached to the server.");

  std::shared_ptr<PrinterObject> printer;
  name = "Ghost", port = "emu:1";
  EXPECT_EQ(monitor->GetPrinter(name, port, printer), kResultNotFound);
  EXPECT_EQ(printer, nullptr);
  PrinterErrorInfo info;
  EXPECT_EQ(monitor->GetLastError(info, result), kResultOk);
  EXPECT_EQ(info.Number, kResultNotFound);
  EXPECT_EQ(info.Description, "No printer Ghost on emu:1 is attached to SHOP1.");
  EXPECT_EQ(info.Source, "ZeltaServer.Monitor");
  name = "Bar", port = "9100";
  ASSERT_EQ(monitor->GetPrinter(name, port, printer), kResultOk);
  EXPECT_EQ(port, "127.0.0.1");  // a net printer's port comes back as its host
}

TEST_F(RemoteObjectsTest, PrinterCallsReachThePrinter) {
  StartServer(ShopConfig());
  auto printer = ReceiptPrinter();
  ASSERT_NE(printer, nullptr);
  ScriptedPrinter* port = ports.Printer("emu:36");
  int32_t v = 0, written = 0, count = 0, mode = 1;
  EXPECT_EQ(printer->GetDeviceKind(v), kResultOk);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(printer->ClaimPrinter(), kResultOk);
  EXPECT_EQ(port->claims, 1);
  EXPECT_EQ(printer->PutReadTimeout(50), kResultOk);
  EXPECT_EQ(printer->PutReadTimeout(-5), kResultBadArgument);  // refused by the server...
  EXPECT_EQ(printer->GetReadTimeout(v), kResultOk);
  EXPECT_EQ(v, 50);  // ...and not taken
  EXPECT_EQ(port->read_timeouts_put.back(), 50);
  Bytes data = "\x1d(L\x02\x00\x30\x31"s + std::string(1000, '\0');
  EXPECT_EQ(printer->WriteData(data, static_cast<int32_t>(data.size()), written, kWriteOrdinary), kResultOk);
  EXPECT_EQ(written, static_cast<int32_t>(data.size()));

  port->QueueByte(0x24);
  std::string buffer = " ";
  EXPECT_EQ(printer->ReadData(buffer, 1, count), kResultOk);  // read behind the data
  EXPECT_EQ(buffer, "\x24");
  EXPECT_EQ(count, 1);
  EXPECT_EQ(port->written, data);  // every byte, NULs included
  port->replies.push_back({kResultOk, "7\x31OK\0"s});
  Bytes reply;
  EXPECT_EQ(printer->ReadReply(reply, count, 1), kResultOk);
  EXPECT_EQ(reply, "7\x31OK\0"s);
  EXPECT_EQ(printer->ReadData(buffer, 1, count), kResultTimeout);  // nothing queued
  PrinterErrorInfo info;
  printer->GetLastError(info);
  EXPECT_EQ(info.Number, kResultTimeout);

  port->busy_states.push_back(1);
  EXPECT_EQ(printer->GetBusyState(v), kResultOk);
  EXPECT_EQ(v, 1);
  port->printer_states.push_back(kStatePaperNearEnd);
  EXPECT_EQ(printer->GetPrinterState(v, mode), kResultOk);
  EXPECT_EQ(v, kStatePaperNearEnd);
  EXPECT_EQ(printer->ClearInput(), kResultOk);
  EXPECT_EQ(printer->ClearOutput(), kResultOk);
  std::string description;
  EXPECT_EQ(printer->GetDeviceDescription(description), kResultOk);
  EXPECT_EQ(description, "Receipt on emu:36 (" + Machine() + ")");
  EXPECT_EQ(printer->ReleasePrinter(), kResultOk);
  EXPECT_EQ(port->releases, 1);
}

TEST_F(RemoteObjectsTest, ClientsShareAPrinterOneClaimAtATimeWhileTheirObjectsOutliveTheLease) {
  ServerConfig c = ShopConfig();
  c.lease_ms = 150;
  StartServer(c);
  auto a = ReceiptPrinter(), b = ReceiptPrinter();
  ASSERT_TRUE(a && b);
  ASSERT_EQ(a->ClaimPrinter(), kResultOk);
  std::this_thread::sleep_for(600ms);  // four leases without a call: the client renews them
  EXPECT_EQ(b->ClaimPrinter(), kResultClaimedElsewhere);
  std::string name = "Receipt", port;
  int32_t result = 0;
  EXPECT_EQ(Monitor()->CheckPrinter(name, port, result), kResultClaimedElsewhere);
  int32_t written = 0;
  EXPECT_EQ(b->WriteData("x", 1, written, kWriteOrdinary), kResultNotClaimed);
  EXPECT_EQ(a->WriteData("ok", 2, written, kWriteOrdinary), kResultOk);
  EXPECT_EQ(a->ReleasePrinter(), kResultOk);
  EXPECT_EQ(b->ClaimPrinter(), kResultOk);
  b.reset();  // dropping a printer object that holds the claim frees the printer at once
  EXPECT_EQ(a->ClaimPrinter(), kResultOk);
  EXPECT_EQ(ports.Printer("emu:36")->releases, 2);
}

TEST_F(RemoteObjectsTest, EveryServerCollectionCallAndTheListAfterARestart) {
  ServerConfig c = ShopConfig();
  c.main_server = true;
  c.server_list_file = temp.File("servers.txt");
  StartServer(c);
  {
    Created created = Create(kProgIdServerCollection);
    auto col = created.collection();
    ASSERT_NE(col, nullptr) << created.error.Description;
    int32_t result = -1;
    EXPECT_EQ(col->AddServer("SHOP1", "", result), kResultOk);
    EXPECT_EQ(result, kResultOk);
    EXPECT_EQ(col->AddServer("SHOP2", "", result), kResultOk);
    EXPECT_EQ(col->AddServer("BACK", "", result), kResultOk);
    EXPECT_EQ(col->AddServer("", "", result), kResultBadArgument);
    EXPECT_EQ(col->RemoveServer("SHOP2", result), kResultOk);
    EXPECT_EQ(col->RemoveServer("NOWHERE", result), kResultNotFound);
    PrinterErrorInfo info;
    EXPECT_EQ(col->GetLastError(info, result), kResultOk);
    EXPECT_EQ(info.Number, kResultNotFound);
    EXPECT_EQ(info.Description, "The server NOWHERE is not in the server list.");
    EXPECT_EQ(info.Source, "ZeltaMainServer.ServerCollection");
  }
  StopServer();
  StartServer(c);
  Created created = Create(kProgIdServerCollection);
  ASSERT_NE(created.collection(), nullptr) << created.error.Description;
  std::string text;
  EXPECT_EQ(created.collection()->ServerList(text), kResultOk);
  EXPECT_EQ(text, "SHOP1\0BACK\0"s);
  EXPECT_EQ(created.collection()->ServerInfo(text), kResultOk);
  EXPECT_EQ(text, "Main server SHOP1: 2 servers registered.");
}

TEST_F(RemoteObjectsTest, ClassesThatAreNotServedFailTheCreation) {
  StartServer(ShopConfig());  // not the main server
  Created c = Create(kProgIdServerCollection);
  EXPECT_EQ(c.object, nullptr);
  EXPECT_EQ(c.error.Number, kResultNotFound);
  EXPECT_EQ(c.error.Description,
            "The class ZeltaMainServer.ServerCollection is not served by SHOP1: it is not the main server.");
  c = Create("ZeltaServer.Toaster");
  EXPECT_EQ(c.object, nullptr);
  EXPECT_EQ(c.error.Description, "The class ZeltaServer.Toaster is not served by SHOP1.");
}

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
