// The Qt logo window on the offscreen platform against zelta-server with a virtual printer of each model
// behind it; the record driven as a technician drives it, the printer's NV memory checked afterwards.
#include "memory/logo_form.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "download/download_logo.h"
#include "image/add_logo.h"
#include "image/gallery.h"
#include "memory/delete_logos.h"
#include "memory/logo_widgets.h"
#include "memory/printer_info.h"
#include "remote/remote_fixture.h"
#include "support/scripted_ui.h"
#include "window_test_data.h"

namespace zelta::test {
namespace {

class LogoRoadTest : public RemoteTest {
 protected:
  LogoRoadTest() { UseTestDataFolder(); }
  ~LogoRoadTest() override {
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
  // Adds a picture of w × h (see Picture), selected.
  int16_t Add(int w, int h, Pixel pixel = nullptr) {
    ui.open_results.push_back({Picture(temp, "logo" + std::to_string(++added) + ".bmp", w, h, pixel)});
    cmdAddLogo_Click(window->state);
    const auto i = static_cast<int16_t>(window->state.tabs.back().tag);
    SetSelected(window->state.Slot(i), true);
    return i;
  }
  // Another client stores the logos of definitions, then waits for the printer's answer to GS I 1.
  void StoreAsAnotherClient(const Bytes& definitions) {
    std::shared_ptr<PrinterObject> other = NamedPrinter("Counter");
    ASSERT_EQ(other->ClaimPrinter(), kResultOk);
    ASSERT_EQ(WriteInRows(*other, definitions + B({0x1d, 0x49, 0x01})), 0);
    std::string reply(1, ' ');
    int32_t count = 0;
    ASSERT_EQ(other->ReadData(reply, 1, count), kResultOk);
    ASSERT_EQ(other->ReleasePrinter(), kResultOk);
  }
  ScriptedUi ui;
  int added = 0;
  std::unique_ptr<LogoWindow> window;
  LogoForm* form = nullptr;
};
using LogoFormRemoteTest = LogoRoadTest;

// docs/logo_window_screenshot.sh takes the README's pictures of this window (gallery, then a new logo's
// page).
TEST_F(LogoFormRemoteTest, GalleryAndMemoryShowWhatThePrinterStores) {
  Connect(46);
  StoreAsAnotherClient(DefineLogo("A1", 200, 40, 0xF0) + DefineLogo("B2", 384, 96, 0x0F) +
                       DefineLogo("C3", 64, 64, 0x3C));
  const uint32_t stored = (11 + 25 * 40) + (11 + 48 * 96) + (11 + 8 * 64);
  form = new LogoForm();
  form->show();
  form->StartTimer->start(0);  // at once
  for (int k = 0; k < 1000 && form->state().busy; ++k) QTest::qWait(10);
  ASSERT_FALSE(form->state().busy);
  EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
  EXPECT_EQ(
      form->windowTitle() + " | " + form->lblMemUsed->text() + "/" + form->lblMemFree->text() + " | " +
          form->StatusPanel(1)->text() + " / " + form->StatusPanel(2)->accessibleName(),
      QString("Zelta - Logo KDT330 | %1/%2 | Printer ready... / Ready...").arg(stored).arg(393216 - stored));
  const auto gallery = [this] {  // the tabs, then each thumbnail's name and place
    QString out;
    for (int i = 0; i < form->TabStrip->count(); ++i) out += form->TabStrip->tabText(i) + ", ";
    for (int i = 1; ThumbnailWidget* t = form->Thumbnail(i); ++i)
      out += t->accessibleName() + (t->isVisible() ? QString("@%1 ").arg(t->x()) : QString("(hidden) "));
    return out.toStdString();
  };
  const std::string stored_logos = "Logo(A1)@0 Logo(B2)@75 Logo(C3)@150 ";  // a grid of cells 75 dots apart
  ASSERT_EQ(gallery(), "All logos, " + stored_logos);
  EXPECT_EQ(emu->KeyCodes(), (std::vector<std::string>{"A1", "B2", "C3"}));
  std::string buttons;  // each one's text, which a screen reader speaks
  for (QPushButton* b :
       {form->cmdAddLogo, form->cmdDwldLogo, form->cmdDelLogo, form->cmdClearMem, form->cmdPrintLogo,
        form->cmdPrintMemLogos, form->cmdSelectAll, form->cmdSelectNone, form->cmdExit}) {
    EXPECT_EQ(b->accessibleName(), b->text());
    buttons += b->text().toStdString() + ", ";
  }
  EXPECT_EQ(buttons,
            "Add logo, Download logo, Delete logo, Delete all logos, Print logo, Print all logos, "
            "Select all, Select none, Close, ");

  // Two new logos; every control a person can reach carries a name a screen reader speaks.
  const Pixel shop = [](int x, int y) {
    const int dx = x - 80, dy = y - 80;
    if (dx * dx + dy * dy < 70 * 70) return (dx * dx + dy * dy < 40 * 40) ? 0xFFFFFFu : 0xC01010u;
    if (x > 170 && x < 460 && y > 40 && y < 120 && ((x / 24) % 2 == 0 || y < 56 || y > 104)) return 0x101010u;
    const uint32_t g = static_cast<uint32_t>(255 - y * 255 / 160);
    return (g << 16) | (g << 8) | g;
  };
  ui.open_results.push_back({Picture(temp, "shop.bmp", 480, 160, shop), Picture(temp, "wide.bmp", 700, 90)});
  form->cmdAddLogo->click();
  ASSERT_EQ(gallery(), "All logos, New(00), New(01), " + stored_logos + "New(00)@225 New(01)@300 ")
      << "new logos follow the stored ones";
  int named = 0;
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QComboBox*>(w) && !qobject_cast<QScrollBar*>(w) &&
        !qobject_cast<QTabBar*>(w) && !qobject_cast<ThumbnailWidget*>(w) && !qobject_cast<QProgressBar*>(w))
      continue;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->text(QAccessible::Name).isEmpty())
        << w->metaObject()->className() << " " << w->objectName().toStdString();
    ++named;
  }
  EXPECT_GT(named, 20);
  EXPECT_TRUE(form->cmdPrintMemLogos->isEnabled() && !form->cmdDelLogo->isEnabled());
  QTest::mouseClick(form->Thumbnail(2), Qt::LeftButton);
  EXPECT_TRUE(form->Thumbnail(2)->accessibleDescription() == "selected" && form->cmdDelLogo->isEnabled() &&
              form->cmdPrintLogo->isEnabled() && !form->cmdDwldLogo->isEnabled());

