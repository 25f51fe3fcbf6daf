#include "browser/local_machine.h"

#include <strings.h>

#include <utility>

#include "platform/computer_name.h"

namespace zelta {
namespace {

class LoopbackCreateObj : public CreateObj {
 public:
  explicit LoopbackCreateObj(std::unique_ptr<CreateObj> inner) : inner_(std::move(inner)) {
    inner_->OnComplete = [this] {
      if (OnComplete) OnComplete();
    };
  }
  int32_t CreateRemote(const std::string& progId, const std::string& machine) override {
    return inner_->CreateRemote(progId, LoopbackMachine(machine, GetComputerName()));
  }
  int32_t CreatedObject(std::shared_ptr<RemoteObject>& object) override {
    return inner_->CreatedObject(object);
  }
  int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) override {
    return inner_->GetLastError(info, result);
  }
  void DeliverEvents() override { inner_->DeliverEvents(); }

 private:
  std::unique_ptr<CreateObj> inner_;
};

}  // namespace

std::string LoopbackMachine(const std::string& machine, const std::string& computer_name) {
  if (computer_name.empty()) return machine;
  size_t colon = machine.find(':');
  std::string host = machine.substr(0, colon);
  if (strcasecmp(host.c_str(), computer_name.c_str()) != 0) return machine;
  return "127.0.0.1" + (colon == std::string::npos ? std::string() : machine.substr(colon));
}

CreateObjMaker LoopbackForThisComputer(CreateObjMaker inner, bool tls) {
  if (tls) return inner;
  return [inner]() -> std::unique_ptr<CreateObj> {
    std::unique_ptr<CreateObj> made = inner ? inner() : nullptr;
    if (!made) return nullptr;
    return std::make_unique<LoopbackCreateObj>(std::move(made));
  };
}

}  // namespace zelta
