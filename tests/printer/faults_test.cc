// The virtual printer's faults as the real-time status reports them and what each does to the data;
// real-time requests among the data, the push-back of a full buffer, and all of it from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

#include "emu_test_util.h"
#include "memory/nv_commands.h"

namespace zelta::test {
namespace {

using emu::EmuFault;

const Bytes kAllStatus = B({16, 4, 1, 16, 4, 2, 16, 4, 3, 16, 4, 4});
const Bytes kReady = B({0x12, 0x12, 0x12, 0x12});

TEST(FaultTest, EachFaultReportsAndStopsAsARealPrinter) {
  // Each fault, the reply to DLE EOT 1, 2, 3, 4 and GS I 1 with it on, and whether it stops the printer.
  const std::tuple<EmuFault, Bytes, bool> cases[] = {
      {EmuFault::kCoverOpen, B({0x1A, 0x16, 0x12, 0x12}), true},
      {EmuFault::kPaperNearEnd, B({0x12, 0x12, 0x12, 0x1E, 46}), false},
      {EmuFault::kPaperOut, B({0x1A, 0x32, 0x12, 0x7E}), true},
      {EmuFault::kRecoverableError, B({0x3A, 0x52, 0x1A, 0x12}), true},
      {EmuFault::kUnrecoverableError, B({0x1A, 0x52, 0x32, 0x12}), true},
      {EmuFault::kOffline, B({0x1A, 0x12, 0x12, 0x12}), true},
      {EmuFault::kSlow, B({0x12, 0x12, 0x12, 0x12, 46}), false},
      {EmuFault::kMute, B({}), false},
  };
  for (const auto& [fault, reply, stops] : cases) {
    SCOPED_TRACE(static_cast<int>(fault));
    auto p = MakePrinter(46);
    p->SetFault(fault, true);
    ASSERT_EQ(Offer(*p, kAllStatus + CmdModelId(), 500), 15u);
    EXPECT_EQ(ToHex(Collect(*p, 60)), ToHex(reply));
    // Switched off: the printer is ready again and carries out what waited.
    p->SetFault(fault, false);
    ASSERT_TRUE(p->WaitIdle(1000));
    Send(*p, kAllStatus);
    EXPECT_EQ(ToHex(Collect(*p)), ToHex(stops ? B({46}) + kReady : kReady));
  }
}

TEST(FaultTest, RecoveryRequestsRestartOrClearOnlyARecoverableError) {
  for (int n : {1, 2}) {
    SCOPED_TRACE(n);
    auto p = MakePrinter(46);
    p->SetFault(EmuFault::kRecoverableError, true);
    Offer(*p, NvRasterPacket("A1", 8, 1, {Plane(8, 1, 1)}) + CmdModelId(), 100);
    EXPECT_EQ(Collect(*p), "");
    Send(*p, B({16, 5, n}) + CmdTypeId());
    EXPECT_FALSE(p->FaultOn(EmuFault::kRecoverableError));
    // DLE ENQ 1 carries out what waited; DLE ENQ 2 drops it, and answers only what came after.
    EXPECT_EQ(Look(*p), n == 1 ? "keys A1 | free 393204 | sent 2E 06" : "keys | free 393216 | sent 06");
  }
  auto p = MakePrinter(46);
  p->SetFault(EmuFault::kUnrecoverableError, true);
  p->SetFault(EmuFault::kCoverOpen, true);
  Offer(*p, B({16, 5, 1, 16, 5, 2}) + kAllStatus, 100);
  EXPECT_EQ(ToHex(Collect(*p)), ToHex(B({0x1A, 0x56, 0x32, 0x12})));
  EXPECT_TRUE(p->FaultOn(EmuFault::kUnrecoverableError));
}

TEST(FaultTest, FullBufferPushesBackButRealTimeRequestsPassAndASlowPrinterTakesDataAtItsPace) {
  emu::EmuOptions options;  // model 46
  options.receive_buffer = 64;
  auto p = MakePrinter(options);
  p->SetFault(EmuFault::kCoverOpen, true);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Offer(*p, Bytes(200, 'x'), 50), 64u);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(45));
  EXPECT_TRUE(p->Full() && p->Busy());
  EXPECT_EQ(Offer(*p, B({16, 4, 2}), 0), 3u);
  EXPECT_EQ(Collect(*p), B({0x16}));
  p->SetFault(EmuFault::kCoverOpen, false);
  EXPECT_TRUE(p->WaitIdle(1000));
  EXPECT_FALSE(p->Full());
  // At 500 bytes a second, a slow printer takes more than its buffer in 0.1 s but not all.
  options.receive_buffer = 32;
  options.timing.slow_s_per_byte = 0.002;
  p = MakePrinter(options);
  p->SetFault(EmuFault::kSlow, true);
  const size_t taken = Offer(*p, Bytes(400, 'y'), 100);
  EXPECT_TRUE(taken > 32 && taken < 200) << taken;
}

