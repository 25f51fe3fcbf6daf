// The browser window offscreen, over server objects in memory.
#include <gtest/gtest.h>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>

#include "browser/about_form.h"
#include "browser/main_server_form.h"
#include "browser/start_form.h"
#include "fake_servers.h"
#include "platform/computer_name.h"

namespace zelta::test {
namespace {

class StartFormTest : public BrowserTest {
 protected:
  StartFormTest() {
    UnregisterForm(&window);  // the real window takes the status texts
    const std::string me = GetComputerName();
    net.Monitor(me, "emu:46=Receipt\0emu:36=Colour\0"s, "10.0.0.5:9100=Bar\0"s)->printer = printer;
    SetNetworkEnumerator([me](const std::string&) {
      return NetworkComputers{kNetOk, kNetOk, {"SHOP1", me, "SHOP2"}};
    });
  }
  ~StartFormTest() override {
    delete form_window;
    SetLogoWindowOpener(nullptr);
  }
  // Loads and shows the window, and waits for the first activation's discovery.
  void Open() {
    form_window = new StartForm;
    form_window->setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_TRUE(form_window->Load(ZELTA_ICON_DIR "/"));
    form_window->show();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form_window->state().Activated && !form_window->state().busy; }));
  }
  QTreeWidgetItem* Item(const QString& text) {
    auto found = form_window->tvwServerCollection()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found[0];
  }
  // Every control of w has an accessible name, every action a text.
  static void ExpectAccessible(QWidget* w) {
    for (QWidget* c : w->findChildren<QWidget*>()) {
      const bool control = c->inherits("QAbstractButton") || c->inherits("QComboBox") ||
                           c->inherits("QTreeWidget") || c->inherits("QLabel") || c->inherits("QMenu");
      EXPECT_FALSE(control && c->accessibleName().isEmpty()) << c->objectName().toStdString();
    }
    for (QAction* a : w->findChildren<QAction*>())
      EXPECT_FALSE(!a->isSeparator() && a->text().isEmpty()) << a->objectName().toStdString();
  }

  StartForm* form_window = nullptr;
};

TEST_F(StartFormTest, NetworkModeShowsTheOptions) {
  RegWriteString(kZeltaKey, kInstallationTypeValue, "NETWORK");
  SetMainServer("SHOP0");
  net.Collection("SHOP0")->servers = {GetComputerName()};
  Open();
  EXPECT_EQ(std::tuple(form_window->StatusPanelText(1), form_window->Action("mnuOptions")->isVisible(),
                       form_window->tvwServerCollection()->topLevelItem(0)->text(0).toStdString(),
                       Item("Bar:9100(10.0.0.5)")->icon(0).isNull()),
            std::tuple("Main server SHOP0", true, "SHOPNET", false));
  ExpectAccessible(form_window);
  // The OPOS set-up program works in LOCAL mode whatever the registry says.
  delete form_window;
  InitProgramPaths(dir.File("OPOSETUP"));
  Open();
  EXPECT_EQ(form_window->StatusPanelText(1) + " | " +
                form_window->tvwServerCollection()->topLevelItem(0)->text(0).toStdString(),
            "LOCAL | " + GetComputerName());
}

TEST_F(StartFormTest, MissingIconsTakeTheErrorPath) {
  form_window = new StartForm;
  EXPECT_FALSE(form_window->Load(dir.path() + "/"));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Raise error on loading the application Demo.\r\n"
                                                  "Please check the Application components."});
}

// A double click on the blank part of an item's row does not connect (the road test double clicks on the
// label); Enter connects.
TEST_F(StartFormTest, DoubleClickOnTheBlankPartDoesNotConnectEnterDoes) {
  Open();
  QTreeWidget* tree = form_window->tvwServerCollection();
  QTreeWidgetItem* item = Item("Colour:emu:36");
  ASSERT_TRUE(item);
  tree->setCurrentItem(item);
  printer->QueueByte(36);
  QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {},
                     QPoint(tree->viewport()->width() - 2, tree->visualItemRect(item).center().y()));
  const Texts said_on_click = ui.messages;
  QTest::keyClick(tree, Qt::Key_Return);  // no logo window linked in: it says so
  EXPECT_EQ(std::tuple(said_on_click, ui.messages, !PrinterObj, form_window->isVisible()),
            std::tuple(Texts{}, Texts{"The logo window is not part of this program."}, true, true));
}

TEST_F(StartFormTest, DialogsHaveTheirTextsAndNames) {
  Open();
  ChosenServer = "old";
  for (bool main_mode : {true, false}) {  // the server dialog opens with this computer chosen
    MainServerMode = main_mode;
    MainServerForm dialog(form_window);
    ASSERT_TRUE(dialog.Load());
    EXPECT_EQ(
        std::tuple(dialog.windowTitle().toStdString(), dialog.cmbServer()->count(),
                   dialog.cmbServer()->currentIndex(), dialog.cmbServer()->currentText().toStdString(),
                   ChosenServer),
        std::tuple(main_mode ? "Main server selection" : "Server selection", 3, 1, GetComputerName(), ""));
    ExpectAccessible(&dialog);
  }
  AboutForm about(form_window);
  EXPECT_EQ(about.windowTitle() + "|" + about.lblTitle()->text() + "|" + about.lblDescription()->text() +
                "|" + about.lblVersion()->text(),
            "About Zelta - Logo|Zelta|Logo utility for Zelta.|Release 1.15.1");
  ExpectAccessible(&about);
}

TEST_F(StartFormTest, CloseDuringACreationWaitsForIt) {
  Open();
  net.seconds = 0.2;
  bool refused = false;
  net.during_creation = [&] {
    if (!refused) refused = !form_window->close();
  };
  form_window->state().tvwServerCollection.Select(form_window->state().tvwServerCollection.First());
  form_window->Refresh();
  EXPECT_EQ(std::pair(refused, form_window->state().unloaded), std::pair(true, true));
}

}  // namespace
}  // namespace zelta::test
