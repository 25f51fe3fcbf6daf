// Remote creation in the core when no creation can start, and the client's settings from the registry.
// The wait for a creation and the message of one that failed are covered by the browser's tests.
#include "remote/create_remote_object.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/registry.h"
#include "remote/remote_settings.h"
#include "shared/result_codes.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta {
namespace {

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
    test::ScriptedUi ui;
    if (installed) InstallCreateObjMaker([] { return std::make_unique<BusyCreateObj>(); });
    RemoteCreationState state;
    EXPECT_EQ(CreateRemoteObject(kProgIdMonitor, "SHOP1", state), nullptr);
    InstallCreateObjMaker(nullptr);
    EXPECT_EQ(ui.do_events, 0);
    EXPECT_EQ(state.MyCreateObj, nullptr);
    ASSERT_EQ(ui.prompts.size(), 1u);
    EXPECT_EQ(ui.prompts[0].text,
              installed
                  ? "Error-2147221392 creating ZeltaServer.Monitor on SHOP1.\r"
                  : "Error-2147467259 creating ZeltaServer.Monitor on SHOP1.\rNo remote object factory is "
                    "installed on this machine.");
    EXPECT_EQ(ui.prompts[0].buttons, MsgBoxButtons::kOk);
    EXPECT_EQ(ui.prompts[0].icon, MsgBoxIcon::kExclamation);
  }
}

TEST(RemoteSettings, TokenAndTrustComeFromTheRegistry) {
  test::TempDir dir;
  setenv("ZELTA_REGISTRY", dir.Write("registry", "").c_str(), 1);
  RemoteSettings none = RemoteSettingsFromRegistry();  // no key yet
  EXPECT_EQ(none.access_token, "");
  EXPECT_EQ(none.trusted_certificate_file, "");
  EXPECT_EQ(none.default_port, kDefaultServerPort);
  ASSERT_EQ(RegCreateKey("SOFTWARE\\Zelta\\Remote"), kRegSuccess);
  ASSERT_EQ(RegWriteString("SOFTWARE\\Zelta\\Remote", "AccessToken", "counter-7f3a"), kRegSuccess);
  ASSERT_EQ(RegWriteString("SOFTWARE\\Zelta\\Remote", "TrustedCertificate", "/etc/zelta/ca.crt"),
            kRegSuccess);
  RemoteSettings set = RemoteSettingsFromRegistry();
  EXPECT_EQ(set.access_token, "counter-7f3a");
  EXPECT_EQ(set.trusted_certificate_file, "/etc/zelta/ca.crt");
  unsetenv("ZELTA_REGISTRY");
}

}  // namespace
}  // namespace zelta
