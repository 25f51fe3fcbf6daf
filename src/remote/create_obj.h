// The object factory of remote creations: asks a machine for an object of a class and tells when the
// creation has ended. The remote library provides the real one (grpc_create_obj.h); the program installs
// a maker for it at start-up, and tests install their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "remote/server_objects.h"
#include "shared/printer_object.h"

namespace zelta {

class CreateObj {
 public:
  virtual ~CreateObj() = default;

  // Starts the creation of an object of class progId on machine ("host" or "host:port") and returns at
  // once: 0 when started, else a failure (a creation already running) with nothing started.
  // The creation always ends, successfully or not, within the factory's bounded time.
  virtual int32_t CreateRemote(const std::string& progId, const std::string& machine) = 0;
  // The created object, or null when the creation failed or has not ended.
  virtual int32_t CreatedObject(std::shared_ptr<RemoteObject>& object) = 0;
  // Why the creation failed.
  virtual int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) = 0;
  // Raises OnComplete on the calling thread if the creation has ended and it was not raised yet. The
  // waiting loop calls it after every DoEvents, so OnComplete always runs on the user-interface thread.
  // It may wait a few milliseconds for the creation to end, so that the loop does not spin.
  virtual void DeliverEvents() = 0;

  // Raised once per creation when it has ended.
  std::function<void()> OnComplete;
};

using CreateObjMaker = std::function<std::unique_ptr<CreateObj>()>;

// Installs the maker of local factories; an empty one removes it.
void InstallCreateObjMaker(CreateObjMaker maker);
// A new factory from the installed maker; null when none is installed.
std::unique_ptr<CreateObj> MakeCreateObj();

}  // namespace zelta
