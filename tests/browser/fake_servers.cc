#include "fake_servers.h"

#include <stdlib.h>

#include "browser/configuration.h"
#include "browser/network_functions.h"
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

void BrowserTest::Discover() {
  AddServerNode(form, "", "", "");
  DiscoverServers(form);
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
