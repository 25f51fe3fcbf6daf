#include "remote/grpc_create_obj.h"

#include <grpcpp/grpcpp.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "remote/connection.h"
#include "remote/machine_address.h"
#include "remote/remote_objects.h"

namespace zelta {
namespace {

constexpr char kSource[] = "ZeltaWorker.CreateObj";

class GrpcCreateObj : public CreateObj {
 public:
  explicit GrpcCreateObj(RemoteSettings settings) : settings_(std::move(settings)) {}
  ~GrpcCreateObj() override {
    if (worker_.joinable()) worker_.join();
  }

  int32_t CreateRemote(const std::string& progId, const std::string& machine) override {
    if (worker_.joinable() && !done_) return kResultBusy;  // the running creation keeps its state
    if (worker_.joinable()) worker_.join();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      object_.reset();
      error_ = {};
    }
    done_ = false;
    raised_ = false;
    worker_ = std::thread([this, progId, machine] { Create(progId, machine); });
    return kResultOk;
  }

  int32_t CreatedObject(std::shared_ptr<RemoteObject>& object) override {
    std::lock_guard<std::mutex> lock(mutex_);
    object = done_ ? object_ : nullptr;
    return kResultOk;
  }

  int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) override {
    std::lock_guard<std::mutex> lock(mutex_);
    info = error_;
    result = kResultOk;
    return result;
  }

  void DeliverEvents() override {
    if (raised_) return;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      done_cv_.wait_for(lock, std::chrono::milliseconds(10), [this] { return done_.load(); });
    }
    if (!done_) return;
    raised_ = true;
    if (worker_.joinable()) worker_.join();
    if (OnComplete) OnComplete();
  }

 private:
  void Create(const std::string& prog_id, const std::string& machine) {
    std::shared_ptr<RemoteObject> object;
    PrinterErrorInfo error;
    Build(prog_id, machine, object, error);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      object_ = std::move(object);
      error_ = error;
      done_ = true;
    }
    done_cv_.notify_all();
  }

  void Build(const std::string& prog_id, const std::string& machine, std::shared_ptr<RemoteObject>& object,
             PrinterErrorInfo& error) {
    std::string host, why;
    uint16_t port = 0;
    if (!ParseMachine(machine, settings_.default_port, host, port, why)) {
      error = {kResultBadArgument, why, kSource};
      return;
    }
    auto start = std::chrono::steady_clock::now();
    if (!ResolveWithin(host, settings_.connect_timeout_ms, why)) {
      error = {kResultUnreachable, why, kSource};
      return;
    }
    std::shared_ptr<grpc::ChannelCredentials> credentials = Credentials(why);
    if (!credentials) {
      error = {kResultFailure, why, kSource};
      return;
    }
    grpc::ChannelArguments args;
    // Every creation gets connections of its own, so that a server that was down a moment ago is tried
    // again at once rather than after another channel's back-off.
    args.SetInt(GRPC_ARG_USE_LOCAL_SUBCHANNEL_POOL, 1);
    args.SetInt(GRPC_ARG_INITIAL_RECONNECT_BACKOFF_MS, 100);
    args.SetInt(GRPC_ARG_MIN_RECONNECT_BACKOFF_MS, 100);
    args.SetInt(GRPC_ARG_MAX_RECONNECT_BACKOFF_MS, 1000);
    args.SetMaxReceiveMessageSize(8 << 20);
    args.SetMaxSendMessageSize(8 << 20);
    auto channel = grpc::CreateCustomChannel(GrpcTarget(host, port), credentials, args);
    auto left = settings_.connect_timeout_ms - std::chrono::duration_cast<std::chrono::milliseconds>(
                                                   std::chrono::steady_clock::now() - start)
                                                   .count();
    auto deadline =
        std::chrono::system_clock::now() + std::chrono::milliseconds(std::max<long long>(left, 1));
    if (!channel->WaitForConnected(deadline)) {
      error = {
          kResultUnreachable,
          "The machine " + machine + " does not answer: no zelta-server reached on port " +
              std::to_string(port) + " within " + std::to_string(settings_.connect_timeout_ms) + " ms" +
              (settings_.trusted_certificate_file.empty() ? "." : " (or its certificate is not trusted)."),
          kSource};
      return;
    }
    auto connection = std::make_shared<Connection>(channel, settings_, machine);
    rpc::CreateRequest request;
    request.set_prog_id(prog_id);
    rpc::CreateReply reply;
    int32_t result = connection->Invoke(
        settings_.call_timeout_ms, reply,
        [&](grpc::ClientContext* c) { return connection->objects().Create(c, request, &reply); }, kSource,
        error);
    if (result != kResultOk) return;
    if (prog_id == kProgIdMonitor) {
      object = std::make_shared<RemoteMonitor>(connection, reply.object_id(), reply.lease_ms());
    } else if (prog_id == kProgIdServerCollection) {
      object = std::make_shared<RemoteServerCollection>(connection, reply.object_id(), reply.lease_ms());
    } else {
      error = {kResultNotFound, "This program has no client for the class " + prog_id + ".", kSource};
    }
  }

  std::shared_ptr<grpc::ChannelCredentials> Credentials(std::string& error) const {
    if (settings_.trusted_certificate_file.empty()) return grpc::InsecureChannelCredentials();
    std::ifstream file(settings_.trusted_certificate_file, std::ios::binary);
    std::stringstream pem;
    if (file) pem << file.rdbuf();
    if (!file || pem.str().empty()) {
      error = "The trusted certificate file " + settings_.trusted_certificate_file + " cannot be read.";
      return nullptr;
    }
    grpc::SslCredentialsOptions options;
    options.pem_root_certs = pem.str();
    return grpc::SslCredentials(options);
  }

  const RemoteSettings settings_;
  std::thread worker_;
  std::atomic<bool> done_{false};
  bool raised_ = false;
  std::mutex mutex_;
  std::condition_variable done_cv_;
  std::shared_ptr<RemoteObject> object_;
  PrinterErrorInfo error_;
};

}  // namespace

std::unique_ptr<CreateObj> MakeGrpcCreateObj(const RemoteSettings& settings) {
  return std::make_unique<GrpcCreateObj>(settings);
}

CreateObjMaker GrpcCreateObjMaker(std::function<RemoteSettings()> settings) {
  return [settings = std::move(settings)] {
    return MakeGrpcCreateObj(settings ? settings() : RemoteSettings{});
  };
}

}  // namespace zelta
