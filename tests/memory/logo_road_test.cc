// The logo window against zelta-server with a virtual printer of each model behind it: the window's record
// driven as a technician drives it (and the Qt window itself), the printer's NV memory checked afterwards.
// The product road test walks the two-colour model's road, printing included, through the real programs.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>

#include "browser/configuration.h"
#include "download/download_logo.h"
#include "image/add_logo.h"
#include "image/bmp_test_files.h"
#include "image/gallery.h"
#include "imglib/zelta_img.h"
#include "memory/delete_logos.h"
#include "memory/logo_form.h"
#include "memory/logo_widgets.h"
#include "memory/logo_window.h"
#include "memory/printer_info.h"
#include "remote/remote_fixture.h"
#include "shared/pubblic_var.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

class LogoRoadTest : public RemoteTest {
 protected:
  void SetUp() override {
    ResetPubblicVar();
    InitProgramPaths("/nonexistent/zelta/Logo");
    AppFolder = ZELTA_TEST_DATA;
    SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(AppFolder.size()));
  }
  void TearDown() override {
    delete form;
    window.reset();
    PrinterObj.reset();
    ResetPubblicVar();
  }
  // A virtual printer of model behind zelta-server, as PrinterObj.
  void Connect(uint8_t model) {
    StartVirtualPrinter(model);
    StopServer();
    StartServer(VirtualPrinterConfig("Counter"), DefaultPortPrinterFactory());
    ASSERT_TRUE(PrinterObj = NamedPrinter("Counter"));
    PrinterModelId = model;
  }
  LogoWindowState& Open() {
    window = std::make_unique<LogoWindow>();
    StartTimer_Timer(window->state);
    return window->state;
  }
  // Adds a picture of w × h, selected: by default a black frame around a red square on white.
  int16_t Add(int w, int h, std::function<uint32_t(int, int)> pixel = nullptr) {
    BmpSpec spec;
    spec.width = w;
    spec.height = h;
    spec.pixel = pixel ? pixel : [w, h](int x, int y) {
      if (x < 4 || y < 4 || x >= w - 4 || y >= h - 4) return 0u;
      return (x > w / 3 && x < 2 * w / 3) ? 0xFF0000u : 0xFFFFFFu;
    };
    ui.open_results.push_back({pictures.Write("logo" + std::to_string(++added) + ".bmp", MakeBmp(spec))});
    cmdAddLogo_Click(window->state);
    const auto i = static_cast<int16_t>(window->state.tabs.back().tag);
    SetSelected(window->state.Slot(i), true);
    return i;
  }
  // Another client stores the logos of definitions, then waits for the printer's answer to GS I 1.
  void StoreAsAnotherClient(const Bytes& definitions) {
    std::shared_ptr<PrinterObject> other = NamedPrinter("Counter");
    ASSERT_EQ(other->ClaimPrinter(), kResultOk);
    const Bytes data = definitions + B({0x1d, 0x49, 0x01});
    int32_t written = 0, count = 0;
    ASSERT_EQ(other->WriteData(data, static_cast<int32_t>(data.size()), written, kWriteOrdinary), kResultOk);
    std::string reply(1, ' ');
    ASSERT_EQ(other->ReadData(reply, 1, count), kResultOk);
    ASSERT_EQ(other->ReleasePrinter(), kResultOk);
  }
  ScriptedUi ui;
  TempDir pictures;
  int added = 0;
  std::unique_ptr<LogoWindow> window;
  LogoForm* form = nullptr;
};
using LogoFormRemoteTest = LogoRoadTest;

TEST_F(LogoFormRemoteTest, GalleryAndMemoryShowWhatThePrinterStores) {
  Connect(46);
  StoreAsAnotherClient(DefineLogo("A1", 200, 40, 0xF0) + DefineLogo("B2", 384, 96, 0x0F) +
                       DefineLogo("C3", 64, 64, 0x3C));
  const uint32_t stored = (11 + 25 * 40) + (11 + 48 * 96) + (11 + 8 * 64);
  form = new LogoForm();
  form->show();
  form->StartTimer->start(0);
  for (int k = 0; k < 1000 && form->state().busy; ++k) QTest::qWait(10);
  ASSERT_FALSE(form->state().busy);
  EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
  ASSERT_EQ(emu->KeyCodes().size(), 3u);
  for (int i = 1; i <= 3; ++i) {
    ASSERT_TRUE(form->Thumbnail(i) && form->Thumbnail(i)->isVisible());
    EXPECT_EQ(form->Thumbnail(i)->accessibleName().toStdString(), "Logo(" + emu->KeyCodes()[i - 1] + ")");
  }
  EXPECT_EQ(form->Thumbnail(4), nullptr);
  EXPECT_EQ(form->lblMemFree->text().toStdString(), std::to_string(393216 - stored));
  EXPECT_EQ(form->lblMemUsed->text().toStdString(), std::to_string(stored));
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
        {pictures.Write("shop.bmp", MakeBmp(spec)), pictures.Write("stripes.bmp", MakeBmp(spec))});
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

