// The logo window: one printer's logo memory. It draws the window's record (memory/logo_window.h) and
// forwards every click to the operations on it; the operations never touch a widget.
#pragma once

#include <QMainWindow>
#include <memory>
#include <vector>

#include "memory/logo_window.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QTabBar;
class QTimer;

namespace zelta {

class LogoPage;
class ThumbnailWidget;

class LogoForm : public QMainWindow, public LogoWindowView {
  Q_OBJECT
 public:
  // Opens the window on PrinterObj and PrinterModelId; its start timer reads the printer 200 ms later.
  explicit LogoForm(QWidget* owner = nullptr);
  ~LogoForm() override;

  LogoWindowState& state() { return core_->state; }
  // The buttons, by their control names.
  QPushButton* cmdAddLogo;
  QPushButton* cmdDwldLogo;
  QPushButton* cmdDelLogo;
  QPushButton* cmdClearMem;
  QPushButton* cmdPrintLogo;
  QPushButton* cmdPrintMemLogos;
  QPushButton* cmdSelectAll;
  QPushButton* cmdSelectNone;
  QPushButton* cmdExit;
  QTabBar* TabStrip;
  QLabel* lblMemUsed;
  QLabel* lblMemFree;
  QProgressBar* ProgressBar;
  QTimer* StartTimer;
  QScrollBar* vsbSlideAll;
  QWidget* picFrameAll;

  // The thumbnail and page widgets of slot i (1-based); null when there is none.
  ThumbnailWidget* Thumbnail(int i) const;
  LogoPage* Page(int i) const;
  QLabel* StatusPanel(int panel) const;

  // Redraws everything that changed in the record.
  void Sync();

  void StateChanged() override;
  void WindowUnloaded() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* AddButton(const char* name, const char* text);
  void SyncSlots();
  // Runs a handler on the record, then redraws.
  template <typename F>
  void Run(F handler);

  std::unique_ptr<LogoWindow> core_;
  QWidget* picSlideAll_;
  QWidget* page_area_;
  std::vector<QLabel*> panels_;
  QWidget* panel3_;
  std::vector<ThumbnailWidget*> thumbs_;
  std::vector<LogoPage*> pages_;
  QFont caption_font_;
  bool sync_pending_ = false;
  bool syncing_ = false;
};

// Opens a logo window owned by owner (modeless, its own top-level window) and shows it. It deletes
// itself when it has unloaded.
LogoForm* ShowLogoForm(QWidget* owner);

}  // namespace zelta
