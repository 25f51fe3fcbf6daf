// The logo window opened on a printer object from zelta-server, with a virtual printer behind it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "browser/configuration.h"
#include "image/bmp_test_files.h"
#include "image/gallery.h"
#include "imglib/zelta_img.h"
#include "memory/logo_form.h"
#include "memory/logo_widgets.h"
#include "memory/nv_commands.h"
#include "remote/remote_fixture.h"
#include "shared/pubblic_var.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

class LogoFormRemoteTest : public RemoteTest {
 protected:
  void SetUp() override {
    ResetPubblicVar();
    InitProgramPaths("/nonexistent/zelta/Logo");
    SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(std::string(ZELTA_TEST_DATA).size()));
    StartVirtualPrinter(46);
    StartServer(VirtualPrinterConfig("Counter"), DefaultPortPrinterFactory());
    ASSERT_TRUE(PrinterObj = NamedPrinter("Counter"));
  }
  void TearDown() override {
    delete form;
    ResetPubblicVar();
  }

  ScriptedUi ui;
  TempDir dir;
  LogoForm* form = nullptr;
};

TEST_F(LogoFormRemoteTest, GalleryAndMemoryShowWhatThePrinterStores) {
  // Three logos stored, then GS I 1 answered: the printer has taken them all.
  const uint32_t stored = (11 + 25 * 40) + (11 + 48 * 96) + (11 + 8 * 64);
  ASSERT_EQ(PrinterObj->ClaimPrinter(), kResultOk);
  Bytes data =
      DefineLogo("A1", 200, 40, 0xF0) + DefineLogo("B2", 384, 96, 0x0F) + DefineLogo("C3", 64, 64, 0x3C);
  int32_t written = 0, count = 0;
  ASSERT_EQ(PrinterObj->WriteData(data, static_cast<int32_t>(data.size()), written, kWriteOrdinary),
            kResultOk);
  ASSERT_EQ(PrinterObj->WriteData(CmdModelId(), 3, written, kWriteRealTime), kResultOk);
  std::string byte(1, ' ');
  ASSERT_EQ(PrinterObj->ReadData(byte, 1, count), kResultOk);
  ASSERT_EQ(PrinterObj->ReleasePrinter(), kResultOk);
  ASSERT_EQ(emu->KeyCodes().size(), 3u);

  PrinterModelId = 46;
  form = new LogoForm();
  form->show();
  form->StartTimer->start(0);
  for (int k = 0; k < 1000 && form->state().busy; ++k) QTest::qWait(10);
  ASSERT_FALSE(form->state().busy);
  EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
  for (int i = 1; i <= 3; ++i) {
    ASSERT_NE(form->Thumbnail(i), nullptr);
    EXPECT_TRUE(form->Thumbnail(i)->isVisible());
    EXPECT_EQ(form->Thumbnail(i)->accessibleName().toStdString(), "Logo(" + emu->KeyCodes()[i - 1] + ")");
  }
  EXPECT_EQ(form->Thumbnail(4), nullptr);
  const uint32_t capacity = 393216;  // the NV graphics memory of this model
  EXPECT_EQ(form->lblMemFree->text().toStdString(), std::to_string(capacity - stored));
  EXPECT_EQ(form->lblMemUsed->text().toStdString(), std::to_string(stored));
  EXPECT_EQ(form->lblMemFree->text().toLongLong(), emu->NvRemaining());
  EXPECT_EQ(form->StatusPanel(1)->text(), "Printer ready...");

  // For the README: the gallery with stored and new logos, and one new logo's page.
  if (const char* shots = std::getenv("ZELTA_SCREENSHOT_DIR")) {
    BmpSpec spec;
    spec.width = 480;
    spec.height = 160;
    spec.pixel = [](int x, int y) {
      const int dx = x - 80, dy = y - 80;
      if (dx * dx + dy * dy < 70 * 70) return (dx * dx + dy * dy < 40 * 40) ? 0xFFFFFFu : 0xC01010u;
      if (x > 170 && x < 460 && y > 40 && y < 120 && ((x / 24) % 2 == 0 || y < 56 || y > 104))
        return 0x101010u;
      const uint32_t g = static_cast<uint32_t>(255 - y * 255 / 160);
      return (g << 16) | (g << 8) | g;
    };
    ui.open_results.push_back(
        {dir.Write("shop.bmp", MakeBmp(spec)), dir.Write("stripes.bmp", MakeBmp(spec))});
    form->cmdAddLogo->click();
    picThumbFrame_Click(form->state(), 2);
    picThumbFrame_Click(form->state(), 4);
    form->Sync();
    QTest::qWait(50);
    form->grab().save(QString(shots) + "/logo-window-gallery.png");
    form->TabStrip->setCurrentIndex(1);
    QTest::qWait(50);
    form->grab().save(QString(shots) + "/logo-window-page.png");
  }
}

TEST_F(LogoFormRemoteTest, PrinterThatHasGoneClosesTheWindowAndLeavesThePrinterFree) {
  const int port = tcp->Port();
  tcp.reset();  // the printer's socket closes
  PrinterModelId = 46;
  ui.answers.assign(8, MsgBoxResult::kCancel);
  auto printer = PrinterObj;
  form = new LogoForm();
  form->StartTimer->start(0);
  for (int k = 0; k < 2000 && !form->state().unloaded; ++k) QTest::qWait(10);
  ASSERT_TRUE(form->state().unloaded) << "the window closes, it does not hang";
  EXPECT_FALSE(ui.messages.empty());
  EXPECT_EQ(CurrentFormName, "StartForm");
  // The printer comes back and nobody holds it: another client claims it.
  std::string error;
  tcp = emu::EmuTcpServer::Start(emu, "127.0.0.1", port, error);
  ASSERT_TRUE(tcp) << error;
  ExpectClaimable("Counter");
  QTest::qWait(1);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  form = nullptr;  // deleted itself
}

}  // namespace
}  // namespace zelta::test
