// Server objects in memory for the browser tests: Monitors, a main server's list, and a factory that hands
// them out by machine name, ends each creation after a while on the test's clock and records it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "browser/browser_state.h"
#include "browser/configuration.h"
#include "browser/network_functions.h"
#include "platform/registry.h"
#include "platform/ui_hooks.h"
#include "remote/create_obj.h"
#include "shared/pubblic_var.h"
#include "support/fake_form.h"
#include "support/scripted_printer.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta::test {

using namespace std::string_literals;
using Texts = std::vector<std::string>;

class FakeMonitor : public MonitorObject {
 public:
  std::string printers, net_printers;  // the lists handed out
  int32_t list_result = 0, net_result = 0, check_result = 0;
  std::shared_ptr<PrinterObject> printer;  // what GetPrinter hands out (null: nothing)
  std::string port_back;                   // when set, GetPrinter changes the port to it
  PrinterErrorInfo error{0x1234, "Monitor failure", "ZeltaServer.Monitor"};
  std::vector<std::string> calls;

  int32_t CheckPrinter(std::string& name, std::string& port, int32_t& result) override {
    calls.push_back("CheckPrinter " + name + " " + port);
    return result = check_result;
  }
  int32_t GetPrinter(std::string& name, std::string& port, std::shared_ptr<PrinterObject>& out) override {
    calls.push_back("GetPrinter " + name + " " + port);
    if (!port_back.empty()) port = port_back;
    out = printer;
    return printer ? 0 : error.Number;
  }
  int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) override {
    info = error;
    return result = 0;
  }
  int32_t GetResultText(int32_t code, std::string& text) override {
    text = "Result " + std::to_string(code);
    return 0;
  }
  int32_t GetPrinterCollection(std::string& list, int32_t& result) override {
    calls.push_back("GetPrinterCollection");
    if (!list_result) list = printers;
    return result = list_result;
  }
  int32_t GetNetPrinterCollection(std::string& list, int32_t& result) override {
    calls.push_back("GetNetPrinterCollection");
    if (!net_result) list = net_printers;
    return result = net_result;
  }
};

class FakeCollection : public ServerCollectionObject {
 public:
  std::vector<std::string> servers;
  int32_t fail = 0;  // result of AddServer and RemoveServer when not 0
  PrinterErrorInfo error{0x2345, "List is read-only", "ZeltaMainServer.ServerCollection"};

  int32_t AddServer(const std::string& name, const std::string&, int32_t& result) override {
    if (!fail && std::find(servers.begin(), servers.end(), name) == servers.end()) servers.push_back(name);
    return result = fail;
  }
  int32_t RemoveServer(const std::string& name, int32_t& result) override {
    if (!fail) servers.erase(std::remove(servers.begin(), servers.end(), name), servers.end());
    return result = fail;
  }
  int32_t ServerList(std::string& list) override {
    list.clear();
    for (const std::string& s : servers) list += s + std::string(1, '\0');
    return 0;
  }
  int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) override {
    info = error;
    return result = 0;
  }
  int32_t ServerInfo(std::string& text) override {
    text = "Main server SHOP0";
    return 0;
  }
};

// The network of a test: objects by "progId@machine"; a machine with none fails to create.
struct FakeNetwork {
  std::map<std::string, std::shared_ptr<RemoteObject>> objects;
  std::vector<std::string> creations;     // "progId@machine" in the order started
  std::vector<size_t> started_at_take;    // creations started when each result was taken
  double seconds = 0.02;                  // how long a creation takes on the test's clock
  std::function<void()> during_creation;  // run on each poll (e.g. a close request)

  // A Monitor with its printers and net printers and the results of its two lists.
  std::shared_ptr<FakeMonitor> Monitor(const std::string& machine, const std::string& printers = "",
                                       const std::string& net = "", int32_t list_result = 0,
                                       int32_t net_result = 0) {
    auto m = std::make_shared<FakeMonitor>();
    objects[kProgIdMonitor + "@"s + machine] = m;
    std::tie(m->printers, m->net_printers, m->list_result, m->net_result) =
        std::tie(printers, net, list_result, net_result);
    return m;
  }
  std::shared_ptr<FakeCollection> Collection(const std::string& machine) {
    auto collection = std::make_shared<FakeCollection>();
    objects[kProgIdServerCollection + "@"s + machine] = collection;
    return collection;
  }
};

// A creation that ends after the network's seconds on the test's clock with the object it holds.
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

// The usual browser test: scripted UI, the browser window as a fake form, shared variables reset, a registry
// file with the Zelta keys, and the fake network installed.
class BrowserTest : public ::testing::Test {
 protected:
  BrowserTest() {
    ResetPubblicVar();
    ResetBrowserVars();
    CurrentFormName = "StartForm";
    setenv("ZELTA_REGISTRY", dir.File("registry").c_str(), 1);
    setenv("USERDOMAIN", "SHOPNET", 1);
    RegCreateKey(kZeltaKey);
    InitProgramPaths(dir.File("Logo"));
    InstallCreateObjMaker([this] { return std::make_unique<FakeCreateObj>(&net); });
    form.unload = [this] { ++unloads; };
    form.show_main_server_dialog = [this] {
      ++dialogs;
      if (dialog) dialog();
    };
  }
  ~BrowserTest() override {
    InstallCreateObjMaker(nullptr);
    SetNetworkEnumerator(nullptr);
    ResetBrowserVars();
    ResetPubblicVar();
    unsetenv("ZELTA_REGISTRY");
  }
  void SetMainServer(const std::string& name) { RegWriteString(kZeltaKey, kMainServerValue, name); }
  // Adds the root and discovers the servers, as the window's first activation does.
  void Discover() {
    AddServerNode(form, "", "", "");
    DiscoverServers(form);
  }
  // The tree as "  " per level + text + " [image]" lines in display order; "*" marks the selected node.
  std::string TreeText() const {
    const ServerTree& tree = form.tvwServerCollection;
    std::string out;
    for (int id : tree.DisplayOrder()) {
      const TreeNode* n = tree.Node(id);
      int depth = 0;
      for (int p = n->parent; p; p = tree.Node(p)->parent) ++depth;
      out += std::string(2 * depth, ' ') + (id == tree.Selected() ? "*" : "") + n->text + " [" + n->image +
             "]\n";
    }
    return out;
  }
  // The messages, then the prompts, a line each; forgets them.
  std::string Said() {
    std::string out;
    for (const std::string& text : ui.messages) out += text + "\n";
    for (const std::string& text : ui.PromptTexts()) out += text + "\n";
    ui.messages.clear();
    ui.prompts.clear();
    return out;
  }
  // What a quiet end does not show: the server dialogs opened, an unloaded window, a busy one, a status
  // other than "Ready...".
  std::string Flags() const {
    std::string out = dialogs ? std::to_string(dialogs) + " dialog opened\n" : "";
    if (unloads) out += "unloaded\n";
    if (form.busy || form.parallel_creations) out += "busy\n";
    const std::string status = window.StatusPanelText(2);
    return out + (status == "Ready..." ? "" : "status " + status + "\n");
  }
  std::string State() { return TreeText() + Said() + Flags(); }

  TempDir dir;
  ScriptedUi ui;
  FakeForm window{"StartForm"};
  FakeNetwork net;
  StartFormState form;
  int unloads = 0, dialogs = 0;
  std::function<void()> dialog;  // what the server dialog does when it opens
  std::shared_ptr<ScriptedPrinter> printer = std::make_shared<ScriptedPrinter>();
};

}  // namespace zelta::test