TEST(RealTimeTest, ModelIdIsAnsweredOnlyAfterEverythingBeforeButStatusAtOnce) {
  emu::EmuOptions options;
  options.timing.nv_write_s = 0.15;
  auto p = MakePrinter(options);
  ASSERT_EQ(Offer(*p, NvRasterPacket("A1", 8, 1, {Plane(8, 1, 1)}) + CmdModelId(), 100), 22u);
  uint8_t b = 0;
  EXPECT_EQ(p->Transmit(&b, 1, 50), 0u);  // still writing
  Offer(*p, B({16, 4, 1}), 0);
  EXPECT_EQ(Collect(*p, 20).substr(0, 1), B({0x12}));
  ASSERT_TRUE(p->WaitIdle(1000));
  EXPECT_EQ(Look(*p), "keys A1 | free 393204 | sent 2E");
}

// A request inside a packet is answered and taken out of the data. So a logo whose raster bytes read as
// DLE EOT 1 and DLE ENQ 2 swallows the GS I 1 behind it; with GS ( D turning real-time requests off
// around the definition, the logo is stored whole and the requests work again after.
TEST(RealTimeTest, RequestInsideDataIsAnsweredAndTakenOutUnlessSwitchedOffAroundADefinition) {
  auto p = MakePrinter(46);
  const Bytes packet = NvRasterPacket("M1", 16, 4, {Plane(16, 4, 0x5A)});
  Send(*p, packet.substr(0, 20) + B({16, 4, 1, 16, 5, 1}) + packet.substr(20) + CmdModelId());
  EXPECT_EQ(Look(*p), "keys M1 | free 393197 | sent 12 2E");
  // A DLE that starts no real-time request stays in the data.
  Send(*p, NvRasterPacket("M2", 16, 1, {B({16, 0x20})}) + CmdKeyCodeList());
  EXPECT_EQ(Collect(*p), KeyBlock(0x40, "M1M2"));

  const Bytes off = B({29, 40, 68, 5, 0, 20, 1, 0, 2, 0}), on = B({29, 40, 68, 5, 0, 20, 1, 1, 2, 1});
  const Bytes logo = NvRasterPacket("R1", 64, 1, {B({0x10, 0x04, 0x01, 0x10, 0x05, 0x02, 0xff, 0x10})});
  p = MakePrinter(46);
  Send(*p, logo + CmdModelId());
  EXPECT_EQ(Collect(*p), B({0x12}));  // the DLE EOT 1 answer; the GS I 1 went into the logo's data

  p = MakePrinter(46);
  Send(*p, off + logo + on + CmdModelId());
  // No status answers from the raster; R1 is charged N, everything after p1..p4.
  EXPECT_EQ(Look(*p), "keys R1 | free " + std::to_string(393216 - (logo.size() - 7)) + " | sent 2E");
  Send(*p, B({16, 4, 1}));  // on again
  EXPECT_EQ(Collect(*p).size(), 1u);
}

// The one multi-threaded stress: a host sending definitions while it comes and goes, a second host asking
// for status, a reader and the control switching faults, all at once.
TEST(ConcurrencyTest, HostsControlAndReadersAtOnce) {
  emu::EmuOptions options;
  options.receive_buffer = 256;
  auto p = MakePrinter(options);
  std::atomic<bool> stop{false};
  std::atomic<int> replies{0};
  std::thread reader([&] {
    for (uint8_t buf[64]; !stop;) replies += static_cast<int>(p->Transmit(buf, sizeof buf, 5));
  });
  std::thread other_host([&] {
    while (!stop) Offer(*p, B({16, 4, 1}), 5);
  });
  std::thread control([&] {
    for (int i = 0; !stop; ++i, std::this_thread::sleep_for(std::chrono::microseconds(200))) {
      p->SetFault(EmuFault::kCoverOpen, i % 3 == 0);
      p->SetFault(EmuFault::kSlow, i % 5 == 0);
      (void)p->StatusByte(1 + i % 4);
      (void)p->KeyCodes();
    }
  });
  Bytes stream;
  for (int i = 0; i < 300; ++i) stream += SmallLogo(Key(i)) + CmdModelId();
  size_t pos = 0;
  for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
       pos < stream.size() && std::chrono::steady_clock::now() < end;) {
    pos += Offer(*p, stream.substr(pos), 10);
    if (pos % 7 == 0) p->Disconnect();  // hosts coming and going; every cut-off definition is dropped
  }
  // On a busy machine the stream may be through before the reader ever ran: give it time to read.
  for (int i = 0; i < 300 && replies == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  stop = true;
  for (std::thread* t : {&reader, &other_host, &control}) t->join();
  for (EmuFault f : {EmuFault::kCoverOpen, EmuFault::kSlow}) p->SetFault(f, false);
  EXPECT_EQ(pos, stream.size());
  EXPECT_TRUE(p->WaitIdle(3000));
  EXPECT_GT(replies.load(), 0);
  // Whatever got through was stored whole: every stored logo has the size of one.
  EXPECT_EQ(p->NvRemaining(), 393216u - static_cast<uint32_t>(p->KeyCodes().size()) * 15u);
}

}  // namespace
}  // namespace zelta::test
