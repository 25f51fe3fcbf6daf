// Machine names; what the client sees when no creation can start, machines do not answer, servers stop,
// restart or cannot start, or it lacks the token or the trust; the client's settings from the registry.
#include <cstdlib>

#include <thread>
#include <tuple>

#include "platform/registry.h"
#include "remote/create_remote_object.h"
#include "remote/machine_address.h"
#include "remote/remote_settings.h"
#include "remote_fixture.h"
#include "server_process.h"
#include "support/free_port.h"
#include "support/scripted_ui.h"

namespace zelta::test {
namespace {

using namespace std::chrono_literals;

TEST(MachineAddress, NamesWithAndWithoutPortsTheBadOnesAndGrpcTargets) {
  // Host and port, or "refused" when the name is refused with a reason.
  auto parse = [](const std::string& machine) -> std::string {
    std::string host, error;
    uint16_t port = 0;
    if (!ParseMachine(machine, 47100, host, port, error))
      return error.empty() ? "refused silently" : "refused";
    return host + " " + std::to_string(port);
  };
  std::string good;
  for (const char* machine :
       {"SHOP1", "shop1.example:5000", "127.0.0.1", "127.0.0.1:1", "[::1]", "[::1]:65535", "back_office-2"})
    good += parse(machine) + ", ";
  EXPECT_EQ(good,
            "SHOP1 47100, shop1.example 5000, 127.0.0.1 47100, 127.0.0.1 1, ::1 47100, ::1 65535, "
            "back_office-2 47100, ");
  for (const char* machine : {"", ":80", "SHOP1:", "SHOP1:0", "SHOP1:65536", "SHOP1:8x", "[::1", "[::1]x",
                              "two words", "a/b", "\\\\SHOP1"}) {
    EXPECT_EQ(parse(machine), "refused") << machine;
  }
  EXPECT_EQ(GrpcTarget("SHOP1", 47100) + " " + GrpcTarget("::1", 5), "SHOP1:47100 ipv6:[::1]:5");
}

// A factory with a creation of its own running: it starts no other and has nothing to say about it.
class BusyCreateObj : public CreateObj {
 public:
  int32_t CreateRemote(const std::string&, const std::string&) override { return kResultBusy; }
  int32_t CreatedObject(std::shared_ptr<RemoteObject>& object) override { return object = nullptr, 0; }
  int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) override { return info = {}, result = 0; }
  void DeliverEvents() override { ADD_FAILURE() << "nothing was started"; }
};

TEST(CreateRemoteObject, ACreationThatCannotStartFailsAtOnceWithItsReason) {
  for (const bool installed : {true, false}) {
    ScriptedUi ui;
    if (installed) InstallCreateObjMaker([] { return std::make_unique<BusyCreateObj>(); });
    RemoteCreationState state;
    EXPECT_EQ(CreateRemoteObject(kProgIdMonitor, "SHOP1", state), nullptr);
    InstallCreateObjMaker(nullptr);
    EXPECT_TRUE(ui.do_events == 0 && state.MyCreateObj == nullptr);
    EXPECT_EQ(ui.PromptTexts(), std::vector<std::string>{
                                    installed ? "Error-2147221392 creating ZeltaServer.Monitor on SHOP1.\r"
                                              : "Error-2147467259 creating ZeltaServer.Monitor on SHOP1.\rNo "
                                                "remote object factory is installed on this machine."});
    for (const auto& p : ui.prompts)
      EXPECT_TRUE(p.buttons == MsgBoxButtons::kOk && p.icon == MsgBoxIcon::kExclamation);
  }
}

TEST(RemoteSettings, TokenAndTrustComeFromTheRegistry) {
  TempDir dir;
  setenv("ZELTA_REGISTRY", dir.Write("registry", "").c_str(), 1);
  auto read = [] {
    const RemoteSettings s = RemoteSettingsFromRegistry();
    return s.access_token + "|" + s.trusted_certificate_file + "|" + std::to_string(s.default_port);
  };
  EXPECT_EQ(read(), "||" + std::to_string(kDefaultServerPort));  // no key yet
  const char* key = "SOFTWARE\\Zelta\\Remote";
  ASSERT_TRUE(RegCreateKey(key) == kRegSuccess &&
              RegWriteString(key, "AccessToken", "counter-7f3a") == kRegSuccess &&
              RegWriteString(key, "TrustedCertificate", "/etc/zelta/ca.crt") == kRegSuccess);
  EXPECT_EQ(read(), "counter-7f3a|/etc/zelta/ca.crt|" + std::to_string(kDefaultServerPort));
  unsetenv("ZELTA_REGISTRY");
}

using RemoteFailureTest = RemoteTest;

TEST_F(RemoteFailureTest, ACreationThatReachesNoServerFailsWithinTheBoundAndOneRunsAtATime) {
  settings.connect_timeout_ms = 700;
  SilentListener silent;  // listens and accepts, but never speaks
  const std::string closed = "127.0.0.1:" + std::to_string(FreePort()),
                    quiet = "127.0.0.1:" + std::to_string(silent.port());
  // The machine, the error it gives and the start of its description, and the least time it takes.
  const std::tuple<std::string, int32_t, std::string, std::chrono::milliseconds> cases[] = {
      {closed, kResultUnreachable, "The machine " + closed + " does not answer", 0ms},
      {quiet, kResultUnreachable,
       "The machine " + quiet + " does not answer: no zelta-server reached on port " +
           std::to_string(silent.port()) + " within 700 ms.",
       600ms},
      {"no-such-machine.invalid", kResultUnreachable, "The name no-such-machine.invalid ", 0ms},
      {"SHOP1:99999", kResultBadArgument, "The machine name SHOP1:99999 has a bad port number.", 0ms},
  };
  for (const auto& [machine, number, description, at_least] : cases) {
    SCOPED_TRACE(machine);
    Created created = CreateAndWait(settings, kProgIdMonitor, machine);
    const std::string expected = "ZeltaWorker.CreateObj: " + ErrorText(number, description);
    EXPECT_EQ((created.error.Source + ": " + created.Outcome()).substr(0, expected.size()), expected);
    EXPECT_TRUE(created.took >= at_least && created.took < 2500ms) << created.took.count() << " ms";
  }
  // A factory runs one creation at a time and raises its completion once; then it takes the next one.
  auto factory = MakeGrpcCreateObj(settings);
  int completions = 0;
  factory->OnComplete = [&] { ++completions; };
  ASSERT_EQ(
      Results({factory->CreateRemote(kProgIdMonitor, quiet), factory->CreateRemote(kProgIdMonitor, quiet)}),
      "ok busy");
  auto until = std::chrono::steady_clock::now() + 5s;
  while (completions == 0 && std::chrono::steady_clock::now() < until) factory->DeliverEvents();
  factory->DeliverEvents();
  EXPECT_EQ(completions, 1);
  PrinterErrorInfo info;
  int32_t result = 0;
  EXPECT_EQ(Results({factory->GetLastError(info, result), info.Number,
                     factory->CreateRemote(kProgIdMonitor, "no-such-machine.invalid")}),
            "ok unreachable ok");
  while (completions == 1 && std::chrono::steady_clock::now() < until) factory->DeliverEvents();
  EXPECT_EQ(completions, 2);
}

TEST_F(RemoteFailureTest, CallsFailWhenTheServerStopsAndObjectsAreUnknownAfterARestart) {
  StartServer(ShopConfig());
  auto monitor = Monitor();
  auto printer = ReceiptPrinter();
  ASSERT_TRUE(monitor && printer);
  ASSERT_EQ(printer->ClaimPrinter(), kResultOk);
  StopServer();
  std::string list;
  int32_t result = 0, written = 0;
  auto start = std::chrono::steady_clock::now();
  PrinterErrorInfo info;
  EXPECT_EQ(Results({monitor->GetPrinterCollection(list, result),
                     printer->WriteData("abc", 3, written, kWriteOrdinary), printer->GetLastError(info)}),
            "port-closed port-closed ok");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(written, 0);
  const std::string lost =
      ErrorText(kResultPortClosed, "The connection to the server on " + Machine() + " was lost");
  EXPECT_EQ(info.Source + ": " + ErrorText(info).substr(0, lost.size()), "ZeltaServer.Printer: " + lost);

  StartServer(ShopConfig());
  // The channel reconnects by itself; the old id means nothing to the new server.
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (monitor->GetPrinterCollection(list, result) == kResultPortClosed &&
         std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(50ms);
  EXPECT_EQ(result, kResultNotFound);
  monitor->GetLastError(info, result);
  EXPECT_EQ(info.Description,
            "The server no longer knows this object (its lease ran out or the server restarted).");
}

TEST_F(RemoteFailureTest, ACallThatOutlivesItsDeadlineFails) {
  ServerConfig c = ShopConfig();
  c.write_timeout_ms = 100;  // the printer object promises an answer within 100 ms...
  c.read_timeout_ms = 100;
  StartServer(c);
  ports.Printer("emu:36")->on_write = [](const Bytes&, int32_t) {
    std::this_thread::sleep_for(900ms);  // ...and breaks the promise
  };
  settings.call_timeout_ms = 300;
  auto printer = ReceiptPrinter();
  ASSERT_NE(printer, nullptr);
  int32_t written = 0;
  // Queued at once; the port then takes 900 ms over it, holding up the real-time request behind.
  EXPECT_EQ(Results({printer->ClaimPrinter(), printer->WriteData("late", 4, written, kWriteOrdinary)}),
            "ok ok");
  std::this_thread::sleep_for(50ms);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(printer->WriteData(B({0x10, 0x04, 0x01}), 3, written, kWriteRealTime), kResultUnreachable);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 800ms);
  PrinterErrorInfo info;
  printer->GetLastError(info);
  EXPECT_EQ(info.Description, "The server on " + Machine() + " did not answer within 400 ms.");
}

class RemoteSecurityTest : public RemoteTest {
 protected:
  static void SetUpTestSuite() {
    // A self-signed certificate for the loopback address and localhost.
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "
        "/CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout " +
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
  EXPECT_EQ(CreateWith("", "").Outcome(),
            ErrorText(kResultAccessDenied,
                      "Access denied: this server requires an access token and none was sent."));
  EXPECT_EQ(CreateWith("", "counter-7f3b").Outcome(),
            ErrorText(kResultAccessDenied, "Access denied: the access token is wrong."));
  EXPECT_NE(CreateWith("", "counter-7f3a").monitor(), nullptr);
}

TEST_F(RemoteSecurityTest, TlsWithATokenServesTrustingClientsWithTheTokenOnly) {
  if (!have_openssl_) GTEST_SKIP() << "openssl could not make a certificate";
  StartServer(Secured());
  settings.trusted_certificate_file = certs_.File("server.crt");
  settings.access_token = "counter-7f3a";
  auto printer = ReceiptPrinter();  // by a client that trusts the server and sends the token
  ASSERT_NE(printer, nullptr);
  int32_t written = 0;
  EXPECT_EQ(Results({printer->ClaimPrinter(), printer->WriteData("\x1b@", 2, written, kWriteOrdinary),
                     printer->ReleasePrinter()}),  // the release behind the data
            "ok ok ok");
  EXPECT_EQ(ports.Printer("emu:36")->written, "\x1b@");

  // The right token over a plain connection does not get through, nor does a client that trusts
  // another certificate.
  settings.connect_timeout_ms = 600;
  Created plain = CreateWith("", "counter-7f3a");
  EXPECT_TRUE(!plain.object && plain.error.Number == kResultUnreachable) << plain.Outcome();
  EXPECT_EQ(CreateWith("other.crt", "counter-7f3a").object, nullptr);
  // A trust file that is not there is said so.
  EXPECT_EQ(CreateWith("missing.crt", "counter-7f3a").error.Description,
            "The trusted certificate file " + certs_.File("missing.crt") + " cannot be read.");
}

TEST_F(RemoteSecurityTest, AServerOrTheServerProgramThatCannotStartSaysWhy) {
  ServerConfig c = Secured();
  c.tls_key_file = certs_.File("missing.key");
  c.listen_address = "127.0.0.1";
  ZeltaServer missing_key;
  std::string error;
  EXPECT_FALSE(missing_key.Start(c, ports.Factory(), error));
  EXPECT_EQ(error + ", port " + std::to_string(missing_key.port()),
            "cannot read " + certs_.File("missing.key") + ", port 0");

  StartServer(ShopConfig());
  ServerConfig same_port = ShopConfig();
  same_port.listen_address = "127.0.0.1";
  same_port.port = static_cast<uint16_t>(server_port_);
  ZeltaServer second;
  EXPECT_FALSE(second.Start(same_port, ports.Factory(), error));
  EXPECT_EQ(error, "cannot listen on " + Machine() + " (address in use or not ours)");

  // The server program stops on a bad configuration, with its line.
  temp.Write("zelta.conf", "server_name = BACKOFFICE\nprinter = Broken\n");
  Child program;
  ASSERT_TRUE(program.Start(ZELTA_SERVER_PROGRAM, {"--config", temp.File("zelta.conf")}, true));
  std::string line;
  ASSERT_TRUE(program.ReadLine(line, 5s));
  EXPECT_EQ(line, "zelta-server: " + temp.File("zelta.conf") +
                      ": line 2: printer wants NAME, PORT_SPEC[, gsi|escq]");
  EXPECT_FALSE(program.ReadLine(line, 2s));  // and nothing more: the program ended
}

}  // namespace
}  // namespace zelta::test