  if (const char* shots = std::getenv("ZELTA_SCREENSHOT_DIR")) {
    picThumbFrame_Click(form->state(), 4);
    form->Sync();
    QTest::qWait(50);
    form->grab().save(QString(shots) + "/logo-window-gallery.png");
    form->TabStrip->setCurrentIndex(1);
    QTest::qWait(50);
    form->grab().save(QString(shots) + "/logo-window-page.png");
  }

  // The wide logo's page prepares it again for each setting.
  form->TabStrip->setCurrentIndex(2);
  LogoPage* page = form->Page(5);
  ASSERT_TRUE(page && page->isVisible());
  ASSERT_EQ(form->state().slot_count(), 5);
  EXPECT_FALSE(form->picFrameAll->isVisible() || form->cmdAddLogo->isEnabled());
  EXPECT_EQ(page->cmbPaperWidth->currentText() + ", " + page->cmbColor->currentText() + " of " +
                QString::number(page->cmbColor->count()),
            "80 mm, Black & white of 2");
  EXPECT_TRUE(page->vsbSlide->isVisible() && !page->hsbSlide->isVisible())
      << "the panes are taller than the page";
  ASSERT_TRUE(PreparedBitmaps(5));
  EXPECT_EQ(PreparedBitmaps(5)->width(), 560);
  QTest::mouseClick(page->chkFit, Qt::LeftButton);
  EXPECT_EQ(form->state().Slot(5).chkFit, 1);
  EXPECT_EQ(PreparedBitmaps(5)->height(), 72) << "fitted: 90 × 560 / 700";
  page->cmbPaperWidth->setCurrentIndex(2);
  Q_EMIT page->cmbPaperWidth->activated(2);
  EXPECT_EQ(PreparedBitmaps(5)->width(), 390);

  // Busy: another tab is refused and the page stays; a close is put off until the operation ends.
  form->state().busy = true;
  form->TabStrip->setCurrentIndex(0);
  EXPECT_EQ(form->TabStrip->currentIndex(), 2);
  QTest::mouseClick(form->cmdExit, Qt::LeftButton);
  EXPECT_TRUE(form->isVisible() && form->state().EndReq);
  form->state().busy = false;
  form->TabStrip->setCurrentIndex(0);
  EXPECT_TRUE(form->picFrameAll->isVisible() && !page->isVisible());
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
    Add(24, 40, [](int x, int) { return x == 3 || x == 13 || x == 23 ? 0u : 0xFFFFFFu; });
    const uint32_t free_before = emu->NvRemaining();
    cmdDwldLogo_Click(s);
    if (bit_images) {
      EXPECT_EQ(emu->BitImageCount(), 2u);
    } else {
      EXPECT_EQ(emu->KeyCodes(), (std::vector<std::string>{"00", "01"}));
      EXPECT_EQ(free_before - emu->NvRemaining(), 3u * 40 + 11) << "stored whole";
      EXPECT_EQ(s.lblMemFree, std::to_string(emu->NvRemaining()));
    }

    // The next opening lists the stored ones; delete one, then clear all.
    window.reset();
    LogoWindowState& again = Open();
    if (!bit_images) {
      ASSERT_EQ(again.LogoCount, 2);
      SetSelected(again.Slot(1), true);
      ui.answers = {MsgBoxResult::kYes};
      cmdDelLogo_Click(again);
      EXPECT_EQ(emu->KeyCodes(), std::vector<std::string>{"01"});
      EXPECT_EQ(again.lblMemFree, std::to_string(emu->NvRemaining()));
    }
    ui.answers = {MsgBoxResult::kYes};
    cmdClearMem_Click(again);
    EXPECT_TRUE(emu->KeyCodes().empty() && emu->BitImageCount() == 0);
    EXPECT_FALSE(again.unloaded || again.busy || ui.unexpected_prompts);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
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
  EXPECT_EQ(s.Slot(i).picThumbFrame.tag + ", tabs " + std::to_string(s.tabs.size()), "New(00), tabs 2")
      << "its page";
  EXPECT_TRUE(s.lblMemFree == std::to_string(emu->NvRemaining()) && !s.busy);
}

}  // namespace
}  // namespace zelta::test
