// The logo window on the offscreen platform: it shows what its record holds and forwards clicks.
#include "memory/logo_form.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include "browser/configuration.h"
#include "image/bmp_test_files.h"
#include "imglib/zelta_img.h"
#include "memory/logo_widgets.h"
#include "memory/nv_commands.h"
#include "scripted_window_fixture.h"

namespace zelta::test {
namespace {

class LogoFormTest : public ScriptedWindowTest {
 protected:
  LogoFormTest() {
    PrinterModelId = 46;
    printer->replies = {
        {kResultOk, Block("3072")}, {kResultOk, Block("1024")}, {kResultOk, KeyBlock(0x40, "A1B2")}};
  }
  ~LogoFormTest() override { delete form.data(); }
  // Opens the window and lets its start timer run at once.
  void Open() {
    form = new LogoForm();
    form->show();
    form->StartTimer->start(0);
    for (int k = 0; k < 50 && form->state().busy; ++k) QTest::qWait(1);
    ASSERT_FALSE(form->state().busy);
  }
  std::string Bmp(const std::string& file, int w, int h) {
    BmpSpec spec;
    spec.width = w;
    spec.height = h;
    spec.pixel = [](int x, int y) { return (x / 4 + y / 4) % 2 ? 0xFF0000u : 0u; };
    return dir.Write(file, MakeBmp(spec));
  }

  QPointer<LogoForm> form;
};

TEST_F(LogoFormTest, ShowsThePrinterItsLogosAndNamesEveryControl) {
  Open();
  EXPECT_EQ(form->windowTitle(), "Zelta - Logo KDT330");
  EXPECT_EQ(form->lblMemUsed->text(), "2048");
  EXPECT_EQ(form->lblMemFree->text(), "1024");
  EXPECT_EQ(form->StatusPanel(1)->text(), "Printer ready...");
  EXPECT_EQ(form->StatusPanel(2)->accessibleName(), "Ready...");
  ASSERT_EQ(form->TabStrip->count(), 1);
  EXPECT_EQ(form->TabStrip->tabText(0), "All logos");
  for (const auto& [i, name] : {std::pair{1, "Logo(A1)"}, std::pair{2, "Logo(B2)"}}) {
    ASSERT_TRUE(form->Thumbnail(i) && form->Thumbnail(i)->isVisible());
    EXPECT_EQ(form->Thumbnail(i)->accessibleName(), name);
  }
  EXPECT_EQ(form->Thumbnail(2)->x(), 75) << "the second cell of the grid";
  EXPECT_EQ(form->Thumbnail(3), nullptr);
  const QPushButton* buttons[] = {form->cmdAddLogo,   form->cmdDwldLogo,   form->cmdDelLogo,
                                  form->cmdClearMem,  form->cmdPrintLogo,  form->cmdPrintMemLogos,
                                  form->cmdSelectAll, form->cmdSelectNone, form->cmdExit};
  const char* texts[] = {"Add logo",         "Download logo", "Delete logo",
                         "Delete all logos", "Print logo",    "Print all logos",
                         "Select all",       "Select none",   "Close"};
  for (int b = 0; b < 9; ++b) {
    EXPECT_EQ(buttons[b]->text(), texts[b]);
    EXPECT_EQ(buttons[b]->accessibleName(), texts[b]);
  }
  // Every control a person can reach carries a name a screen reader speaks.
  ui.open_results.push_back({Bmp("named.bmp", 40, 30)});
  form->cmdAddLogo->click();
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
  EXPECT_TRUE(form->cmdPrintMemLogos->isEnabled());
  EXPECT_FALSE(form->cmdDelLogo->isEnabled());
  QTest::mouseClick(form->Thumbnail(2), Qt::LeftButton);
  EXPECT_EQ(form->Thumbnail(2)->accessibleDescription(), "selected");
  EXPECT_TRUE(form->cmdDelLogo->isEnabled() && form->cmdPrintLogo->isEnabled());
  EXPECT_FALSE(form->cmdDwldLogo->isEnabled());
}

TEST_F(LogoFormTest, AddedLogosGetTabsAndPagesThatPrepareThemAgain) {
  Open();
  ui.open_results.push_back({Bmp("a.bmp", 700, 90), Bmp("b.bmp", 64, 32)});
  QTest::mouseClick(form->cmdAddLogo, Qt::LeftButton);
  ASSERT_EQ(form->TabStrip->count(), 3);
  EXPECT_EQ(form->TabStrip->tabText(1), "New(00)");
  EXPECT_EQ(form->TabStrip->tabText(2), "New(01)");
  EXPECT_EQ(form->Thumbnail(3)->accessibleName(), "New(00)");
  EXPECT_EQ(form->Thumbnail(3)->x(), 150) << "new logos follow the stored ones";

  form->TabStrip->setCurrentIndex(1);
  LogoPage* page = form->Page(3);
  ASSERT_TRUE(page->isVisible());
  EXPECT_FALSE(form->picFrameAll->isVisible());
  EXPECT_EQ(page->cmbPaperWidth->currentText(), "80 mm");
  EXPECT_EQ(page->cmbColor->count(), 2);
  EXPECT_EQ(page->cmbColor->currentText(), "Black & white");
  EXPECT_FALSE(form->cmdAddLogo->isEnabled());
  EXPECT_TRUE(page->vsbSlide->isVisible()) << "the two panes are taller than the page";
  EXPECT_FALSE(page->hsbSlide->isVisible());
  ASSERT_TRUE(PreparedBitmaps(3));
  EXPECT_EQ(PreparedBitmaps(3)->width(), 560);

  QTest::mouseClick(page->chkFit, Qt::LeftButton);
  EXPECT_EQ(form->state().Slot(3).chkFit, 1);
  EXPECT_EQ(PreparedBitmaps(3)->height(), 72) << "fitted: 90 × 560 / 700";
  page->cmbPaperWidth->setCurrentIndex(2);
  Q_EMIT page->cmbPaperWidth->activated(2);
  EXPECT_EQ(PreparedBitmaps(3)->width(), 390);

  // Busy: another tab is refused and the page stays; a close is put off until the operation ends.
  form->state().busy = true;
  form->TabStrip->setCurrentIndex(0);
  EXPECT_EQ(form->TabStrip->currentIndex(), 1);
  QTest::mouseClick(form->cmdExit, Qt::LeftButton);
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(form->state().EndReq);
  form->state().busy = false;
  form->TabStrip->setCurrentIndex(0);
  EXPECT_TRUE(form->picFrameAll->isVisible());
  EXPECT_FALSE(page->isVisible());
}

}  // namespace
}  // namespace zelta::test
