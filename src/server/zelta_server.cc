#include "server/zelta_server.h"

#include <chrono>
#include <fstream>
#include <sstream>

#include "server/services.h"

namespace zelta {
namespace {

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read " + path;
    return false;
  }
  std::stringstream s;
  s << file.rdbuf();
  text = s.str();
  return true;
}

std::shared_ptr<grpc::ServerCredentials> Credentials(const ServerConfig& config, std::string& error) {
  if (config.tls_certificate_file.empty()) return grpc::InsecureServerCredentials();
  grpc::SslServerCredentialsOptions::PemKeyCertPair pair;
  if (!ReadFile(config.tls_key_file, pair.private_key, error) ||
      !ReadFile(config.tls_certificate_file, pair.cert_chain, error)) {
    return nullptr;
  }
  grpc::SslServerCredentialsOptions options;
  options.pem_key_cert_pairs.push_back(pair);
  return grpc::SslServerCredentials(options);
}

}  // namespace

struct ZeltaServer::Impl {
  ServerState state;
  std::unique_ptr<ObjectsService> objects;
  std::unique_ptr<MonitorService> monitor;
  std::unique_ptr<CollectionService> collection;
  std::unique_ptr<PrinterService> printer;
  std::unique_ptr<grpc::Server> server;
  int port = 0;
};

ZeltaServer::ZeltaServer() = default;

ZeltaServer::~ZeltaServer() { Shutdown(); }

bool ZeltaServer::Start(const ServerConfig& config, PortPrinterFactory factory, std::string& error) {
  auto impl = std::make_unique<Impl>();
  if (!impl->state.Open(config, factory, error)) return false;
  std::shared_ptr<grpc::ServerCredentials> credentials = Credentials(config, error);
  if (!credentials) return false;

  impl->objects = std::make_unique<ObjectsService>(impl->state);
  impl->monitor = std::make_unique<MonitorService>(impl->state);
  impl->collection = std::make_unique<CollectionService>(impl->state);
  impl->printer = std::make_unique<PrinterService>(impl->state);

  std::string host = config.listen_address;
  if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
  grpc::ServerBuilder builder;
  builder.AddListeningPort(host + ":" + std::to_string(config.port), credentials, &impl->port);
  // A second server on the same port must fail, not share the port with the first.
  builder.AddChannelArgument(GRPC_ARG_ALLOW_REUSEPORT, 0);
  builder.SetMaxReceiveMessageSize(8 << 20);
  builder.SetMaxSendMessageSize(8 << 20);
  builder.RegisterService(impl->objects.get());
  builder.RegisterService(impl->monitor.get());
  builder.RegisterService(impl->collection.get());
  builder.RegisterService(impl->printer.get());
  impl->server = builder.BuildAndStart();
  if (!impl->server || impl->port == 0) {
    error = "cannot listen on " + host + ":" + std::to_string(config.port) + " (address in use or not ours)";
    return false;
  }
  impl->state.objects->StartReaper();
  impl_ = std::move(impl);
  return true;
}

int ZeltaServer::port() const { return impl_ ? impl_->port : 0; }

void ZeltaServer::Wait() {
  if (impl_ && impl_->server) impl_->server->Wait();
}

void ZeltaServer::Shutdown(int grace_ms) {
  if (!impl_ || !impl_->server) return;
  impl_->server->Shutdown(std::chrono::system_clock::now() + std::chrono::milliseconds(grace_ms));
}

}  // namespace zelta
