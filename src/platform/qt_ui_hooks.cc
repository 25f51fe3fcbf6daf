#include "platform/qt_ui_hooks.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

#include "link/forms.h"
#include "link/message_form.h"

namespace zelta {
namespace {

// The window of a form: the form itself when it is a widget, else the visible top-level window that
// bears its name (a window that draws a record registered as the form).
QWidget* OwnerWidget(Form* form) {
  if (!form) return nullptr;
  if (auto* widget = dynamic_cast<QWidget*>(form)) return widget;
  const QString name = QString::fromStdString(form->Name());
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->isVisible() && top->objectName() == name) return top;
  }
  return nullptr;
}

QString FromBytes(const std::string& s) {
  QString out = QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
  return out.replace("\r\n", "\n").replace('\r', '\n');
}

}  // namespace

MsgBoxResult QtUiHooks::MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                               const std::string& title) {
  QMessageBox box(OwnerWidget(FindCurrentForm()));
  box.setWindowTitle(title.empty() ? QApplication::applicationName() : FromBytes(title));
  box.setText(FromBytes(text));
  switch (icon) {
    case MsgBoxIcon::kCritical:
      box.setIcon(QMessageBox::Critical);
      break;
    case MsgBoxIcon::kQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case MsgBoxIcon::kExclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case MsgBoxIcon::kInformation:
      box.setIcon(QMessageBox::Information);
      break;
    case MsgBoxIcon::kNone:
      break;
  }
  using SB = QMessageBox::StandardButton;
  QMessageBox::StandardButtons set;
  switch (buttons) {
    case MsgBoxButtons::kOk:
      set = SB::Ok;
      break;
    case MsgBoxButtons::kOkCancel:
      set = SB::Ok | SB::Cancel;
      break;
    case MsgBoxButtons::kAbortRetryIgnore:
      set = SB::Abort | SB::Retry | SB::Ignore;
      break;
    case MsgBoxButtons::kYesNoCancel:
      set = SB::Yes | SB::No | SB::Cancel;
      break;
    case MsgBoxButtons::kYesNo:
      set = SB::Yes | SB::No;
      break;
    case MsgBoxButtons::kRetryCancel:
      set = SB::Retry | SB::Cancel;
      break;
  }
  box.setStandardButtons(set);
  switch (box.exec()) {
    case SB::Ok:
      return MsgBoxResult::kOk;
    case SB::Abort:
      return MsgBoxResult::kAbort;
    case SB::Retry:
      return MsgBoxResult::kRetry;
    case SB::Ignore:
      return MsgBoxResult::kIgnore;
    case SB::Yes:
      return MsgBoxResult::kYes;
    case SB::No:
      return MsgBoxResult::kNo;
    default:
      return MsgBoxResult::kCancel;
  }
}

void QtUiHooks::ShowMessageWindow(const std::string& text, Form* owner) {
  MessageForm::ShowModal(text, OwnerWidget(owner));
}

bool QtUiHooks::OpenFiles(const std::string& title, const std::string& filter,
                          std::vector<std::string>& files) {
  // "Bitmaps|*.bmp|All|*.*" becomes "Bitmaps (*.bmp);;All (*.*)".
  QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  // A description that already names its pattern ("BMP Files (*.bmp)") is taken as it is.
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString named = " (" + parts[i + 1] + ")";
    filters << (parts[i].endsWith(named) ? parts[i] : parts[i] + named);
  }
  QStringList chosen = QFileDialog::getOpenFileNames(
      OwnerWidget(FindCurrentForm()), QString::fromStdString(title), QString(), filters.join(";;"));
  files.clear();
  for (const QString& f : chosen) files.push_back(f.toLocal8Bit().toStdString());
  return !files.empty();
}

void QtUiHooks::DoEvents() {
  QApplication::processEvents(QEventLoop::AllEvents, 5);
  // A loop that reads a clock between its yields is waiting for time to pass: give the machine a
  // breath there. A loop that works between its yields (rows sent, pictures drawn) goes on at once.
  if (clock_read_) QThread::usleep(500);
  clock_read_ = false;
}

}  // namespace zelta
