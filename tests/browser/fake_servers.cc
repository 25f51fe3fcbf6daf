#include "fake_servers.h"

#include <stdlib.h>

#include <algorithm>

#include "browser/configuration.h"
#include "platform/registry.h"
#include "platform/ui_hooks.h"

namespace zelta::test {
namespace {

class FakeCreateObj : public CreateObj {
 public:
  explicit FakeCreateObj(FakeNetwork* net) : net_(net) {}
  int32_t CreateRemote(const std::string& progId, const std::string& machine) override {
    key_ = progId + "@" + machine;
    net_->creations.push_back(key_);
    start_ = Timer();
    return 0;
  }
  int32_t CreatedObject(std::shared_ptr<RemoteObject>& object) override {
    net_->started_at_take.push_back(net_->creations.size());
    auto it = net_->objects.find(key_);
    object = done_ && it != net_->objects.end() ? it->second : nullptr;
    return 0;
  }
  int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) override {
    info = {kResultUnreachable, "No server answers on " + key_.substr(key_.find('@') + 1) + ".",
            "ZeltaWorker.CreateObj"};
    return result = 0;
  }
  void DeliverEvents() override {
    if (done_) return;
    if (net_->during_creation) net_->during_creation();
    if (Timer() - start_ >= net_->seconds - 1e-9) {
      done_ = true;
      OnComplete();
    }
  }

 private:
  FakeNetwork* net_;
  std::string key_;
  double start_ = 0;
  bool done_ = false;
};

}  // namespace

int32_t FakeMonitor::CheckPrinter(std::string& name, std::string& port, int32_t& result) {
  calls.push_back("CheckPrinter " + name + " " + port);
  return result = check_result;
}

int32_t FakeMonitor::GetPrinter(std::string& name, std::string& port, std::shared_ptr<PrinterObject>& out) {
  calls.push_back("GetPrinter " + name + " " + port);
  if (!port_back.empty()) port = port_back;
  out = printer;
  return printer ? 0 : error.Number;
}

int32_t FakeMonitor::GetLastError(PrinterErrorInfo& info, int32_t& result) {
  info = error;
  return result = 0;
}

int32_t FakeMonitor::GetResultText(int32_t code, std::string& text) {
  text = "Result " + std::to_string(code);
  return 0;
}

int32_t FakeMonitor::GetPrinterCollection(std::string& list, int32_t& result) {
  calls.push_back("GetPrinterCollection");
  if (list_result == 0) list = printers;
  return result = list_result;
}

int32_t FakeMonitor::GetNetPrinterCollection(std::string& list, int32_t& result) {
  calls.push_back("GetNetPrinterCollection");
  if (net_result == 0) list = net_printers;
  return result = net_result;
}

int32_t FakeCollection::AddServer(const std::string& name, const std::string&, int32_t& result) {
  if (fail) return result = fail;
  if (std::find(servers.begin(), servers.end(), name) == servers.end()) servers.push_back(name);
  return result = 0;
}

int32_t FakeCollection::ServerList(std::string& list) {
  list.clear();
  for (const std::string& s : servers) list += s + std::string(1, '\0');
  return 0;
}

int32_t FakeCollection::GetLastError(PrinterErrorInfo& info, int32_t& result) {
  info = error;
  return result = 0;
}

int32_t FakeCollection::ServerInfo(std::string& text) {
  text = info;
  return 0;
}

int32_t FakeCollection::RemoveServer(const std::string& name, int32_t& result) {
  if (fail) return result = fail;
  servers.erase(std::remove(servers.begin(), servers.end(), name), servers.end());
  return result = 0;
}

std::shared_ptr<FakeMonitor> FakeNetwork::Monitor(const std::string& machine) {
  auto m = std::make_shared<FakeMonitor>();
  objects[std::string(kProgIdMonitor) + "@" + machine] = m;
  return m;
}

std::shared_ptr<FakeCollection> FakeNetwork::Collection(const std::string& machine) {
  auto c = std::make_shared<FakeCollection>();
  objects[std::string(kProgIdServerCollection) + "@" + machine] = c;
  return c;
}

CreateObjMaker FakeNetwork::Maker() {
  return [this] { return std::make_unique<FakeCreateObj>(this); };
}

BrowserTest::BrowserTest() {
  ResetPubblicVar();
  ResetBrowserVars();
  CurrentFormName = "StartForm";
  setenv("ZELTA_REGISTRY", dir.File("registry").c_str(), 1);
  setenv("USERDOMAIN", "SHOPNET", 1);
  RegCreateKey(kZeltaKey);
  InitProgramPaths(dir.File("Logo"));
  InstallCreateObjMaker(net.Maker());
  form.unload = [this] { ++unloads; };
  form.show_main_server_dialog = [this] {
    ++dialogs;
    if (dialog) dialog();
  };
  form.open_printer_window = [this](PrinterWindow w, const std::string& text) {
    opened.emplace_back(w, text);
    opened_model = PrinterModelId;
    opened_printer = PrinterObj;
    return true;
  };
}

BrowserTest::~BrowserTest() {
  InstallCreateObjMaker(nullptr);
  ResetBrowserVars();
  ResetPubblicVar();
  unsetenv("ZELTA_REGISTRY");
}

void BrowserTest::SetMainServer(const std::string& name) {
  RegWriteString(kZeltaKey, kMainServerValue, name);
}

std::string BrowserTest::TreeText() const {
  const ServerTree& tree = form.tvwServerCollection;
  std::string out;
  for (int id : tree.DisplayOrder()) {
    const TreeNode* n = tree.Node(id);
    int depth = 0;
    for (int p = n->parent; p; p = tree.Node(p)->parent) ++depth;
    out +=
        std::string(2 * depth, ' ') + (id == tree.Selected() ? "*" : "") + n->text + " [" + n->image + "]\n";
  }
  return out;
}

}  // namespace zelta::test
