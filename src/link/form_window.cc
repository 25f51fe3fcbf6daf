#include "link/form_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

namespace zelta {

std::vector<QLabel*> AddStatusPanels(QMainWindow* window) {
  auto* bar = new QStatusBar(window);
  bar->setObjectName("StatusBar");
  bar->setSizeGripEnabled(false);
  window->setStatusBar(bar);
  std::vector<QLabel*> panels;
  for (const char* design_text : {"Info", "Program status"}) {
    auto* panel = new QLabel(design_text, bar);
    panel->setObjectName(QString("StatusPanel%1").arg(panels.size() + 1));
    panel->setAccessibleName(design_text);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setMinimumWidth(160);
    bar->addWidget(panel, 1);
    panels.push_back(panel);
  }
  return panels;
}

FormWindow::FormWindow(const std::string& name, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QString::fromStdString(name));
  panels_ = AddStatusPanels(this);
  QStatusBar* bar = statusBar();
  progress_bar_ = new QProgressBar(bar);
  progress_bar_->setObjectName("ProgressBar");
  progress_bar_->setAccessibleName("Progress");
  progress_bar_->setVisible(false);
  bar->addPermanentWidget(progress_bar_);
  RegisterForm(this);
}

FormWindow::~FormWindow() { UnregisterForm(this); }

std::string FormWindow::Name() const { return objectName().toStdString(); }

QLabel* FormWindow::StatusPanel(int panel) const {
  return panel >= 1 && panel <= static_cast<int>(panels_.size()) ? panels_[panel - 1] : nullptr;
}

void FormWindow::SetStatusPanelText(int panel, const std::string& text) {
  if (QLabel* label = StatusPanel(panel)) {
    QString shown = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    label->setText(shown);
    label->setAccessibleName(shown);
  }
}

std::string FormWindow::StatusPanelText(int panel) const {
  QLabel* label = StatusPanel(panel);
  return label ? label->text().toLocal8Bit().toStdString() : std::string();
}

void FormWindow::SetBusy(bool value) {
  busy_ = value;
  if (value) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
}

}  // namespace zelta
