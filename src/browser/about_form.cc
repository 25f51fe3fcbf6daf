#include "browser/about_form.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "browser/about_info.h"

namespace zelta {
namespace {

QLabel* NamedLabel(QWidget* parent, const char* name, const std::string& text) {
  auto* label = new QLabel(QString::fromStdString(text), parent);
  label->setObjectName(name);
  label->setAccessibleName(label->text());
  return label;
}

}  // namespace

AboutForm::AboutForm(QWidget* owner) : QDialog(owner) {
  const AboutTexts texts = ProgramAboutTexts();
  setObjectName("AboutForm");
  setModal(true);
  setWindowTitle(QString::fromStdString(texts.caption));
  setAccessibleName(windowTitle());
  auto* picIcon = new QLabel(this);
  picIcon->setObjectName("picIcon");
  picIcon->setAccessibleName("Program icon");
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_ComputerIcon);
  picIcon->setPixmap(icon.pixmap(32, 32));
  lblTitle_ = NamedLabel(this, "lblTitle", texts.title);
  QFont bigger = lblTitle_->font();
  bigger.setPointSizeF(bigger.pointSizeF() * 1.4);
  bigger.setBold(true);
  lblTitle_->setFont(bigger);
  lblDescription_ = NamedLabel(this, "lblDescription", texts.description);
  lblVersion_ = NamedLabel(this, "lblVersion", texts.version);
  cmdOK_ = new QPushButton("OK", this);
  cmdOK_->setObjectName("cmdOK");
  cmdOK_->setAccessibleName("OK");
  cmdOK_->setDefault(true);
  connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QGridLayout(this);
  layout->addWidget(picIcon, 0, 0, 3, 1, Qt::AlignTop);
  layout->addWidget(lblTitle_, 0, 1);
  layout->addWidget(lblDescription_, 1, 1);
  layout->addWidget(lblVersion_, 2, 1);
  layout->addWidget(cmdOK_, 3, 1, Qt::AlignRight);
}

}  // namespace zelta
