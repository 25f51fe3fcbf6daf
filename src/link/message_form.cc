#include "link/message_form.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zelta {

MessageForm::MessageForm(QWidget* owner) : QDialog(owner) {
  setObjectName("MessageForm");
  setWindowTitle("Message info");
  setModal(true);

  auto* frame = new QGroupBox(this);
  frame->setObjectName("Frame1");
  label1_ = new QLabel("Information:", frame);
  label1_->setObjectName("Label1");
  label1_->setAccessibleName("Information:");
  message_txt_ = new QLabel(frame);
  message_txt_->setObjectName("messageTxt");
  message_txt_->setWordWrap(true);
  message_txt_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  message_txt_->setMinimumWidth(320);
  auto* frame_layout = new QVBoxLayout(frame);
  frame_layout->addWidget(label1_);
  frame_layout->addWidget(message_txt_);

  ok_button_ = new QPushButton("OK", this);
  ok_button_->setObjectName("OKButton");
  ok_button_->setAccessibleName("OK");
  ok_button_->setDefault(true);
  connect(ok_button_, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_button_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addLayout(buttons);
}

void MessageForm::SetMessage(const std::string& text) {
  // The program separates lines with a carriage return, sometimes followed by a line feed.
  QString shown = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
  shown.replace("\r\n", "\n").replace('\r', '\n');
  message_txt_->setText(shown);
  message_txt_->setAccessibleName(shown);
}

void MessageForm::ShowModal(const std::string& text, QWidget* owner) {
  MessageForm form(owner);
  form.SetMessage(text);
  form.exec();
}

}  // namespace zelta
