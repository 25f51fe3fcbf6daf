// Discovery: a main server listing N answering zelta-server processes and D machines that take the
// connection but never answer (each costs the factory's connect time-out, 3 s by default), all on
// loopback. Start: the browser window from its creation to an idle tree in LOCAL mode with three
// printers (in process, offscreen), and the loading of the program's process.
//
//   build/bench/browser_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <QApplication>
#include <QTreeWidget>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "browser/configuration.h"
#include "browser/local_machine.h"
#include "browser/network_functions.h"
#include "browser/server_process.h"
#include "browser/start_form.h"
#include "browser/start_up.h"
#include "link/forms.h"
#include "platform/instance_lock.h"
#include "platform/registry.h"
#include "platform/ui_hooks.h"
#include "remote/grpc_create_obj.h"
#include "shared/pubblic_var.h"
#include "support/temp_dir.h"

extern char** environ;

namespace zelta::bench {
namespace {

using test::ChildProgram;
using test::SilentListener;

// Answers every prompt with OK, counts them, and runs on the real clock.
class QuietUi : public UiHooks {
 public:
  int prompts = 0;
  MsgBoxResult MsgBox(const std::string&, MsgBoxButtons, MsgBoxIcon, const std::string&) override {
    ++prompts;
    return MsgBoxResult::kOk;
  }
  void ShowMessageWindow(const std::string&, Form*) override { ++prompts; }
  bool OpenFiles(const std::string&, const std::string&, std::vector<std::string>&) override { return false; }
  void DoEvents() override {
    if (QApplication::instance()) QApplication::processEvents();
  }
  double Timer() override { return MonotonicSeconds(); }
  uint32_t GetTickCount() override { return MonotonicMilliseconds(); }
};

struct Shop {
  test::TempDir dir;
  std::vector<std::unique_ptr<ChildProgram>> servers;
  std::vector<std::unique_ptr<SilentListener>> dead;
  std::vector<std::string> names;  // answering servers, in start order

