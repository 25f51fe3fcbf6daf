// Remote creations of one class on a list of machines, run side by side and taken in list order. A
// machine that does not answer then costs the list at most one creation time in all, not one each.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "remote/create_obj.h"

namespace zelta {

class ParallelCreations {
 public:
  // Starts up to max_in_flight creations at once; *pending counts the creations not yet taken (the
  // window refuses to close while it is not 0).
  ParallelCreations(const std::string& progId, std::vector<std::string> machines, int* pending,
                    size_t max_in_flight = 128);
  // Waits for the ones still running (their factories end within their bounded time).
  ~ParallelCreations();

  // The object created on machine i, yielding with DoEvents until its creation has ended; a failure is
  // shown in the creation's message box and gives null. Machines are taken in order, each once.
  std::shared_ptr<RemoteObject> Take(size_t i);

 private:
  struct Slot {
    std::unique_ptr<CreateObj> factory;
    bool done = false;
    bool started = false;
    int32_t start_result = 0;
  };
  void StartUpTo(size_t end);

  std::string progId_;
  std::vector<std::string> machines_;
  std::vector<Slot> slots_;
  int* pending_;
  size_t max_in_flight_;
  size_t taken_ = 0;
};

// The message of a failed creation: "Error N creating CLASS on MACHINE.", CR, the description.
std::string CreationErrorText(const PrinterErrorInfo& info, const std::string& progId,
                              const std::string& machine);

}  // namespace zelta
