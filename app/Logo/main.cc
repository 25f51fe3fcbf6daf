// Logo: the logo program of the shop's receipt printers. It starts with the browser window, which
// shows the shop's servers and printers; connecting to a printer opens the window of the program
// variant, which is the upper-cased file name the program was started under ("LOGO"; "OPOSETUP",
// "DEMO", "SETUP", "MEMORY" and "KDM410G" are links to the same program).
#include <QApplication>
#include <QIcon>

#include "browser/browser_state.h"
#include "browser/configuration.h"
#include "browser/local_machine.h"
#include "browser/start_form.h"
#include "browser/start_up.h"
#include "memory/logo_form.h"
#include "platform/instance_lock.h"
#include "platform/qt_ui_hooks.h"
#include "remote/grpc_create_obj.h"
#include "shared/pubblic_var.h"

int main(int argc, char** argv) {
  zelta::InitProgramPaths(argc > 0 ? argv[0] : "Logo");
  // A second start while one instance runs ends silently, before any window shows.
  zelta::InstanceLock instance(zelta::ProgramVariant());
  if (!instance.Held()) return 0;

  QApplication app(argc, argv);
  QApplication::setApplicationName(zelta::kProgramTitle);
  QApplication::setWindowIcon(QIcon(QString::fromStdString(zelta::AppFolder + "icons/PRINTER.png")));
  zelta::QtUiHooks hooks;
  zelta::InstallUiHooks(&hooks);

  const zelta::RemoteSettings settings = zelta::BrowserRemoteSettings();
  zelta::InstallCreateObjMaker(zelta::LoopbackForThisComputer(
      zelta::GrpcCreateObjMaker(zelta::BrowserRemoteSettings), !settings.trusted_certificate_file.empty()));

  // The logo window opens on the connected printer.
  zelta::SetLogoWindowOpener([](QWidget* owner) { zelta::ShowLogoForm(owner); });

  auto* form = new zelta::StartForm;
  if (!form->Load(zelta::AppFolder + "icons/")) {
    delete form;
    zelta::InstallUiHooks(nullptr);
    return 1;
  }
  form->show();
  int status = app.exec();
  zelta::PrinterObj.reset();
  zelta::InstallUiHooks(nullptr);
  return status;
}
