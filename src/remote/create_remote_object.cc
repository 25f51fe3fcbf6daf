#include "remote/create_remote_object.h"

#include <mutex>
#include <utility>

#include "platform/ui_hooks.h"
#include "shared/bytes.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

std::mutex maker_mutex;
CreateObjMaker& InstalledMaker() {
  static CreateObjMaker maker;
  return maker;
}

}  // namespace

void InstallCreateObjMaker(CreateObjMaker maker) {
  std::lock_guard<std::mutex> lock(maker_mutex);
  InstalledMaker() = std::move(maker);
}

std::unique_ptr<CreateObj> MakeCreateObj() {
  std::lock_guard<std::mutex> lock(maker_mutex);
  return InstalledMaker() ? InstalledMaker()() : nullptr;
}

std::shared_ptr<RemoteObject> CreateRemoteObject(const std::string& progId, const std::string& machine,
                                                 RemoteCreationState& state) {
  state.CreateDone = false;
  state.MyCreateObj = MakeCreateObj();
  std::shared_ptr<RemoteObject> object;
  PrinterErrorInfo info;
  if (!state.MyCreateObj) {
    info = {kResultFailure, "No remote object factory is installed on this machine.",
            "ZeltaWorker.CreateObj"};
  } else {
    state.MyCreateObj->OnComplete = [&state] { state.CreateDone = true; };
    int32_t started = state.MyCreateObj->CreateRemote(progId, machine);
    if (started == kResultOk) {
      // The factory ends every creation within its own bounded time, so this loop ends too.
      while (!state.CreateDone) {
        DoEvents();
        state.MyCreateObj->DeliverEvents();
      }
      state.MyCreateObj->CreatedObject(object);
    }
    if (!object) {
      int32_t result = 0;
      state.MyCreateObj->GetLastError(info, result);
      if (info.Number == 0) info.Number = started != kResultOk ? started : kResultFailure;
    }
  }
  if (!object) {
    MsgBox(
        "Error" + Str(info.Number) + " creating " + progId + " on " + machine + "." + "\r" + info.Description,
        MsgBoxButtons::kOk, MsgBoxIcon::kExclamation);
  }
  state.MyCreateObj.reset();
  return object;
}

}  // namespace zelta
