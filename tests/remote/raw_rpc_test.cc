// The server's calls as a client of another make might use them: GetLastError of each class, leases
// renewed and dropped by id, unknown ids.
#include <grpcpp/grpcpp.h>

#include "remote_fixture.h"
#include "zelta.grpc.pb.h"

namespace zelta::test {
namespace {

class RawRpcTest : public RemoteTest {
 protected:
  void SetUp() override {
    StartServer(ShopConfig());
    channel = grpc::CreateChannel(Machine(), grpc::InsecureChannelCredentials());
    objects = rpc::Objects::NewStub(channel);
    monitor = rpc::Monitor::NewStub(channel);
    printer = rpc::Printer::NewStub(channel);
  }
  std::string CreateMonitor() {
    grpc::ClientContext c;
    rpc::CreateRequest q;
    q.set_prog_id(kProgIdMonitor);
    rpc::CreateReply r;
    EXPECT_TRUE(objects->Create(&c, q, &r).ok());
    EXPECT_EQ(r.lease_ms(), 5000u);
    return r.object_id();
  }

  std::shared_ptr<grpc::Channel> channel;
  std::unique_ptr<rpc::Objects::Stub> objects;
  std::unique_ptr<rpc::Monitor::Stub> monitor;
  std::unique_ptr<rpc::Printer::Stub> printer;
};

TEST_F(RawRpcTest, GetLastErrorOfMonitorAndPrinterDescribesTheLastFailure) {
  std::string id = CreateMonitor();
  rpc::PrinterRef ref;
  ref.set_object_id(id);
  ref.set_name("Nobody");
  rpc::PrinterRefReply checked;
  grpc::ClientContext c1;
  ASSERT_TRUE(monitor->CheckPrinter(&c1, ref, &checked).ok());
  EXPECT_EQ(checked.outcome().result(), kResultNotFound);
  EXPECT_EQ(checked.outcome().error().number(), kResultNotFound);

  rpc::ObjectRef oref;
  oref.set_object_id(id);
  rpc::LastErrorReply last;
  grpc::ClientContext c2;
  ASSERT_TRUE(monitor->GetLastError(&c2, oref, &last).ok());
  EXPECT_EQ(last.outcome().result(), kResultOk);
  EXPECT_EQ(last.info().number(), kResultNotFound);
  EXPECT_EQ(last.info().description(), "No printer of this name is attached to the server.");

  ref.set_name("Receipt");
  rpc::GetPrinterReply got;
  grpc::ClientContext c3;
  ASSERT_TRUE(monitor->GetPrinter(&c3, ref, &got).ok());
  ASSERT_EQ(got.printer_id().size(), 16u);
  rpc::ObjectRef pref;
  pref.set_object_id(got.printer_id());
  rpc::ResultReply cleared;
  grpc::ClientContext c4;
  ASSERT_TRUE(printer->ClearInput(&c4, pref, &cleared).ok());
  EXPECT_EQ(cleared.outcome().result(), kResultNotClaimed);
  grpc::ClientContext c5;
  ASSERT_TRUE(printer->GetLastError(&c5, pref, &last).ok());
  EXPECT_EQ(last.info().number(), kResultNotClaimed);
  EXPECT_EQ(last.info().source(), "ZeltaServer.Printer");

  // A call that succeeds after that failure carries no error info of its own.
  rpc::IntReply kind;
  grpc::ClientContext c6;
  ASSERT_TRUE(printer->GetDeviceKind(&c6, pref, &kind).ok());
  EXPECT_EQ(kind.outcome().result(), kResultOk);
  EXPECT_FALSE(kind.outcome().has_error());
}

// Another client that learns an id (here: sent by the test) can neither use the object, renew it,
// drop it nor find out that it exists.
TEST_F(RawRpcTest, AnotherClientCannotUseRenewOrDropAnId) {
  std::string id = CreateMonitor();
  rpc::PrinterRef ref;
  ref.set_object_id(id);
  ref.set_name("Receipt");
  rpc::GetPrinterReply got;
  grpc::ClientContext c1;
  ASSERT_TRUE(monitor->GetPrinter(&c1, ref, &got).ok());
  rpc::ObjectRef pref;
  pref.set_object_id(got.printer_id());
  auto intruder = [](grpc::ClientContext& c) {
    c.AddMetadata("zelta-client", "0123456789abcdef0123456789abcdef");
  };

  rpc::ResultReply claim;
  grpc::ClientContext c2;
  intruder(c2);
  ASSERT_TRUE(printer->ClaimPrinter(&c2, pref, &claim).ok());
  EXPECT_EQ(claim.outcome().result(), kResultNotFound);
  rpc::RenewRequest q;
  q.add_object_ids(got.printer_id());
  q.add_object_ids(id);
  rpc::RenewReply renewed;
  grpc::ClientContext c3;
  intruder(c3);
  ASSERT_TRUE(objects->Renew(&c3, q, &renewed).ok());
  EXPECT_EQ(renewed.unknown_ids_size(), 2);
  rpc::DropReply dropped;
  grpc::ClientContext c4;
  intruder(c4);
  ASSERT_TRUE(objects->Drop(&c4, pref, &dropped).ok());
  // The owner still has it.
  grpc::ClientContext c5;
  ASSERT_TRUE(printer->ClaimPrinter(&c5, pref, &claim).ok());
  EXPECT_EQ(claim.outcome().result(), kResultOk);
  grpc::ClientContext c6;
  ASSERT_TRUE(printer->ReleasePrinter(&c6, pref, &claim).ok());
}

TEST_F(RawRpcTest, IdsAreRenewedDroppedAndForgotten) {
  std::string id = CreateMonitor();
  rpc::RenewRequest q;
  q.add_object_ids(id);
  std::string near = id;
  near[0] ^= 1;
  q.add_object_ids(near);
  rpc::RenewReply r;
  grpc::ClientContext c1;
  ASSERT_TRUE(objects->Renew(&c1, q, &r).ok());
  ASSERT_EQ(r.unknown_ids_size(), 1);
  EXPECT_EQ(r.unknown_ids(0), near);

  rpc::ObjectRef ref;
  ref.set_object_id(id);
  rpc::DropReply dropped;
  grpc::ClientContext c2;
  ASSERT_TRUE(objects->Drop(&c2, ref, &dropped).ok());
  rpc::TextReply list;
  grpc::ClientContext c3;
  ASSERT_TRUE(monitor->GetPrinterCollection(&c3, ref, &list).ok());
  EXPECT_EQ(list.outcome().result(), kResultNotFound);
  EXPECT_EQ(list.text(), "");
  // A Monitor id is no printer id.
  std::string other = CreateMonitor();
  ref.set_object_id(other);
  rpc::ResultReply claim;
  grpc::ClientContext c4;
  ASSERT_TRUE(printer->ClaimPrinter(&c4, ref, &claim).ok());
  EXPECT_EQ(claim.outcome().result(), kResultNotFound);
}

// A stream serves a claimed printer, one stream at a time.
TEST_F(RawRpcTest, AStreamNeedsTheClaimAndIsTheOnlyOne) {
  rpc::PrinterRef ref;
  ref.set_object_id(CreateMonitor());
  ref.set_name("Receipt");
  rpc::GetPrinterReply got;
  grpc::ClientContext c1;
  ASSERT_TRUE(monitor->GetPrinter(&c1, ref, &got).ok());
  rpc::StreamRequest first;
  first.set_object_id(got.printer_id());
  auto open = [&](grpc::ClientContext& c, rpc::StreamReply& reply) {
    auto s = printer->Stream(&c);
    EXPECT_TRUE(s->Write(first));
    EXPECT_TRUE(s->Read(&reply));
    return s;
  };
  grpc::ClientContext c2;
  rpc::StreamReply reply;
  auto refused = open(c2, reply);
  EXPECT_EQ(reply.result().outcome().result(), kResultNotClaimed);

  rpc::ObjectRef pref;
  pref.set_object_id(got.printer_id());
  rpc::ResultReply claim;
  grpc::ClientContext c3;
  ASSERT_TRUE(printer->ClaimPrinter(&c3, pref, &claim).ok());
  ASSERT_EQ(claim.outcome().result(), kResultOk);
  grpc::ClientContext c4, c5;
  auto stream = open(c4, reply);
  EXPECT_EQ(reply.capacity(), 65536u);
  auto second = printer->Stream(&c5);
  second->Write(first);
  EXPECT_FALSE(second->Read(&reply));
  EXPECT_EQ(second->Finish().error_code(), grpc::StatusCode::FAILED_PRECONDITION);
  c4.TryCancel();
}

}  // namespace
}  // namespace zelta::test
