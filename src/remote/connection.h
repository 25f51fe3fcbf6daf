// One channel to one zelta-server, shared by the objects created over it: the access token and
// deadline of every call, the mapping of network failures to result codes, and the keep-alive that
// renews the leases of the objects this client holds. Internal to the remote library (pulls in grpcpp).
#pragma once

#include <grpcpp/grpcpp.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "remote/remote_settings.h"
#include "shared/printer_object.h"
#include "shared/result_codes.h"
#include "zelta.grpc.pb.h"

namespace zelta {

class Connection {
 public:
  Connection(std::shared_ptr<grpc::Channel> channel, RemoteSettings settings, std::string machine);
  // Stops the keep-alive.
  ~Connection();

  rpc::Objects::Stub& objects() { return *objects_; }
  rpc::Monitor::Stub& monitor() { return *monitor_; }
  rpc::ServerCollection::Stub& collection() { return *collection_; }
  rpc::Printer::Stub& printer() { return *printer_; }
  const RemoteSettings& settings() const { return settings_; }
  const std::string& machine() const { return machine_; }

  // Runs call(context) with the token and a deadline of deadline_ms. Returns the result code: from the
  // reply's outcome when the call went through, else one that describes the network failure. error is
  // set on every failure and kept on success.
  template <typename Reply, typename Call>
  int32_t Invoke(int deadline_ms, const Reply& reply, Call call, const char* source,
                 PrinterErrorInfo& error) {
    grpc::ClientContext context;
    Prepare(context, deadline_ms);
    grpc::Status status = call(&context);
    if (!status.ok()) return Failure(status, deadline_ms, source, error);
    int32_t result = reply.outcome().result();
    if (result != kResultOk) {
      const rpc::ErrorInfo& e = reply.outcome().error();
      error = {e.number() ? e.number() : result, e.description(), e.source()};
    }
    return result;
  }

  // Sets the token and the deadline on context.
  void Prepare(grpc::ClientContext& context, int deadline_ms) const;
  // The result code and description of a call that did not go through.
  int32_t Failure(const grpc::Status& status, int deadline_ms, const char* source,
                  PrinterErrorInfo& error) const;

  // Renews id's lease from now on, every third of lease_ms.
  void Hold(const std::string& id, uint32_t lease_ms);
  // Stops renewing id and tells the server to drop it (a short call; failures are ignored since the
  // lease ends it anyway).
  void Release(const std::string& id);

 private:
  void KeepAlive();

  std::shared_ptr<grpc::Channel> channel_;
  const RemoteSettings settings_;
  const std::string machine_;
  std::unique_ptr<rpc::Objects::Stub> objects_;
  std::unique_ptr<rpc::Monitor::Stub> monitor_;
  std::unique_ptr<rpc::ServerCollection::Stub> collection_;
  std::unique_ptr<rpc::Printer::Stub> printer_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<std::string, uint32_t> held_;  // id -> lease
  const std::string client_key_;          // sent with every call: the server ties our objects to it
  bool stopping_ = false;
  std::thread keep_alive_;
};

}  // namespace zelta
