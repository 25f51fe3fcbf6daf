// The About box: the program's icon, product name, description and release.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace zelta {

class AboutForm : public QDialog {
  Q_OBJECT
 public:
  explicit AboutForm(QWidget* owner = nullptr);
  QLabel* lblTitle() const { return lblTitle_; }
  QLabel* lblDescription() const { return lblDescription_; }
  QLabel* lblVersion() const { return lblVersion_; }
  QPushButton* cmdOK() const { return cmdOK_; }

 private:
  QLabel* lblTitle_;
  QLabel* lblDescription_;
  QLabel* lblVersion_;
  QPushButton* cmdOK_;
};

}  // namespace zelta
