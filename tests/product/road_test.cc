// The road a technician walks through the windows' own controls (offscreen, real message boxes clicked):
// the browser and logo windows against a zelta-server on loopback whose virtual printers keep their NV
// memory and paper in files, with a sample logo from data/ chosen in the Open dialog.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "browser/configuration.h"
#include "browser/local_machine.h"
#include "browser/start_form.h"
#include "browser/start_up.h"
#include "memory/logo_form.h"
#include "memory/logo_widgets.h"
#include "platform/qt_ui_hooks.h"
#include "printer/emu_host.h"
#include "remote/create_remote_object.h"
#include "remote/grpc_create_obj.h"
#include "remote/server_objects.h"
#include "server_process.h"
#include "shared/pubblic_var.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

constexpr int kCapacity46 = 393216;  // NV graphics memory of the two-colour model

// The Qt hooks, but the Open dialog chooses the sample.
class RoadUi : public QtUiHooks {
 public:
  bool OpenFiles(const std::string&, const std::string&, std::vector<std::string>& files) override {
    files = {sample};
    return true;
  }
  std::string sample;
};

class ProductRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPubblicVar();
    std::filesystem::create_directory(paper);
    ASSERT_TRUE(StartServer(*server, ZELTA_SERVER_PROGRAM, dir.path(), "ROAD",
                            "printer = Counter, emu:46:" + nv + ":" + paper + "\nprinter = Colour, emu:36"));
    dir.Write("registry",
              "[SOFTWARE\\Zelta]\nInstallationType=LOCAL\n[SOFTWARE\\Zelta\\Remote]\nServerPort=" +
                  std::to_string(server->port()) + "\n");
    setenv("ZELTA_REGISTRY", dir.File("registry").c_str(), 1);
    // As the program starts: its folder is that of the built Logo, with its INI file, tables and icons.
    InitProgramPaths(ZELTA_LOGO_PROGRAM);
    ui.sample = ZELTA_SAMPLE_DIR "/shop_name.bmp";
    InstallUiHooks(&ui);
    InstallCreateObjMaker(LoopbackForThisComputer(GrpcCreateObjMaker(BrowserRemoteSettings), false));
    SetLogoWindowOpener([](QWidget* owner) { ShowLogoForm(owner); });
    // Every message box is clicked (Yes, else OK) as it opens, and its text kept.
    QObject::connect(&answerer, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      prompts.push_back(box->text().toStdString());
      QAbstractButton* b =
          box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok);
      ASSERT_NE(b, nullptr) << prompts.back();
      Click(b);
    });
    answerer.start(20);
  }
  void TearDown() override {
    answerer.stop();
    delete browser.data();
    SetLogoWindowOpener(nullptr);
    InstallUiHooks(nullptr);
    PrinterObj.reset();
    server.reset();
    unsetenv("ZELTA_REGISTRY");
    ResetPubblicVar();
  }
  static bool Wait(const std::function<bool()>& done, int ms = 10000) { return QTest::qWaitFor(done, ms); }
  static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  // The first thumbnail selected, with a click if it is not.
  static void SelectFirst(LogoForm* form) {
    if (form->Thumbnail(1)->accessibleDescription() != "selected") Click(form->Thumbnail(1));
  }
  LogoForm* OpenLogoForm() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = qobject_cast<LogoForm*>(w); f && f->isVisible()) return f;
    return nullptr;
  }
  // The virtual printer's NV memory as it stands in its file, read by a second virtual printer: the keys
  // stored and the bytes free.
  std::string StoredNv() {
    std::filesystem::copy_file(nv, dir.File("copy.nv"), std::filesystem::copy_options::overwrite_existing);
    emu::EmuOptions options;
    options.model_id = 46;
    options.state_file = dir.File("copy.nv");
    std::string error, out;
    auto p = emu::VirtualPrinter::Create(options, error);
    if (!p) return error;
    for (const std::string& key : p->KeyCodes()) out += key + " ";
    return out + "free " + std::to_string(p->NvRemaining());
  }
  std::vector<std::string> PaperFiles() {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(paper)) files.push_back(e.path().string());
    return files;
  }

  TempDir dir;
  const std::string nv = dir.File("46.nv"), paper = dir.File("paper");
  std::unique_ptr<ChildProgram> server = std::make_unique<ChildProgram>();
  RoadUi ui;
  QTimer answerer;
  std::vector<std::string> prompts;
  QPointer<StartForm> browser;
};

