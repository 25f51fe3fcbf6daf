// The zelta-server program itself: started with a configuration file, killed, started again.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include "remote_fixture.h"
#include "support/free_port.h"

namespace zelta::test {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

class ServerProgramTest : public RemoteTest {
 protected:
  ServerProgramTest() : dir(MakeTempDir()), port(FreePort()) {
    std::ofstream(dir + "/zelta.conf") << "# test server\n"
                                       << "server_name = BACKOFFICE\n"
                                       << "port = " << port << "\n"
                                       << "printer = Receipt, emu:36:" << dir << "/receipt.nv\n"
                                       << "net_printer = Bar, 127.0.0.1, 9100\n"
                                       << "main_server = yes\n"
                                       << "server_list = " << dir << "/servers.txt\n";
  }
  ~ServerProgramTest() override { std::system(("rm -rf " + dir).c_str()); }

  // Starts the program and waits for its "listening" line.
  void Run(Child& child) {
    ASSERT_TRUE(child.Start(ZELTA_SERVER_PROGRAM, {"--config", dir + "/zelta.conf"}));
    std::string line;
    ASSERT_TRUE(child.ReadLine(line, 10s));
    EXPECT_EQ(line, "zelta-server BACKOFFICE listening on 127.0.0.1:" + std::to_string(port));
  }
  std::string machine() const { return "127.0.0.1:" + std::to_string(port); }

  std::string dir;
  int port;
};

TEST_F(ServerProgramTest, ServesItsConfigurationAndKeepsItsServerListAcrossAKill) {
  {
    Child server;
    Run(server);
    Created m = CreateAndWait(settings, kProgIdMonitor, machine());
    ASSERT_NE(m.monitor(), nullptr) << m.error.Description;
    std::string list;
    int32_t result = 0;
    EXPECT_EQ(m.monitor()->GetPrinterCollection(list, result), kResultOk);
    EXPECT_EQ(list, "emu:36:" + dir + "/receipt.nv=Receipt" + '\0');
    EXPECT_EQ(m.monitor()->GetNetPrinterCollection(list, result), kResultOk);
    EXPECT_EQ(list, "127.0.0.1:9100=Bar\0"s);

    Created c = CreateAndWait(settings, kProgIdServerCollection, machine());
    ASSERT_NE(c.collection(), nullptr) << c.error.Description;
    EXPECT_EQ(c.collection()->AddServer("SHOP1", "", result), kResultOk);
    EXPECT_EQ(c.collection()->AddServer("SHOP2", "", result), kResultOk);
    server.Kill();
  }
  Child again;
  Run(again);
  Created c = CreateAndWait(settings, kProgIdServerCollection, machine());
  ASSERT_NE(c.collection(), nullptr) << c.error.Description;
  std::string list, info;
  EXPECT_EQ(c.collection()->ServerList(list), kResultOk);
  EXPECT_EQ(list, "SHOP1\0SHOP2\0"s);
  EXPECT_EQ(c.collection()->ServerInfo(info), kResultOk);
  EXPECT_EQ(info, "Main server BACKOFFICE: 2 servers registered.");
}

TEST_F(ServerProgramTest, ABadConfigurationStopsTheStartWithItsLine) {
  std::ofstream(dir + "/zelta.conf", std::ios::app) << "printer = Broken\n";
  Child server;
  ASSERT_TRUE(server.Start(ZELTA_SERVER_PROGRAM, {"--config", dir + "/zelta.conf"}, true));
  std::string line;
  ASSERT_TRUE(server.ReadLine(line, 5s));
  EXPECT_EQ(line, "zelta-server: " + dir + "/zelta.conf: line 8: printer wants NAME, PORT_SPEC[, gsi|escq]");
  EXPECT_FALSE(server.ReadLine(line, 2s));  // and nothing more: the program ended
}

}  // namespace
}  // namespace zelta::test
