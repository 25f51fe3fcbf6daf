// Monitor, ServerCollection and Printer calls from the network client to an in-process server; streamed
// writes with push-back and port failures; the services called directly, as a client of another make might.
#include <grpcpp/grpcpp.h>

#include <sstream>
#include <thread>

#include "remote/remote_objects.h"
#include "remote_fixture.h"
#include "zelta.grpc.pb.h"

namespace zelta::test {
namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;

using RemoteObjectsTest = RemoteTest;

TEST_F(RemoteObjectsTest, EveryMonitorAndPrinterCallAndTheClassesThatAreNotServed) {
  StartServer(ShopConfig());
  auto monitor = Monitor();
  ASSERT_NE(monitor, nullptr);
  int32_t result = -1;
  std::string list(255, ' '), nets, text, name = "receipt", port = "COM1", nobody = "Nobody", ghost = "Ghost",
                                          ghost_port = "emu:1";
  std::shared_ptr<PrinterObject> printer;
  PrinterErrorInfo info;
  // The result text is that of the result the last check gave.
  EXPECT_EQ(
      Results({monitor->GetPrinterCollection(list, result), monitor->GetNetPrinterCollection(nets, result),
               monitor->CheckPrinter(name, port, result), monitor->CheckPrinter(nobody, port, result),
               monitor->GetResultText(result, text), monitor->GetPrinter(ghost, ghost_port, printer),
               monitor->GetLastError(info, result)}),
      "ok ok ok not-found ok not-found ok");
  EXPECT_EQ(list + "|" + nets + "|" + name + " on " + port + "|" + text,  // the name as configured
            "emu:36=Receipt\0|127.0.0.1:9100=Bar\0|Receipt on emu:36|"
            "No printer of this name is attached to the server."s);
  EXPECT_EQ(ErrorText(info) + " from " + info.Source + (printer ? ", with a printer" : ""),
            ErrorText(kResultNotFound, "No printer Ghost on emu:1 is attached to SHOP1.") +
                " from ZeltaServer.Monitor");
  EXPECT_EQ(
      Create(kProgIdServerCollection).Outcome(),  // not the main server
      ErrorText(
          kResultNotFound,
          "The class ZeltaMainServer.ServerCollection is not served by SHOP1: it is not the main server."));
  EXPECT_EQ(Create("ZeltaServer.Toaster").Outcome(),
            ErrorText(kResultNotFound, "The class ZeltaServer.Toaster is not served by SHOP1."));

  // And every Printer call reaches the port.
  printer = ReceiptPrinter();
  ASSERT_NE(printer, nullptr);
  ScriptedPrinter* receipt = ports.Printer("emu:36");
  receipt->QueueByte(0x24);
  receipt->replies.push_back({kResultOk, "7\x31OK\0"s});
  receipt->busy_states.push_back(1);
  receipt->printer_states.push_back(kStatePaperNearEnd);
  int32_t kind = 0, timeout = 0, written = 0, count = 0, reply_count = 0, busy = 0, state = 0, mode = 1;
  const Bytes data = "\x1d(L\x02\x00\x30\x31"s + std::string(1000, '\0');
  std::string buffer = " ", description;
  Bytes reply;
  // A time-out below 0 is refused by the server, and not taken; the read comes behind the data.
  EXPECT_EQ(Results({printer->GetDeviceKind(kind), printer->ClaimPrinter(), printer->PutReadTimeout(50),
                     printer->PutReadTimeout(-5), printer->GetReadTimeout(timeout),
                     printer->WriteData(data, static_cast<int32_t>(data.size()), written, kWriteOrdinary),
                     printer->ReadData(buffer, 1, count), printer->ReadReply(reply, reply_count, 1),
                     printer->GetBusyState(busy), printer->GetPrinterState(state, mode),
                     printer->ClearInput(), printer->ClearOutput(),
                     printer->GetDeviceDescription(description), printer->ReleasePrinter()}),
            "ok ok ok bad-argument ok ok ok ok ok ok ok ok ok ok");
  EXPECT_EQ(receipt->written, data);  // every byte, NULs included
  std::ostringstream seen;            // what each call gave back, in order, and the releases
  seen << kind << ' ' << timeout << '/' << receipt->read_timeouts_put.back() << ' ' << written << ' ' << count
       << buffer << ' ' << reply << ' ' << busy << ' ' << state << ' ' << description << ' '
       << receipt->releases;
  EXPECT_EQ(seen.str(), "1 50/50 1007 1$ 7\x31OK\0 1 7 Receipt on emu:36 ("s + Machine() + ") 1");
}

TEST_F(RemoteObjectsTest, ClientsShareAPrinterOneClaimAtATimeWhileTheirObjectsOutliveTheLease) {
  ServerConfig c = ShopConfig();
  c.lease_ms = 150;
  StartServer(c);
  auto a = ReceiptPrinter(), b = ReceiptPrinter();
  ASSERT_TRUE(a && b);
  ASSERT_EQ(a->ClaimPrinter(), kResultOk);
  std::this_thread::sleep_for(600ms);  // four leases without a call: the client renews them
  std::string name = "Receipt", port;
  int32_t result = 0;
  // a's object is still known after them, and its release lets b claim.
  EXPECT_EQ(Results({b->ClaimPrinter(), Monitor()->CheckPrinter(name, port, result), a->ReleasePrinter(),
                     b->ClaimPrinter()}),
            "claimed-elsewhere claimed-elsewhere ok ok");
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
    PrinterErrorInfo info;
    EXPECT_EQ(Results({col->AddServer("SHOP1", "", result), col->AddServer("SHOP2", "", result),
                       col->AddServer("BACK", "", result), result, col->RemoveServer("SHOP2", result),
                       col->RemoveServer("NOWHERE", result), col->GetLastError(info, result), info.Number}),
              "ok ok ok ok ok not-found ok not-found");
    EXPECT_EQ(info.Source, "ZeltaMainServer.ServerCollection");
  }
  StopServer();
  StartServer(c);
  Created created = Create(kProgIdServerCollection);
  ASSERT_NE(created.collection(), nullptr) << created.error.Description;
  std::string list, info;
  EXPECT_EQ(Results({created.collection()->ServerList(list), created.collection()->ServerInfo(info)}),
            "ok ok");
  EXPECT_EQ(list + "|" + info, "SHOP1\0BACK\0|Main server SHOP1: 2 servers registered."s);
}

