#include "browser/network_functions.h"

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <utility>

#include "browser/configuration.h"
#include "browser/parallel_creations.h"
#include "link/forms.h"
#include "link/status_texts.h"
#include "platform/computer_name.h"
#include "platform/registry.h"
#include "platform/ui_hooks.h"
#include "remote/remote_settings.h"
#include "shared/bytes.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

constexpr char kRootKey[] = "Root";
constexpr int kListBlanks = 255;
constexpr int kEnumerationTimeoutMs = 3000;

size_t discovery_concurrency = 128;

NetworkEnumerator& Enumerator() {
  static NetworkEnumerator enumerator;
  return enumerator;
}

// The parent of server nodes: the root in main-server mode, the top level in LOCAL mode.
int ServerParent(const ServerTree& tree) { return LocalInstallation ? 0 : tree.First(); }

void OpenMainServerDialog(StartFormState& form) {
  MainServerMode = true;
  if (form.show_main_server_dialog) form.show_main_server_dialog();
}

std::string ErrorLine(const std::string& head, const PrinterErrorInfo& info, const std::string& what,
                      const std::string& name) {
  return head + Str(info.Number) + " getting " + what + " from server on " + name + "." + "\r" +
         "Description: " + info.Description;
}

// Runs call on a worker thread and yields with DoEvents until it has returned, so that a server that
// is slow to answer does not freeze the window. The window counts the call as pending: a close request
// meanwhile sets ClosePending, which the caller tests afterwards.
template <typename F>
void CallYielding(StartFormState& form, F call) {
  ++form.calls_pending;
  auto done = std::async(std::launch::async, std::move(call));
  while (done.wait_for(std::chrono::microseconds(200)) != std::future_status::ready) DoEvents();
  --form.calls_pending;
}

// What one server's Monitor said about its printers.
struct ServerLists {
  std::string printers, net;
  int32_t printers_result = 0, net_result = 0;
  PrinterErrorInfo printers_error, net_error;
};

// One server's part of discovery or refresh with the Monitor created for it (null: unreachable).
// net_list is null for a refresh, which reads no net printers. False when the window was closed
// meanwhile and has been unloaded.
bool ServerPass(StartFormState& form, const std::string& name, const std::shared_ptr<RemoteObject>& object,
                std::string* net_list) {
  std::string printers, suffix;
  auto monitor = std::dynamic_pointer_cast<MonitorObject>(object);
  if (monitor) {
    if (net_list) SetStatusText(kPanelProgram, "Getting info from " + name + "(S)...");
    const bool want_net = net_list && net_list->empty();
    ServerLists lists;
    CallYielding(form, [&] {
      int32_t result = 0;
      lists.printers.assign(kListBlanks, ' ');
      monitor->GetPrinterCollection(lists.printers, lists.printers_result);
      if (lists.printers_result != 0) {
        monitor->GetLastError(lists.printers_error, result);
      } else if (want_net) {
        lists.net.assign(kListBlanks, ' ');
        monitor->GetNetPrinterCollection(lists.net, lists.net_result);
        if (lists.net_result != 0) monitor->GetLastError(lists.net_error, result);
      }
    });
    if (form.creation.ClosePending) {
      UnloadStartForm(form);
      return false;
    }
    if (lists.printers_result != 0) {
      ShowMessage(ErrorLine(net_list ? "Raised error code " : "Raise error code: ", lists.printers_error,
                            "printer collection", name));
      suffix = kSuffixBusy;
    } else {
      printers = lists.printers;
      if (want_net && lists.net_result != 0) {
        ShowMessage(ErrorLine("Raised error code ", lists.net_error, "net printer collection", name));
      } else if (want_net) {
        *net_list = lists.net;
      }
    }
    SetStatusText(kPanelProgram, kTextReady);
  } else {
    suffix = kSuffixUnreachable;
  }
  AddServerNode(form, name, printers, suffix);
  return true;
}

// Entries "first<sep>second", each ended by NUL (a last entry without one ends with the list): the two
// parts of each. An entry without the separator is skipped.
template <typename F>
void ForEachEntry(const std::string& list, char sep, F f) {
  size_t pos = 0;
  while (pos < list.size()) {
    size_t end = list.find('\0', pos);
    if (end == std::string::npos) end = list.size();
    size_t at = list.find(sep, pos);
    if (at < end) f(list.substr(pos, at - pos), list.substr(at + 1, end - at - 1));
    pos = end + 1;
  }
}

}  // namespace

std::vector<std::string> SplitServerList(const std::string& list) {
  std::vector<std::string> names;
  size_t pos = 0;
  while (pos < list.size()) {
    size_t end = list.find('\0', pos);
    if (end == std::string::npos) end = list.size();
    if (end > pos) names.push_back(list.substr(pos, end - pos));
    pos = end + 1;
  }
  return names;
}

void AddServerNode(StartFormState& form, const std::string& name, const std::string& list,
                   const std::string& suffix) {
  ServerTree& tree = form.tvwServerCollection;
  if (!LocalInstallation && tree.Count() == 0) {
    int root = tree.Add(0, kRootKey, UserDomain(), kImageDomain);
    tree.Node(root)->sorted = true;
    tree.Node(root)->expanded = true;
  }
  if (name.empty()) return;
  int parent = ServerParent(tree);
  int server = 0;
  for (int id : tree.Children(parent)) {
    if (tree.Node(id)->key == name) server = id;
  }
  if (server != 0) {
    tree.RemoveChildren(server);
    tree.Select(server);
    tree.Node(server)->expanded = true;
    tree.Node(server)->text = name + suffix;
  } else {
    server = tree.Add(parent, name, name + suffix, kImageServer);
    if (server == 0) return;  // the name is already the key of another node
    tree.Node(server)->sorted = true;
    tree.Node(server)->expanded = name == GetComputerName();
  }
  ForEachEntry(list, '=', [&](const std::string& port, const std::string& printer) {
    tree.Add(server, name + "\\" + printer + ":" + port, printer + ":" + port, kImagePrinter, port);
  });
}

