#include "remote/machine_address.h"

#include <gtest/gtest.h>

namespace zelta {
namespace {

TEST(MachineAddress, NamesWithAndWithoutPorts) {
  const struct {
    const char* machine;
    const char* host;
    uint16_t port;
  } cases[] = {
      {"SHOP1", "SHOP1", 47100},
      {"shop1.example:5000", "shop1.example", 5000},
      {"127.0.0.1", "127.0.0.1", 47100},
      {"127.0.0.1:1", "127.0.0.1", 1},
      {"[::1]", "::1", 47100},
      {"[::1]:65535", "::1", 65535},
      {"back_office-2", "back_office-2", 47100},
  };
  for (const auto& c : cases) {
    std::string host, error;
    uint16_t port = 0;
    EXPECT_TRUE(ParseMachine(c.machine, 47100, host, port, error)) << c.machine << ": " << error;
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);
  }
}

TEST(MachineAddress, BadNamesAreRefused) {
  for (const char* machine : {"", ":80", "SHOP1:", "SHOP1:0", "SHOP1:65536", "SHOP1:8x", "[::1", "[::1]x",
                              "two words", "a/b", "\\\\SHOP1"}) {
    std::string host, error;
    uint16_t port = 0;
    EXPECT_FALSE(ParseMachine(machine, 47100, host, port, error)) << machine;
    EXPECT_FALSE(error.empty());
  }
}

TEST(MachineAddress, GrpcTargets) {
  EXPECT_EQ(GrpcTarget("SHOP1", 47100), "SHOP1:47100");
  EXPECT_EQ(GrpcTarget("::1", 5), "ipv6:[::1]:5");
}

}  // namespace
}  // namespace zelta