// n rows of 72 bytes that name their row.
Bytes Rows(int n) {
  Bytes out;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < 72; ++j) out += static_cast<char>((i * 7 + j) & 0xff);
  return out;
}

class RemoteStreamTest : public RemoteTest {
 protected:
  // The Receipt printer of a server with a send queue of 4096 bytes, claimed; its port writes by script.
  std::shared_ptr<PrinterObject> Start(std::deque<ScriptedPrinter::Write> script) {
    ServerConfig c = ShopConfig();
    c.send_queue_bytes = 4096;
    c.write_timeout_ms = 300;
    StartServer(c);
    auto printer = ReceiptPrinter();
    port = ports.Printer("emu:36");
    port->writes = std::move(script);  // before the claim: the sender reads it from then on
    EXPECT_EQ(printer->ClaimPrinter(), kResultOk);
    return printer;
  }
  // A read, answered once the queued data has gone: the port's log may be looked at then.
  int32_t Barrier(PrinterObject& p) {
    port->QueueByte(0x24);
    std::string buffer = " ";
    int32_t count = 0;
    return p.ReadData(buffer, 1, count);
  }
  ScriptedPrinter* port = nullptr;
};

TEST_F(RemoteStreamTest, RowsArriveOnceAndInOrderWithAndWithoutPushBack) {
  const ScriptedPrinter::Write busy{kResultBusy, 0}, slow{kResultTimeout, 100}, paper_out{kResultPaperOut, 0};
  const std::pair<const char*, std::deque<ScriptedPrinter::Write>> cases[] = {
      {"taken at once", {}},
      {"busy, then slow", {busy, busy, busy, slow, slow, busy, slow}},
      {"paper out for a while", std::deque<ScriptedPrinter::Write>(30, paper_out)},
  };
  const Bytes data = Rows(300);  // 21600 bytes: five times the credit
  for (const auto& [name, script] : cases) {
    SCOPED_TRACE(name);
    auto printer = Start(script);
    auto remote = std::dynamic_pointer_cast<RemotePrinter>(printer);
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(Results({WriteInRows(*printer, data), Barrier(*printer)}), "ok ok");
    EXPECT_EQ(port->written, data);
    for (const auto& w : port->write_log) EXPECT_LE(w.offered.size(), 4096u);
    // Round trips: claim, opening the stream, the read, and about two waits per queue's worth.
    const uint64_t trips = remote->round_trips();
    if (script.empty()) {
      EXPECT_LE(trips, 3u + 2 * data.size() / 4096 + 2);
    }
    EXPECT_EQ(printer->ReleasePrinter(), kResultOk);
    EXPECT_EQ(remote->round_trips(), trips + 1) << "a release answered on the stream is the only call";
    StopServer();
  }
}