TEST_F(ProductRoadTest, TreeConnectAddDownloadPrintDeleteCloseQuit) {
  // The tree fills with this computer's printers.
  browser = new StartForm;
  ASSERT_TRUE(browser->Load(AppFolder + "icons/"));
  browser->show();
  QTreeWidget* tree = browser->tvwServerCollection();
  QTreeWidgetItem* counter = nullptr;
  ASSERT_TRUE(Wait([&] {
    auto found = tree->findItems("Counter:emu:46:", Qt::MatchStartsWith | Qt::MatchRecursive);
    counter = found.isEmpty() ? nullptr : found[0];
    return counter && !browser->state().busy;
  }));
  EXPECT_EQ(tree->findItems("Colour:emu:36", Qt::MatchExactly | Qt::MatchRecursive).size(), 1);
  EXPECT_TRUE(counter->parent()->isExpanded() && !counter->icon(0).isNull());
  // LOCAL mode: no main server to choose, no server to delete.
  EXPECT_EQ(browser->windowTitle(), "Zelta - Logo");
  EXPECT_EQ(browser->StatusPanelText(1), "LOCAL");
  EXPECT_FALSE(browser->Action("mnuOptions")->isVisible() ||
               browser->Action("mnuTVDeleteServer")->isVisible());

  // Double click on the two-colour printer: the logo window opens on it, the browser hides.
  tree->scrollToItem(counter);
  tree->setCurrentItem(counter);
  const QRect row = tree->visualItemRect(counter);
  QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, row.center() - QPoint(row.width() / 2 - 30, 0));
  LogoForm* form = nullptr;
  ASSERT_TRUE(Wait([&] { return (form = OpenLogoForm()) != nullptr; }));
  QPointer<LogoForm> logo_window = form;
  EXPECT_TRUE(form->parentWidget() == browser.data() && !browser->isVisible());
  ASSERT_TRUE(Wait([&] { return form->lblMemFree->text() == QString::number(kCapacity46); }));
  EXPECT_EQ(form->lblMemUsed->text(), "0");
  EXPECT_FALSE(form->Thumbnail(1) && form->Thumbnail(1)->isVisible()) << "nothing stored yet";

  // Add the sample through the Open dialog; two colours on its page.
  Click(form->cmdAddLogo);
  ASSERT_TRUE(Wait([&] { return form->Thumbnail(1) && !form->state().busy; }));
  EXPECT_EQ(form->Thumbnail(1)->accessibleName(), "New(00)");
  ASSERT_EQ(form->TabStrip->count(), 2);
  QTest::mouseClick(form->TabStrip, Qt::LeftButton, {}, form->TabStrip->tabRect(1).center());
  LogoPage* page = form->Page(1);
  ASSERT_TRUE(page && page->isVisible());
  page->cmbColor->setFocus();
  QTest::keyClick(page->cmbColor, Qt::Key_Down);
  EXPECT_EQ(form->state().Slot(1).cmbColor.selected, 1) << page->cmbColor->currentText().toStdString();
  QTest::mouseClick(form->TabStrip, Qt::LeftButton, {}, form->TabStrip->tabRect(0).center());
  ASSERT_TRUE(form->picFrameAll->isVisible());

  // Download it: the gallery shows it stored, the memory figures move, and the printer's file holds it.
  Click(form->Thumbnail(1));
  ASSERT_TRUE(form->cmdDwldLogo->isEnabled());
  Click(form->cmdDwldLogo);
  ASSERT_TRUE(
      Wait([&] { return !form->state().busy && form->Thumbnail(1)->accessibleName() == "Logo(00)"; }, 20000));
  const int used = form->lblMemUsed->text().toInt();
  EXPECT_GT(used, 2 * (496 / 8) * 120) << "two planes of the 496 × 120 logo";
  EXPECT_EQ(form->lblMemFree->text().toInt(), kCapacity46 - used);
  EXPECT_EQ(StoredNv(), "00 free " + std::to_string(kCapacity46 - used));

  // Print it: a receipt on paper, with black and red dots.
  SelectFirst(form);
  Click(form->cmdPrintMemLogos);
  ASSERT_TRUE(Wait([&] { return !PaperFiles().empty() && !form->state().busy; }));
  QTest::qWait(200);  // the file is renamed into place whole; give the reader a settled one
  const QImage receipt(QString::fromStdString(PaperFiles().front()));
  ASSERT_FALSE(receipt.isNull());
  int black = 0, red = 0;
  for (int k = 0; k < receipt.width() * receipt.height(); ++k) {
    const QRgb p = receipt.pixel(k % receipt.width(), k / receipt.width());
    black += qRed(p) < 64 && qGreen(p) < 64;
    red += qRed(p) > 160 && qGreen(p) < 80;
  }
  EXPECT_TRUE(black > 2000 && red > 1000)
      << black << " black dots (the shop name), " << red << " red (the rule)";

  // Delete it: the confirmation is answered Yes; the printer's file is empty again.
  SelectFirst(form);
  ASSERT_TRUE(form->cmdDelLogo->isEnabled());
  EXPECT_TRUE(prompts.empty()) << "no message on the way: " << prompts.front();
  Click(form->cmdDelLogo);
  ASSERT_TRUE(Wait([&] { return !form->state().busy && form->lblMemUsed->text() == "0"; }));
  EXPECT_EQ(prompts.size(), 1u) << "the confirmation";
  EXPECT_EQ(form->lblMemFree->text(), QString::number(kCapacity46));
  EXPECT_EQ(StoredNv(), "free " + std::to_string(kCapacity46));

  // Close the logo window: back to the tree, the printer let go.
  Click(form->cmdExit);
  ASSERT_TRUE(Wait([&] { return logo_window.isNull() && browser->isVisible(); }));
  EXPECT_TRUE(PrinterObj == nullptr && CurrentFormName == "StartForm");

  // Quit through the menu: the browser closes, no window is left.
  browser->Action("mnuExit")->trigger();
  ASSERT_TRUE(Wait([&] { return browser.isNull() || !browser->isVisible(); }, 5000));
  for (QWidget* w : QApplication::topLevelWidgets())
    EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();

  // The printer is free for the next client, and after the server ends nothing of it runs.
  RemoteCreationState creation;
  auto monitor = std::dynamic_pointer_cast<MonitorObject>(
      CreateRemoteObject(kProgIdMonitor, "127.0.0.1:" + std::to_string(server->port()), creation));
  ASSERT_TRUE(monitor);
  std::string name = "Counter", port;
  std::shared_ptr<PrinterObject> printer;
  monitor->GetPrinter(name, port, printer);
  ASSERT_TRUE(printer);
  EXPECT_TRUE(printer->ClaimPrinter() == 0 && printer->ReleasePrinter() == 0) << "released on every path";
  printer.reset();
  monitor.reset();
  server.reset();
  errno = 0;
  EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD) << "a child process is left";
}

}  // namespace
}  // namespace zelta::test
