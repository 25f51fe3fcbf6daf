// The browser window's menus and its tree's mouse and keyboard handling.
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QToolButton>
#include <QTreeWidget>

#include "browser/connect_printer.h"
#include "browser/start_form.h"
#include "browser/treeview_calls.h"

namespace zelta {
namespace {

QAction* AddEntry(QMenu* menu, const char* name, const char* caption) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(name);
  return action;
}

QMenu* AddMenu(QMenuBar* bar, const char* name, const char* caption) {
  QMenu* menu = bar->addMenu(caption);
  menu->setObjectName(name);
  menu->menuAction()->setObjectName(name);
  menu->setAccessibleName(QString(caption).remove('&'));
  return menu;
}

}  // namespace

QAction* StartForm::Action(const QString& name) const {
  for (QAction* action : findChildren<QAction*>()) {
    if (action->objectName() == name) return action;
  }
  return nullptr;
}

void StartForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  QMenu* file = AddMenu(bar, "mnuFile", "&File");
  connect(AddEntry(file, "mnuExit", "Exit"), &QAction::triggered, this, &QWidget::close);
  QMenu* view = AddMenu(bar, "mnuView", "&View");
  connect(AddEntry(view, "mnuRefresh", "Refresh"), &QAction::triggered, this, &StartForm::Refresh);
  QMenu* options = AddMenu(bar, "mnuOptions", "&Options");
  connect(AddEntry(options, "mnuAddServer", "Add server"), &QAction::triggered, this, &StartForm::AddServer);
  connect(AddEntry(options, "mnuDeleteServer", "Delete server"), &QAction::triggered, this,
          &StartForm::DeleteServer);
  connect(AddEntry(options, "mnuMainServer", "Select main server"), &QAction::triggered, this,
          &StartForm::SelectMainServer);
  QMenu* help = AddMenu(bar, "mnuHelp", "&Help");
  connect(AddEntry(help, "mnuAbout", "About..."), &QAction::triggered, this, &StartForm::About);
  // The tree's context menu: not in the menu bar.
  mnuTV_ = new QMenu("TreeView", this);
  mnuTV_->setObjectName("mnuTV");
  mnuTV_->setAccessibleName("TreeView");
  connect(AddEntry(mnuTV_, "mnuTVRefresh", "Refresh"), &QAction::triggered, this, &StartForm::Refresh);
  connect(AddEntry(mnuTV_, "mnuTVDeleteServer", "Delete server"), &QAction::triggered, this,
          &StartForm::DeleteServer);
  connect(AddEntry(mnuTV_, "mnuTVConnect", "Connect"), &QAction::triggered, this, [this] {
    state_.ItemHit = true;
    Connect();
  });
}

void StartForm::NameMenuBarExtras() {
  // The menu bar's own button (and its menu) for menus that do not fit a narrow window; Qt makes them
  // when the bar is first laid out.
  QMenuBar* bar = menuBar();
  if (auto* more = bar->findChild<QToolButton*>("qt_menubar_ext_button"))
    more->setAccessibleName("More menus");
  for (QMenu* menu : bar->findChildren<QMenu*>()) {
    if (menu->objectName().isEmpty()) {
      menu->setObjectName("mnuMore");
      menu->setTitle("More menus");
      menu->setAccessibleName("More menus");
    }
  }
}

bool StartForm::HitsItem(const QPoint& pos) const {
  QTreeWidgetItem* item = tree_->itemAt(pos);
  if (!item) return false;
  // On the icon or the label, not in the blank part of the row.
  QRect row = tree_->visualItemRect(item);
  int right =
      row.left() + tree_->iconSize().width() + 8 + tree_->fontMetrics().horizontalAdvance(item->text(0));
  return pos.x() >= row.left() && pos.x() <= right;
}

void StartForm::PopUpContextMenu(const QPoint& global) {
  const TreeNode* node = state_.tvwServerCollection.Node(state_.tvwServerCollection.Selected());
  ContextMenuEntries entries;
  if (!node || !ContextMenuFor(node->image, entries)) return;
  Action("mnuTVRefresh")->setEnabled(entries.refresh);
  Action("mnuTVDeleteServer")->setEnabled(entries.delete_server);
  Action("mnuTVConnect")->setEnabled(entries.connect);
  mnuTV_->popup(global);
}

bool StartForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tree_->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      state_.ItemHit = mouse->button() == Qt::LeftButton && HitsItem(mouse->position().toPoint());
      // The right button does not change the selected node: the menu acts on the selected one.
      if (mouse->button() == Qt::RightButton) return true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::RightButton && !state_.busy && HitsItem(mouse->position().toPoint())) {
        PopUpContextMenu(mouse->globalPosition().toPoint());
        return true;
      }
    } else if (event->type() == QEvent::MouseButtonDblClick) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton) {
        // The press decides: a double click on empty space after a click on an item opens nothing.
        state_.ItemHit = HitsItem(mouse->position().toPoint());
        Connect();
        return true;
      }
    }
  } else if (watched == tree_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      state_.ItemHit = true;
      Connect();
      return true;
    }
  }
  return FormWindow::eventFilter(watched, event);
}

}  // namespace zelta
