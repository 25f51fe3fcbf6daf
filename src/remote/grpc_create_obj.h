// The network object factory: creates Monitor and ServerCollection objects on the zelta-server of a
// machine. No gRPC headers here.
#pragma once

#include <memory>

#include "remote/create_obj.h"
#include "remote/remote_settings.h"

namespace zelta {

// A factory that connects with settings. A creation resolves the machine name, connects and asks the
// server for the class on a worker thread; it ends within about connect_timeout_ms + call_timeout_ms,
// successfully or with a failure that GetLastError describes (name that does not resolve, machine that
// does not answer, class that it does not serve, access refused). Destroying the factory waits for a
// creation still running.
std::unique_ptr<CreateObj> MakeGrpcCreateObj(const RemoteSettings& settings);

// A maker for InstallCreateObjMaker that reads settings() anew for every factory.
CreateObjMaker GrpcCreateObjMaker(std::function<RemoteSettings()> settings);

}  // namespace zelta
