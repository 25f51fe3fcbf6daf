// Window tests, run with the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

#include "link/form_window.h"
#include "link/message_form.h"
#include "platform/qt_ui_hooks.h"
#include "shared/pubblic_var.h"
#include "support/fake_form.h"

namespace zelta {
namespace {

class QtWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallUiHooks(&hooks_);
    ResetPubblicVar();
    CurrentFormName = "LogoForm";  // the window the tests look at
  }
  void TearDown() override {
    InstallUiHooks(nullptr);
    ResetPubblicVar();
  }
  // Runs inspect on the modal window once it is up.
  static void WhenModal(std::function<void(QWidget*)> inspect) {
    QTimer::singleShot(0, [inspect] {
      QWidget* modal = QApplication::activeModalWidget();
      ASSERT_NE(modal, nullptr);
      inspect(modal);
    });
  }

  QtUiHooks hooks_;
};

TEST_F(QtWindows, MessageFormAndPromptsShowTheirTextsOwnedByTheCurrentWindow) {
  FormWindow start("StartForm");
  FormWindow logo("LogoForm");
  start.show();
  logo.show();
  bool seen = false;
  WhenModal([&](QWidget* modal) {
    auto* form = qobject_cast<MessageForm*>(modal);
    ASSERT_NE(form, nullptr);
    auto* label1 = form->findChild<QLabel*>("Label1");
    ASSERT_NE(label1, nullptr);
    EXPECT_EQ(form->parentWidget(), &logo);
    EXPECT_EQ(
        QStringList({form->windowTitle(), label1->text(), form->messageTxt()->objectName(),
                     form->messageTxt()->text(), form->OKButton()->objectName(), form->OKButton()->text()})
            .join('|'),
        "Message info|Information:|messageTxt|Raised error 5 by Port\nExtended error description: gone|"
        "OKButton|OK");
    seen = true;
    form->OKButton()->click();
  });
  ShowMessage("Raised error 5 by Port\rExtended error description: gone");
  EXPECT_TRUE(seen);
  // Closed and released: no message window is left behind.
  EXPECT_EQ(logo.findChild<MessageForm*>(), nullptr);
  // A retry prompt is an information box with Retry and Cancel; a question's answer comes back too.
  WhenModal([](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle() + "|" + box->text(), "Logo|Printer busy.\nPlease verify...");
    EXPECT_TRUE(box->icon() == QMessageBox::Information &&
                box->standardButtons() == (QMessageBox::Retry | QMessageBox::Cancel));
    box->button(QMessageBox::Retry)->click();
  });
  EXPECT_EQ(MsgBox("Printer busy.\rPlease verify...", MsgBoxButtons::kRetryCancel, MsgBoxIcon::kInformation),
            MsgBoxResult::kRetry);
  WhenModal([](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click(); });
  EXPECT_EQ(MsgBox("Delete?", MsgBoxButtons::kYesNo, MsgBoxIcon::kQuestion), MsgBoxResult::kNo);
}

TEST_F(QtWindows, StatusTextAndEndReqBelongToTheFirstOpenWindowNamedCurrent) {
  FormWindow start("StartForm");
  auto logo = std::make_unique<FormWindow>("LogoForm");
  FormWindow later("LogoForm");
  SetStatusText(2, "Ready...");
  EXPECT_EQ(logo->StatusPanel(2)->text() + "|" + logo->StatusPanel(2)->accessibleName() + "|" +
                start.StatusPanel(1)->text() + "|" + later.StatusPanel(2)->text(),
            "Ready...|Ready...|Info|Program status");
  logo.reset();
  SetStatusText(2, "Updating...");
  CurrentFormName = "StartForm";
  SetStatusText(2, "Printing...");
  EXPECT_EQ(start.StatusPanelText(2) + "|" + later.StatusPanelText(2), "Printing...|Updating...");
  CurrentFormName = "NoSuchForm";
  SetStatusText(1, "nobody sees this");  // no window: nothing happens
  later.SetEndReq(true);
  EXPECT_FALSE(CurrentEndReq());
  CurrentFormName = "LogoForm";
  EXPECT_TRUE(CurrentEndReq());
  later.SetBusy(true);
  EXPECT_EQ(later.cursor().shape(), Qt::WaitCursor);
  later.SetBusy(false);
  EXPECT_EQ(later.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(QtWindows, DialogsBelongToTheWindowOfAFormThatIsNotAWidgetAndShowTheFilterOnce) {
  test::FakeForm record("LogoForm");  // a form whose window only draws it
  QWidget window;
  window.setObjectName("LogoForm");
  window.show();
  WhenModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->parentWidget() == &window && dialog->fileMode() == QFileDialog::ExistingFiles);
    EXPECT_EQ(QStringList({dialog->windowTitle()}) + dialog->nameFilters(),
              QStringList({"Select one or more files", "BMP Files (*.bmp)"}));  // the filter once
    dialog->reject();
  });
  std::vector<std::string> files{"left over"};
  EXPECT_FALSE(Ui().OpenFiles("Select one or more files", "BMP Files (*.bmp)|*.bmp", files));
  EXPECT_TRUE(files.empty());
  WhenModal([&](QWidget* modal) {
    EXPECT_EQ(modal->parentWidget(), &window);
    qobject_cast<MessageForm*>(modal)->OKButton()->click();
  });
  ShowMessage("owned");
}

}  // namespace
}  // namespace zelta
