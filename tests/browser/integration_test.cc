// The server dialog's list against zelta-server announcing itself on the network. The browser against
// servers and virtual printers is walked by tests/product/road_test.cc; its parts by the unit tests.
#include <gtest/gtest.h>

#include <algorithm>

#include "browser/local_machine.h"
#include "browser/network_functions.h"
#include "fake_servers.h"
#include "platform/computer_name.h"
#include "platform/network_enum.h"
#include "remote/create_remote_object.h"
#include "remote/grpc_create_obj.h"
#include "server_process.h"

namespace zelta::test {
namespace {

TEST_F(BrowserTest, AnnouncedServerIsListedAndReachable) {
  if (EnumNetworkComputers("", 47100, 1500).open_result == kNetUnavailable) {
    std::vector<std::string> combo;  // the server dialog's list then says so and stays empty
    ListNetworkComputers(combo, "");
    EXPECT_TRUE(combo.empty());
    EXPECT_EQ(ui.PromptTexts(), std::vector<std::string>{"The network is unavailable."});
    GTEST_SKIP() << "No Avahi daemon runs on this machine (start dbus-daemon --system and avahi-daemon).";
  }
  ChildProgram announced;
  ASSERT_TRUE(StartServer(announced, ZELTA_SERVER_PROGRAM, dir.path(), "SHOP-DNSSD",
                          "announce = yes\nprinter = Receipt, emu:46"));
  const std::string entry = GetComputerName() + ":" + std::to_string(announced.port());
  std::vector<std::string> names;
  for (int i = 0; i < 20 && std::find(names.begin(), names.end(), entry) == names.end(); ++i) {
    names = EnumNetworkComputers("", 47100, 1500).names;
  }
  ASSERT_NE(std::find(names.begin(), names.end(), entry), names.end()) << "not listed: " << entry;
  InstallCreateObjMaker(LoopbackForThisComputer(GrpcCreateObjMaker([] { return RemoteSettings{}; }), false));
  RemoteCreationState state;
  EXPECT_TRUE(CreateRemoteObject(kProgIdMonitor, entry, state));
}

}  // namespace
}  // namespace zelta::test
