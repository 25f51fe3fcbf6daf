// The browser window: the shop network as a tree above a status bar with the working mode and the
// program's activity. It lives for the whole run; unloading it ends the program.
#pragma once

#include <QIcon>
#include <QMap>
#include <functional>
#include <string>

#include "browser/browser_state.h"
#include "link/form_window.h"

class QAction;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace zelta {

// How the logo window opens for the connected printer (PrinterObj): modeless, owned by owner. The
// program installs it at start; without one a connection ends with a message.
void SetLogoWindowOpener(std::function<void(QWidget* owner)> opener);

class StartForm : public FormWindow {
  Q_OBJECT
 public:
  explicit StartForm(QWidget* parent = nullptr);
  ~StartForm() override;

  // Loading (the previous-instance test comes before, in main): false when loading failed, after its
  // message; the window must then be unloaded. icon_folder holds DOMAIN.png, SERVER.png, PRINTER.png and
  // NETPRINTER.png.
  bool Load(const std::string& icon_folder);

  StartFormState& state() { return state_; }
  QTreeWidget* tvwServerCollection() const { return tree_; }
  QMenu* mnuTV() const { return mnuTV_; }
  QAction* Action(const QString& name) const;
  // Draws the tree record again.
  void SyncTree();

  // The menu commands, as the menus run them.
  void Refresh();
  void AddServer();
  void DeleteServer();
  void SelectMainServer();
  void About();
  void Connect();

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void NameMenuBarExtras();
  void PopUpContextMenu(const QPoint& global);
  // Whether a tree position is on an item's icon or label.
  bool HitsItem(const QPoint& viewport_pos) const;
  void Activate();
  // Runs a command and draws the tree afterwards.
  void Run(void (*command)(StartFormState&));
  bool OpenPrinterWindow(PrinterWindow window, const std::string& node_text);

  StartFormState state_;
  QTreeWidget* tree_ = nullptr;
  QMenu* mnuTV_ = nullptr;
  QMap<QString, QIcon> NormalImgList;
  bool loaded_ = false;
};

// Shows the browser window again (creating and loading it when it is not loaded); what
// ShowStartForm does in the program.
void ShowStartFormWindow();
// The browser window of this run, null when it is not loaded.
StartForm* CurrentStartForm();

}  // namespace zelta
