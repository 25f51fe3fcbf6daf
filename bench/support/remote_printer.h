// The printer object of one printer of a zelta-server on loopback, as the program gets it: a Monitor
// from the network factory, then GetPrinter.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "remote/grpc_create_obj.h"
#include "remote/server_objects.h"

namespace zelta::bench {

// Null when the server cannot be reached or has no printer of that name.
inline std::shared_ptr<PrinterObject> RemotePrinterOf(int port, std::string name) {
  auto factory = MakeGrpcCreateObj(RemoteSettings{});
  bool done = false;
  factory->OnComplete = [&] { done = true; };
  factory->CreateRemote(kProgIdMonitor, "127.0.0.1:" + std::to_string(port));
  while (!done) {
    factory->DeliverEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::shared_ptr<RemoteObject> object;
  factory->CreatedObject(object);
  auto monitor = std::dynamic_pointer_cast<MonitorObject>(object);
  std::shared_ptr<PrinterObject> printer;
  std::string port_name;
  if (monitor) monitor->GetPrinter(name, port_name, printer);
  return printer;
}

}  // namespace zelta::bench
