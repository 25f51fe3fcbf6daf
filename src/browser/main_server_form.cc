#include "browser/main_server_form.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace zelta {

MainServerForm::MainServerForm(QWidget* owner) : QDialog(owner) {
  setObjectName("MainServerForm");
  setModal(true);
  cmbServer_ = new QComboBox(this);
  cmbServer_->setObjectName("cmbServer");
  cmbServer_->setAccessibleName("Server");
  cmbServer_->setEditable(true);
  cmbServer_->setMinimumWidth(240);
  cmdApply_ = new QPushButton("Apply", this);
  cmdApply_->setObjectName("cmdApply");
  cmdApply_->setAccessibleName("Apply");
  cmdApply_->setDefault(true);
  connect(cmdApply_, &QPushButton::clicked, this, &MainServerForm::Apply);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(cmbServer_, 1);
  layout->addWidget(cmdApply_);
  setWindowTitle(kCaptionMainServer);
}

bool MainServerForm::Load() {
  LoadMainServerDialog(state_);
  Sync();
  return true;
}

void MainServerForm::Sync() {
  setWindowTitle(QString::fromStdString(state_.caption));
  setAccessibleName(windowTitle());
  cmbServer_->clear();
  for (const std::string& name : state_.cmbServerList)
    cmbServer_->addItem(QString::fromLocal8Bit(name.c_str()));
  cmbServer_->setCurrentIndex(state_.cmbServerIndex);
  cmbServer_->setEditText(QString::fromLocal8Bit(state_.cmbServerText.c_str()));
}

void MainServerForm::Apply() {
  if (state_.busy) return;
  state_.cmbServerText = cmbServer_->currentText().toLocal8Bit().toStdString();
  setCursor(Qt::WaitCursor);
  ApplyMainServerDialog(state_);
  unsetCursor();
  if (state_.unloaded) QDialog::accept();
}

void MainServerForm::closeEvent(QCloseEvent* event) {
  if (!MainServerDialogCloseRequest(state_)) return event->ignore();
  QDialog::closeEvent(event);
}

void MainServerForm::reject() {
  // Escape and the title-bar button: refused while a creation is pending.
  if (state_.unloaded || MainServerDialogCloseRequest(state_)) QDialog::reject();
}

}  // namespace zelta