TEST_F(RemoteStreamTest, APushBackThatLastsIsTheWritesResultWithWhatFitted) {
  auto printer = Start(std::deque<ScriptedPrinter::Write>(100000, {kResultPaperOut, 0}));
  int32_t written = 0, busy = 0, real_time = 0;
  const Bytes data = Rows(100);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(printer->WriteData(data, static_cast<int32_t>(data.size()), written, kWriteOrdinary),
            kResultPaperOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
  // The busy state counts the queue, and real-time requests still reach the port at once.
  PrinterErrorInfo info;
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(Results({printer->GetLastError(info), printer->GetBusyState(busy),
                     printer->WriteData(B({0x10, 0x04, 0x02}), 3, real_time, kWriteRealTime)}),
            "ok ok paper-out");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 250ms);
  EXPECT_EQ(std::to_string(written) + " written, last error " + Results({info.Number}) + ", busy " +
                std::to_string(busy),
            "4096 written, last error paper-out, busy 1");  // up to the credit
  // A release drops what the printer did not take; the claim is given back.
  EXPECT_EQ(printer->ReleasePrinter(), kResultOk);
  EXPECT_EQ(port->releases, 1);
}

TEST_F(RemoteStreamTest, APortFailureIsReportedOnceWithTheBytesThatGotThereAndAResendCompletesTheData) {
  // Three chunks taken, 100 bytes of the fourth, then the port fails; later writes are taken again.
  auto printer = Start({{}, {}, {}, {kResultPortClosed, 100}});
  const Bytes data = Rows(400);
  int32_t result = WriteInRows(*printer, data);
  if (result == kResultOk) result = Barrier(*printer);  // all queued before the failure: the read reports it
  EXPECT_EQ(result, kResultPortClosed);
  PrinterErrorInfo info;
  printer->GetLastError(info);
  const size_t reached = port->written.size();  // the sender is idle after a failure
  EXPECT_GT(reached, 100u);
  EXPECT_NE(info.Description.find(std::to_string(reached) + " bytes reached the printer"), std::string::npos)
      << info.Description;
  // Reported once: the next calls go through, and the resend from the first byte not sent completes it.
  EXPECT_EQ(Results({WriteInRows(*printer, data.substr(reached)), Barrier(*printer)}), "ok ok");
  EXPECT_EQ(port->written, data);
  // The next claim starts with an empty queue and its whole credit.
  EXPECT_EQ(Results({printer->ReleasePrinter(), printer->ClaimPrinter(), WriteInRows(*printer, data),
                     Barrier(*printer)}),
            "ok ok ok ok");
  EXPECT_EQ(port->written, data + data);
}

class RawRpcTest : public RemoteTest {
 protected:
  void SetUp() override { Connect(ShopConfig()); }
  // A server with config, and a Monitor and its printer Receipt created by this client (no client key).
  void Connect(const ServerConfig& config, PortPrinterFactory factory = nullptr) {
    StopServer();
    StartServer(config, factory);
    auto channel = grpc::CreateChannel(Machine(), grpc::InsecureChannelCredentials());
    objects = rpc::Objects::NewStub(channel);
    printer = rpc::Printer::NewStub(channel);
    grpc::ClientContext c1, c2;
    rpc::CreateRequest create;
    create.set_prog_id(kProgIdMonitor);
    rpc::CreateReply created;
    ASSERT_TRUE(objects->Create(&c1, create, &created).ok());
    EXPECT_EQ(created.lease_ms(), config.lease_ms);
    rpc::PrinterRef ref;
    ref.set_object_id(monitor_id = created.object_id());
    ref.set_name("Receipt");
    rpc::GetPrinterReply got;
    ASSERT_TRUE(rpc::Monitor::NewStub(channel)->GetPrinter(&c2, ref, &got).ok());
    printer_ref.set_object_id(got.printer_id());
  }
  // Another client: a client key of its own.
  static void Intruder(grpc::ClientContext& c) { c.AddMetadata("zelta-client", std::string(32, 'e')); }
  int32_t Claim(bool intruder = false) {
    grpc::ClientContext c;
    if (intruder) Intruder(c);
    rpc::ResultReply r;
    EXPECT_TRUE(printer->ClaimPrinter(&c, printer_ref, &r).ok());
    return r.outcome().result();
  }

  std::unique_ptr<rpc::Objects::Stub> objects;
  std::unique_ptr<rpc::Printer::Stub> printer;
  std::string monitor_id;
  rpc::ObjectRef printer_ref;
};

