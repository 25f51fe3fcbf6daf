// The message window: caption "Message info", a frame with "Information:" and the message, and OK.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

namespace zelta {

class MessageForm : public QDialog {
  Q_OBJECT
 public:
  explicit MessageForm(QWidget* owner = nullptr);

  void SetMessage(const std::string& text);
  QLabel* messageTxt() const { return message_txt_; }
  QPushButton* OKButton() const { return ok_button_; }

  // Shows text in a new modal MessageForm owned by owner and deletes it when it is closed.
  static void ShowModal(const std::string& text, QWidget* owner);

 private:
  QLabel* label1_;
  QLabel* message_txt_;
  QPushButton* ok_button_;
};

}  // namespace zelta
