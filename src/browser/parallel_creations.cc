#include "browser/parallel_creations.h"

#include <algorithm>

#include "platform/ui_hooks.h"
#include "shared/bytes.h"
#include "shared/result_codes.h"

namespace zelta {

std::string CreationErrorText(const PrinterErrorInfo& info, const std::string& progId,
                              const std::string& machine) {
  return "Error" + Str(info.Number) + " creating " + progId + " on " + machine + "." + "\r" +
         info.Description;
}

ParallelCreations::ParallelCreations(const std::string& progId, std::vector<std::string> machines,
                                     int* pending, size_t max_in_flight)
    : progId_(progId),
      machines_(std::move(machines)),
      slots_(machines_.size()),
      pending_(pending),
      max_in_flight_(std::max<size_t>(1, max_in_flight)) {
  *pending_ += static_cast<int>(machines_.size());
  StartUpTo(max_in_flight_);
}

ParallelCreations::~ParallelCreations() {
  *pending_ -= static_cast<int>(machines_.size() - taken_);
  // Destroying a factory waits for its creation; they all run side by side, so this takes at most one
  // creation time.
  slots_.clear();
}

void ParallelCreations::StartUpTo(size_t end) {
  end = std::min(end, slots_.size());
  for (size_t i = 0; i < end; ++i) {
    Slot& slot = slots_[i];
    if (slot.started) continue;
    slot.started = true;
    slot.factory = MakeCreateObj();
    if (!slot.factory) continue;
    slot.factory->OnComplete = [&slot] { slot.done = true; };
    slot.start_result = slot.factory->CreateRemote(progId_, machines_[i]);
  }
}

std::shared_ptr<RemoteObject> ParallelCreations::Take(size_t i) {
  std::shared_ptr<RemoteObject> object;
  if (i >= slots_.size()) return object;
  StartUpTo(i + 1);
  Slot& slot = slots_[i];
  PrinterErrorInfo info;
  if (!slot.factory) {
    info = {kResultFailure, "No remote object factory is installed on this machine.",
            "ZeltaWorker.CreateObj"};
  } else {
    if (slot.start_result == kResultOk) {
      // Every factory ends its creation within its own bounded time, so this loop ends too.
      while (!slot.done) {
        DoEvents();
        slot.factory->DeliverEvents();
      }
      slot.factory->CreatedObject(object);
    }
    if (!object) {
      int32_t result = 0;
      slot.factory->GetLastError(info, result);
      if (info.Number == 0) info.Number = slot.start_result != kResultOk ? slot.start_result : kResultFailure;
    }
  }
  slot.factory.reset();
  if (i >= taken_) {
    *pending_ -= static_cast<int>(i + 1 - taken_);
    taken_ = i + 1;
  }
  // Keep the window full: the next machine starts as this one is taken.
  StartUpTo(taken_ + max_in_flight_);
  if (!object)
    MsgBox(CreationErrorText(info, progId_, machines_[i]), MsgBoxButtons::kOk, MsgBoxIcon::kExclamation);
  return object;
}

}  // namespace zelta
