#include "remote/create_remote_object.h"

#include <stdlib.h>
#include <unistd.h>

#include "platform/registry.h"
#include "remote/remote_settings.h"

#include <gtest/gtest.h>

#include "shared/result_codes.h"
#include "support/scripted_ui.h"

namespace zelta {
namespace {

class FakeMonitor : public MonitorObject {
 public:
  int32_t CheckPrinter(std::string&, std::string&, int32_t& r) override { return r = 0; }
  int32_t GetPrinter(std::string&, std::string&, std::shared_ptr<PrinterObject>&) override { return 0; }
  int32_t GetLastError(PrinterErrorInfo&, int32_t& r) override { return r = 0; }
  int32_t GetResultText(int32_t, std::string&) override { return 0; }
  int32_t GetPrinterCollection(std::string&, int32_t& r) override { return r = 0; }
  int32_t GetNetPrinterCollection(std::string&, int32_t& r) override { return r = 0; }
};

// Ends its creation after a given number of DeliverEvents calls.
class FakeCreateObj : public CreateObj {
 public:
  struct Script {
    int polls_until_done = 3;
    bool succeed = true;
    int32_t start_result = kResultOk;
    PrinterErrorInfo error{kResultUnreachable, "The machine SHOP9 does not answer.", "ZeltaWorker.CreateObj"};
    std::vector<std::string> calls;
    int polls = 0;
  };
  explicit FakeCreateObj(Script* s) : s_(s) {}
  int32_t CreateRemote(const std::string& progId, const std::string& machine) override {
    s_->calls.push_back(progId + "@" + machine);
    return s_->start_result;
  }
  int32_t CreatedObject(std::shared_ptr<RemoteObject>& object) override {
    object = done_ && s_->succeed ? std::make_shared<FakeMonitor>() : nullptr;
    return 0;
  }
  int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) override {
    info = s_->error;
    return result = 0;
  }
  void DeliverEvents() override {
    if (done_) return;
    if (++s_->polls >= s_->polls_until_done) {
      done_ = true;
      OnComplete();
    }
  }

 private:
  Script* s_;
  bool done_ = false;
};

class CreateRemoteObjectTest : public ::testing::Test {
 protected:
  CreateRemoteObjectTest() {
    InstallCreateObjMaker([this] { return std::make_unique<FakeCreateObj>(&script); });
  }
  ~CreateRemoteObjectTest() override { InstallCreateObjMaker(nullptr); }

  test::ScriptedUi ui;
  FakeCreateObj::Script script;
  RemoteCreationState state;
};

TEST_F(CreateRemoteObjectTest, YieldsUntilTheFactoryCompletes) {
  script.polls_until_done = 5;
  std::shared_ptr<RemoteObject> object = CreateRemoteObject(kProgIdMonitor, "SHOP1", state);
  ASSERT_NE(std::dynamic_pointer_cast<MonitorObject>(object), nullptr);
  EXPECT_EQ(script.calls, std::vector<std::string>{"ZeltaServer.Monitor@SHOP1"});
  EXPECT_EQ(ui.do_events, 5);
  EXPECT_TRUE(state.CreateDone);
  EXPECT_EQ(state.MyCreateObj, nullptr);
  EXPECT_TRUE(ui.prompts.empty());
}

TEST_F(CreateRemoteObjectTest, AFailureIsShownOnceWithTheFactorysDescription) {
  script.succeed = false;
  EXPECT_EQ(CreateRemoteObject(kProgIdServerCollection, "SHOP9", state), nullptr);
  ASSERT_EQ(ui.prompts.size(), 1u);
  EXPECT_EQ(ui.prompts[0].text,
            "Error-2147221371 creating ZeltaMainServer.ServerCollection on SHOP9.\rThe machine SHOP9 does "
            "not answer.");
  EXPECT_EQ(ui.prompts[0].buttons, MsgBoxButtons::kOk);
  EXPECT_EQ(ui.prompts[0].icon, MsgBoxIcon::kExclamation);
  EXPECT_EQ(ui.prompts[0].title, "");
  EXPECT_EQ(state.MyCreateObj, nullptr);
}

TEST_F(CreateRemoteObjectTest, ACloseRequestDuringTheWaitIsLeftForTheCaller) {
  ui.on_do_events = [this] { state.ClosePending = true; };
  EXPECT_NE(CreateRemoteObject(kProgIdMonitor, "SHOP1", state), nullptr);
  EXPECT_TRUE(state.ClosePending);
}

TEST_F(CreateRemoteObjectTest, ACreationThatCannotStartFailsWithoutWaiting) {
  script.start_result = kResultBusy;
  script.error = {};
  EXPECT_EQ(CreateRemoteObject(kProgIdMonitor, "SHOP1", state), nullptr);
  EXPECT_EQ(ui.do_events, 0);
  ASSERT_EQ(ui.prompts.size(), 1u);
  EXPECT_EQ(ui.prompts[0].text, "Error-2147221392 creating ZeltaServer.Monitor on SHOP1.\r");
}

TEST_F(CreateRemoteObjectTest, NoFactoryInstalledIsAFailureToo) {
  InstallCreateObjMaker(nullptr);
  EXPECT_EQ(CreateRemoteObject(kProgIdMonitor, "SHOP1", state), nullptr);
  ASSERT_EQ(ui.prompts.size(), 1u);
  EXPECT_EQ(ui.prompts[0].text,
            "Error-2147467259 creating ZeltaServer.Monitor on SHOP1.\rNo remote object factory is installed "
            "on this "
            "machine.");
}

TEST(RemoteSettings, TokenAndTrustComeFromTheRegistry) {
  char pattern[] = "/tmp/zelta_regXXXXXX";
  int fd = mkstemp(pattern);
  ASSERT_GE(fd, 0);
  close(fd);
  setenv("ZELTA_REGISTRY", pattern, 1);
  RemoteSettings none = RemoteSettingsFromRegistry();  // no key yet
  EXPECT_EQ(none.access_token, "");
  EXPECT_EQ(none.trusted_certificate_file, "");
  EXPECT_EQ(none.default_port, kDefaultServerPort);
  ASSERT_EQ(RegCreateKey("SOFTWARE\\Zelta\\Remote"), kRegSuccess);
  ASSERT_EQ(RegWriteString("SOFTWARE\\Zelta\\Remote", "AccessToken", "counter-7f3a"), kRegSuccess);
  ASSERT_EQ(RegWriteString("SOFTWARE\\Zelta\\Remote", "TrustedCertificate", "/etc/zelta/shop-ca.crt"),
            kRegSuccess);
  RemoteSettings set = RemoteSettingsFromRegistry();
  EXPECT_EQ(set.access_token, "counter-7f3a");
  EXPECT_EQ(set.trusted_certificate_file, "/etc/zelta/shop-ca.crt");
  unsetenv("ZELTA_REGISTRY");
  unlink(pattern);
}

}  // namespace
}  // namespace zelta
