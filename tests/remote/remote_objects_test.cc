// Monitor, ServerCollection and Printer calls from the network client to an in-process server; and the
// server's services called directly, as a client of another make might: an object answers only to the
// client that created it, and a printer stream needs the claim and is the only one.
#include <grpcpp/grpcpp.h>

#include <thread>

#include "remote_fixture.h"
#include "zelta.grpc.pb.h"

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

TEST_F(RemoteObjectsTest, ASlowPrinterHoldsUpNobodyElse) {
  ServerConfig c = ShopConfig();
  c.printers = {{"Slow", "emu:36", 1}, {"Quick", "emu:46", 1}};
  StartServer(c);
  ports.Printer("emu:36")->on_write = [](const Bytes&, int32_t) { std::this_thread::sleep_for(1200ms); };
  auto slow = NamedPrinter("Slow"), quick = NamedPrinter("Quick");
  ASSERT_TRUE(slow && quick);
  ASSERT_EQ(slow->ClaimPrinter(), kResultOk);
  std::thread stuck([&] {
    int32_t written = 0;
    EXPECT_EQ(slow->WriteData("slow", 4, written, kWriteOrdinary), kResultOk);
  });
  std::this_thread::sleep_for(100ms);  // the slow write is under way
  auto start = std::chrono::steady_clock::now();
  auto monitor = Monitor();
  std::string list;
  int32_t result = 0, written = 0;
  EXPECT_EQ(monitor->GetPrinterCollection(list, result), kResultOk);
  EXPECT_EQ(quick->ClaimPrinter(), kResultOk);
  EXPECT_EQ(quick->WriteData("quick", 5, written, kWriteOrdinary), kResultOk);
  EXPECT_EQ(quick->ReleasePrinter(), kResultOk);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 600ms);
  stuck.join();
  EXPECT_EQ(ports.Printer("emu:46")->written, "quick");
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

class RawRpcTest : public RemoteTest {
 protected:
  // A server with a Monitor and its printer Receipt, created by this client (no client key).
  void SetUp() override {
    StartServer(ShopConfig());
    auto channel = grpc::CreateChannel(Machine(), grpc::InsecureChannelCredentials());
    objects = rpc::Objects::NewStub(channel);
    printer = rpc::Printer::NewStub(channel);
    grpc::ClientContext c1, c2;
    rpc::CreateRequest create;
    create.set_prog_id(kProgIdMonitor);
    rpc::CreateReply created;
    ASSERT_TRUE(objects->Create(&c1, create, &created).ok());
    EXPECT_EQ(created.lease_ms(), 5000u);
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

// Another client that learns an id can neither use the object, renew it, drop it nor find out that it
// exists.
TEST_F(RawRpcTest, AnotherClientCannotUseRenewOrDropAnId) {
  EXPECT_EQ(Claim(true), kResultNotFound);
  rpc::RenewRequest ids;
  ids.add_object_ids(printer_ref.object_id());
  ids.add_object_ids(monitor_id);
  rpc::RenewReply renewed;
  rpc::DropReply dropped;
  grpc::ClientContext c1, c2;
  Intruder(c1);
  Intruder(c2);
  ASSERT_TRUE(objects->Renew(&c1, ids, &renewed).ok());
  EXPECT_EQ(renewed.unknown_ids_size(), 2);
  ASSERT_TRUE(objects->Drop(&c2, printer_ref, &dropped).ok());
  EXPECT_EQ(Claim(), kResultOk);  // the owner still has it
}

TEST_F(RawRpcTest, AStreamNeedsTheClaimAndIsTheOnlyOne) {
  rpc::StreamRequest first;
  first.set_object_id(printer_ref.object_id());
  rpc::StreamReply reply;
  grpc::ClientContext c1, c2, c3;
  auto refused = printer->Stream(&c1);
  ASSERT_TRUE(refused->Write(first) && refused->Read(&reply));
  EXPECT_EQ(reply.result().outcome().result(), kResultNotClaimed);

  ASSERT_EQ(Claim(), kResultOk);
  auto stream = printer->Stream(&c2);
  ASSERT_TRUE(stream->Write(first) && stream->Read(&reply));
  EXPECT_EQ(reply.capacity(), 65536u);
  auto second = printer->Stream(&c3);
  second->Write(first);
  EXPECT_FALSE(second->Read(&reply));
  EXPECT_EQ(second->Finish().error_code(), grpc::StatusCode::FAILED_PRECONDITION);
  c2.TryCancel();
}

}  // namespace
}  // namespace zelta::test