TEST_F(RawRpcTest, AnotherClientCannotUseAnIdAndAStreamNeedsTheClaimAndIsTheOnlyOne) {
  rpc::StreamRequest first;
  first.set_object_id(printer_ref.object_id());
  rpc::StreamReply reply;
  grpc::ClientContext c1, c2, c3, c4, c5;
  auto refused = printer->Stream(&c1);
  ASSERT_TRUE(refused->Write(first) && refused->Read(&reply));
  EXPECT_EQ(reply.result().outcome().result(), kResultNotClaimed);
  // Another client that learns an id can neither use the object, renew it, drop it nor find out that it
  // exists.
  EXPECT_EQ(Claim(true), kResultNotFound);
  rpc::RenewRequest ids;
  ids.add_object_ids(printer_ref.object_id());
  ids.add_object_ids(monitor_id);
  rpc::RenewReply renewed;
  rpc::DropReply dropped;
  Intruder(c4);
  Intruder(c5);
  ASSERT_TRUE(objects->Renew(&c4, ids, &renewed).ok());
  EXPECT_EQ(renewed.unknown_ids_size(), 2);
  ASSERT_TRUE(objects->Drop(&c5, printer_ref, &dropped).ok());
  ASSERT_EQ(Claim(), kResultOk);  // the owner still has it
  auto stream = printer->Stream(&c2);
  ASSERT_TRUE(stream->Write(first) && stream->Read(&reply));
  EXPECT_EQ(reply.capacity(), 65536u);
  auto second = printer->Stream(&c3);
  second->Write(first);
  EXPECT_FALSE(second->Read(&reply));
  EXPECT_EQ(second->Finish().error_code(), grpc::StatusCode::FAILED_PRECONDITION);
  c2.TryCancel();
}

// A client that disappears in the middle of a download to a virtual printer kept off line (so that
// nothing of the definition is carried out meanwhile): its claim ends with its lease, the printer's NV
// memory holds no half logo, and the next client stores the logo whole.
TEST_F(RawRpcTest, AClientThatDisappearsInTheMiddleOfADownloadLeavesNoHalfLogo) {
  StartVirtualPrinter(46);
  const uint32_t capacity = emu->NvRemaining();
  ServerConfig c = VirtualPrinterConfig("Receipt");
  c.lease_ms = 400;
  c.write_timeout_ms = 300;
  Connect(c, DefaultPortPrinterFactory());
  emu->SetFault(emu::EmuFault::kCoverOpen, true);
  ASSERT_EQ(Claim(), kResultOk);
  const Bytes logo = DefineLogo("L1", 576, 1200, 0x5a);
  {
    grpc::ClientContext context;
    auto stream = printer->Stream(&context);
    rpc::StreamRequest rows;
    rows.set_object_id(printer_ref.object_id());
    rows.set_data(logo.substr(0, 60000));  // within the credit
    rpc::StreamReply reply;
    ASSERT_TRUE(stream->Write(rows));
    while (stream->Read(&reply) && reply.reached() == 0) {
    }
    EXPECT_GT(reply.reached(), 0u);  // part of the definition is on the line
    context.TryCancel();             // and the client is gone: no release, no renewal
  }
  auto other = ReceiptPrinter();
  ASSERT_NE(other, nullptr);
  const auto gone = std::chrono::steady_clock::now();
  int32_t r, count = 0;
  while ((r = other->ClaimPrinter()) == kResultClaimedElsewhere &&
         std::chrono::steady_clock::now() - gone < 3s)
    std::this_thread::sleep_for(50ms);
  ASSERT_EQ(r, kResultOk);  // freed by the lease
  EXPECT_LT(std::chrono::steady_clock::now() - gone, 1500ms);
  emu->SetFault(emu::EmuFault::kCoverOpen, false);
  EXPECT_TRUE(emu->WaitIdle(5000));
  EXPECT_TRUE(emu->KeyCodes().empty() && emu->NvRemaining() == capacity) << "no half logo";

  std::string reply = " ";  // to GS I 1, sent behind the logo
  ASSERT_EQ(Results({WriteInRows(*other, logo + B({0x1d, 0x49, 0x01})), other->PutReadTimeout(5000),
                     other->ReadData(reply, 1, count), other->ReleasePrinter()}),
            "ok ok ok ok");
  EXPECT_EQ(At(reply, 0), 46);
  EXPECT_EQ(emu->KeyCodes(), std::vector<std::string>{"L1"});
  EXPECT_EQ(capacity - emu->NvRemaining(), logo.size() - 7);  // every byte after p1..p4
}

}  // namespace
}  // namespace zelta::test