void AddNetPrinterNodes(StartFormState& form, const std::string& list) {
  ServerTree& tree = form.tvwServerCollection;
  int parent = ServerParent(tree);
  ForEachEntry(list, ':', [&](const std::string& host, const std::string& rest) {
    size_t eq = rest.find('=');
    if (eq == std::string::npos) return;
    std::string port = rest.substr(0, eq), name = rest.substr(eq + 1);
    tree.Add(parent, name + ":" + port, name + ":" + port + "(" + host + ")", kImageNetPrinter, port);
  });
}

void DiscoverServers(StartFormState& form) {
  std::string list;
  if (LocalInstallation) {
    list = GetComputerName() + std::string(1, '\0');
  } else {
    std::string main_server;
    RegReadString(kZeltaKey, kMainServerValue, main_server);
    if (main_server.empty()) {
      OpenMainServerDialog(form);
    } else {
      SetStatusText(kPanelProgram, "Connecting to " + main_server + "(MS)...");
      CreateServerCollection(main_server, form.creation);
      if (form.creation.ClosePending) {
        ServerCollectionObj.reset();
        UnloadStartForm(form);
        return;
      }
      if (!ServerCollectionObj) {
        SetStatusText(kPanelProgram, kTextReady);
        if (MsgBox("Select a new MainServer?", MsgBoxButtons::kYesNo, MsgBoxIcon::kQuestion) ==
            MsgBoxResult::kYes) {
          OpenMainServerDialog(form);
        }
      }
    }
    if (ServerCollectionObj) {
      SetStatusText(kPanelProgram, "Getting info...");
      std::string info;
      CallYielding(form, [&] {
        ServerCollectionObj->ServerInfo(info);
        ServerCollectionObj->ServerList(list);
      });
      ServerCollectionObj.reset();
      if (form.creation.ClosePending) return UnloadStartForm(form);
      SetStatusText(kPanelInfo, info);
    }
  }

  std::vector<std::string> names = SplitServerList(list);
  if (!names.empty()) {
    std::string net_list;
    ParallelCreations creations(kProgIdMonitor, names, &form.parallel_creations, discovery_concurrency);
    for (size_t i = 0; i < names.size(); ++i) {
      SetStatusText(kPanelProgram, "Connecting to " + names[i] + "(S)...");
      std::shared_ptr<RemoteObject> object = creations.Take(i);
      if (form.creation.ClosePending) {
        object.reset();
        ServerCollectionObj.reset();
        UnloadStartForm(form);
        return;
      }
      if (!ServerPass(form, names[i], object, &net_list)) return;
    }
    if (!net_list.empty()) AddNetPrinterNodes(form, net_list);
  }
  ServerTree& tree = form.tvwServerCollection;
  if (tree.Selected() == 0) tree.Select(tree.First());
  SetStatusText(kPanelProgram, kTextReady);
  SetBusy(form, false);
}

void RefreshServer(StartFormState& form, const std::string& name) {
  SetStatusText(kPanelProgram, "Connecting to " + name + "(S)...");
  std::shared_ptr<RemoteObject> object = CreateRemoteObject(kProgIdMonitor, name, form.creation);
  if (form.creation.ClosePending) {
    object.reset();
    UnloadStartForm(form);
    return;
  }
  if (!ServerPass(form, name, object, nullptr)) return;
  SetStatusText(kPanelProgram, kTextReady);
}

void SetDiscoveryConcurrency(size_t servers) { discovery_concurrency = servers; }

void SetNetworkEnumerator(NetworkEnumerator enumerator) { Enumerator() = std::move(enumerator); }

void ListNetworkComputers(std::vector<std::string>& combo, const std::string& container) {
  NetworkComputers found;
  if (Enumerator()) {
    found = Enumerator()(container);
  } else {
    // The enumeration runs on a thread of its own while the window keeps running. A message bus that
    // does not answer could hold it far longer than the enumeration's own bound: the window then stops
    // waiting, takes the network as unavailable, and the thread ends on its own later.
    auto result = std::make_shared<std::promise<NetworkComputers>>();
    std::future<NetworkComputers> pending = result->get_future();
    std::thread([container, result] {
      result->set_value(EnumNetworkComputers(container, kDefaultServerPort, kEnumerationTimeoutMs));
    }).detach();
    const double give_up = Timer() + (kEnumerationTimeoutMs + 2000) / 1000.0;
    while (pending.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready &&
           Timer() < give_up) {
      DoEvents();
    }
    if (pending.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      found = pending.get();
    } else {
      found.open_result = kNetUnavailable;
    }
  }
  if (found.open_result != kNetOk) {
    MsgBox(found.open_result == kNetUnavailable ? "The network is unavailable."
                                                : "Error" + Str(found.open_result) + " by WNetOpenEnum.",
           MsgBoxButtons::kOk, MsgBoxIcon::kNone);
    return;
  }
  for (const std::string& name : found.names) combo.push_back(name);
  if (found.enum_result != kNetOk) {
    MsgBox("Error" + Str(found.enum_result) + " by WNetEnumResource.", MsgBoxButtons::kOk, MsgBoxIcon::kNone);
  }
}

}  // namespace zelta