  void Grow(size_t answering, size_t silent) {
    while (servers.size() < answering) {
      auto child = std::make_unique<ChildProgram>();
      std::string name = "SHOP" + std::to_string(servers.size() + 1);
      if (!test::StartServer(*child, ZELTA_SERVER_PROGRAM, dir.path(), name, "printer = Receipt, emu:46")) {
        std::fprintf(stderr, "cannot start %s\n", name.c_str());
        std::exit(1);
      }
      names.push_back("127.0.0.1:" + std::to_string(child->port()));
      servers.push_back(std::move(child));
    }
    while (dead.size() < silent) dead.push_back(std::make_unique<SilentListener>());
  }
  // The list of a main server: the silent machines spread among the answering ones.
  std::string List(size_t answering, size_t silent) const {
    std::string list;
    size_t every = silent ? std::max<size_t>(1, answering / silent) : 0;
    size_t d = 0;
    for (size_t i = 0; i < answering; ++i) {
      list += names[i] + '\n';
      if (every && (i + 1) % every == 0 && d < silent)
        list += "127.0.0.1:" + std::to_string(dead[d++]->port()) + '\n';
    }
    for (; d < silent; ++d) list += "127.0.0.1:" + std::to_string(dead[d]->port()) + '\n';
    return list;
  }
};

Shop& TheShop() {
  static Shop shop;
  return shop;
}

void Discovery(benchmark::State& state) {
  const size_t answering = static_cast<size_t>(state.range(0)), silent = static_cast<size_t>(state.range(1));
  Shop& shop = TheShop();
  shop.Grow(answering, silent);
  std::ofstream(shop.dir.File("list.txt")) << shop.List(answering, silent);
  ChildProgram main;
  if (!test::StartServer(main, ZELTA_SERVER_PROGRAM, shop.dir.path(), "MAIN",
                         "main_server = yes\nserver_list = " + shop.dir.File("list.txt"))) {
    state.SkipWithError("main server did not start");
    return;
  }
  setenv("ZELTA_REGISTRY", shop.dir.File("registry").c_str(), 1);
  RegCreateKey(kZeltaKey);
  RegWriteString(kZeltaKey, kMainServerValue, "127.0.0.1:" + std::to_string(main.port()));
  QuietUi ui;
  InstallUiHooks(&ui);
  InstallCreateObjMaker(GrpcCreateObjMaker([] { return RemoteSettings(); }));
  SetDiscoveryConcurrency(static_cast<size_t>(state.range(2)));
  LocalInstallation = false;
  size_t servers_shown = 0;
  for (auto _ : state) {
    StartFormState form;
    AddServerNode(form, "", "", "");
    DiscoverServers(form);
    servers_shown = form.tvwServerCollection.Children(form.tvwServerCollection.First()).size();
  }
  if (servers_shown != answering + silent) state.SkipWithError("not every server was shown");
  state.counters["servers"] = static_cast<double>(servers_shown);
  state.counters["unreachable_messages"] = ui.prompts / static_cast<double>(state.iterations());
  SetDiscoveryConcurrency(128);
  InstallCreateObjMaker(nullptr);
  InstallUiHooks(nullptr);
}

void StartToIdleTree(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "Logo";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!QApplication::instance()) new QApplication(argc, argv);
  test::TempDir dir;
  ChildProgram server;
  if (!test::StartServer(
          server, ZELTA_SERVER_PROGRAM, dir.path(), "TILL",
          "printer = Receipt, emu:46\nprinter = Colour, emu:36\nprinter = Slip, emu:161, escq")) {
    state.SkipWithError("server did not start");
    return;
  }
  setenv("ZELTA_REGISTRY", dir.File("registry").c_str(), 1);
  RegCreateKey(kRemoteRegistryKey);
  RegWriteString(kRemoteRegistryKey, "ServerPort", std::to_string(server.port()));
  InitProgramPaths(dir.File("Logo"));
  QuietUi ui;
  InstallUiHooks(&ui);
  InstallCreateObjMaker(LoopbackForThisComputer(GrpcCreateObjMaker(BrowserRemoteSettings), false));
  int printers = 0;
  for (auto _ : state) {
    auto* form = new StartForm;
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    form->Load(ZELTA_ICON_DIR "/");
    form->show();
    while (!form->state().Activated || form->state().busy)
      QApplication::processEvents(QEventLoop::AllEvents, 1);
    printers = form->tvwServerCollection()->topLevelItem(0)->childCount();
    state.PauseTiming();
    delete form;
    QApplication::processEvents();
    state.ResumeTiming();
  }
  if (printers != 3) state.SkipWithError("the tree does not show the three printers");
  InstallCreateObjMaker(nullptr);
  InstallUiHooks(nullptr);
}

// The process part of a start: the program is loaded (with Qt and gRPC) and finds another instance
// running, so it ends before its window.
void ProcessLoad(benchmark::State& state) {
  test::TempDir dir;
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  InstanceLock running("LOGO");
  for (auto _ : state) {
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(ZELTA_LOGO_PROGRAM), nullptr};
    if (posix_spawn(&pid, ZELTA_LOGO_PROGRAM, nullptr, nullptr, argv, environ) != 0) {
      state.SkipWithError("cannot start Logo");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
  }
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace zelta::bench

// Arguments: answering servers, silent machines, servers asked at once.
BENCHMARK(zelta::bench::Discovery)
    ->Args({10, 0, 128})
    ->Args({10, 10, 128})
    ->Args({100, 0, 128})
    ->Args({90, 10, 128})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// One after another, for comparison.
BENCHMARK(zelta::bench::Discovery)
    ->Args({10, 0, 1})
    ->Args({100, 0, 1})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(zelta::bench::Discovery)
    ->Args({10, 10, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(zelta::bench::StartToIdleTree)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(zelta::bench::ProcessLoad)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
