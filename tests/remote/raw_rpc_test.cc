// The server's services called directly, as a client of another make might: an object answers only to
// the client that created it, and a printer stream needs the claim and is the only one.
#include <grpcpp/grpcpp.h>

#include "remote_fixture.h"
#include "zelta.grpc.pb.h"

namespace zelta::test {
namespace {

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