TEST_F(LogoRoadTest, EveryModelStoresDeletesAndClearsItsLogos) {
  for (uint8_t model : {46, 36, 161, 32, 10}) {
    SCOPED_TRACE(int(model));
    Connect(model);
    const bool bit_images = model == 32 || model == 10;
    LogoWindowState& s = Open();
    const int16_t a = Add(200, 120);
    cmdDwldLogo_Click(s);
    ASSERT_EQ(s.Slot(a).picThumbFrame.tag, bit_images ? "New(00)" : "Logo(00)");
    // Every row is the bytes 16 4 1 (DLE EOT 1): black dots 3, 13 and 23 on white.
    const int16_t b = Add(24, 40, [](int x, int) { return x == 3 || x == 13 || x == 23 ? 0u : 0xFFFFFFu; });
    const uint32_t free_before = emu->NvRemaining();
    cmdDwldLogo_Click(s);
    if (bit_images) {
      EXPECT_EQ(emu->BitImageCount(), 2u);
    } else {
      EXPECT_EQ(emu->KeyCodes(), (std::vector<std::string>{"00", "01"}));
      EXPECT_EQ(free_before - emu->NvRemaining(), 3u * 40 + 11) << "stored whole";
      EXPECT_EQ(s.Slot(b).picThumbFrame.tag, "Logo(01)");
      EXPECT_EQ(s.lblMemFree, std::to_string(emu->NvRemaining()));
      EXPECT_EQ(s.tabs.size(), 1u);
    }

    // The next opening lists the stored ones; delete one, then clear all.
    window.reset();
    LogoWindowState& again = Open();
    if (!bit_images) {
      ASSERT_EQ(again.LogoCount, 2);
      EXPECT_EQ(again.Slot(2).picThumbFrame.tag, "Logo(01)");
      SetSelected(again.Slot(1), true);
      ui.answers = {MsgBoxResult::kYes};
      cmdDelLogo_Click(again);
      EXPECT_EQ(emu->KeyCodes(), std::vector<std::string>{"01"});
      EXPECT_EQ(again.lblMemFree, std::to_string(emu->NvRemaining()));
    }
    ui.answers = {MsgBoxResult::kYes};
    cmdClearMem_Click(again);
    EXPECT_TRUE(emu->KeyCodes().empty());
    EXPECT_EQ(emu->BitImageCount(), 0u);
    EXPECT_FALSE(again.unloaded || again.busy);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    EXPECT_EQ(ui.unexpected_prompts, 0);
    window.reset();
    PrinterObj.reset();
  }
}

TEST_F(LogoRoadTest, MemoryThatFilledUpMeanwhileKeepsTheLogoNewAndSaysWhy) {
  Connect(46);
  LogoWindowState& s = Open();
  const int16_t i = Add(560, 400);  // 28 011 bytes
  // Another client fills the memory after this window read its figures: about 12 000 bytes stay free.
  StoreAsAnotherClient(
      DefineLogo("ZZ", 4000, static_cast<int>((emu->NvRemaining() - 12000 - 11) / 500), 0x55));
  cmdDwldLogo_Click(s);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"The printer did not store New(00): its memory is full.\r\n"
                                                  "Delete logos to make room, then download it again."});
  EXPECT_EQ(s.Slot(i).picThumbFrame.tag, "New(00)");
  EXPECT_EQ(s.tabs.size(), 2u) << "its page stays";
  EXPECT_EQ(s.lblMemFree, std::to_string(emu->NvRemaining()));
  EXPECT_FALSE(s.busy);
}

}  // namespace
}  // namespace zelta::test
