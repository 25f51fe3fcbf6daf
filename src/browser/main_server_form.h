// The server dialog: a combo box of the network's computers and Apply. Modal, owned by the browser
// window; MainServerMode says whether it picks the main server or a server to add.
#pragma once

#include <QDialog>

#include "browser/main_server_dialog.h"

class QComboBox;
class QPushButton;

namespace zelta {

class MainServerForm : public QDialog {
  Q_OBJECT
 public:
  explicit MainServerForm(QWidget* owner = nullptr);
  // Opening: lists the computers. True when the dialog is to be shown.
  bool Load();

  QComboBox* cmbServer() const { return cmbServer_; }
  QPushButton* cmdApply() const { return cmdApply_; }
  MainServerDialogState& state() { return state_; }
  void Apply();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void Sync();

  MainServerDialogState state_;
  QComboBox* cmbServer_;
  QPushButton* cmdApply_;
};

}  // namespace zelta
