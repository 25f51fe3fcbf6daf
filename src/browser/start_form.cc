#include "browser/start_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>

#include "browser/about_form.h"
#include "browser/connect_printer.h"
#include "browser/main_server_form.h"
#include "browser/prn_form.h"
#include "browser/start_up.h"
#include "browser/treeview_calls.h"
#include "link/forms.h"
#include "link/status_texts.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

QPointer<StartForm>& TheStartForm() {
  static QPointer<StartForm> form;
  return form;
}

std::function<void(QWidget*)>& LogoOpener() {
  static std::function<void(QWidget*)> opener;
  return opener;
}

QString Q(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

void SetLogoWindowOpener(std::function<void(QWidget* owner)> opener) { LogoOpener() = std::move(opener); }

StartForm* CurrentStartForm() { return TheStartForm().data(); }

void ShowStartFormWindow() {
  StartForm* form = CurrentStartForm();
  if (!form) {
    form = new StartForm;
    if (!form->Load(AppFolder + "icons/")) {
      form->deleteLater();
      return;
    }
  }
  CurrentFormName = "StartForm";
  form->showNormal();
  form->raise();
  form->activateWindow();
}

StartForm::StartForm(QWidget* parent) : FormWindow("StartForm", parent) {
  TheStartForm() = this;
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(kProgramTitle);
  setAccessibleName(kProgramTitle);
  resize(420, 480);
  StatusPanel(1)->setText("Working mode");
  StatusPanel(1)->setToolTip("Working mode");
  StatusPanel(1)->setAccessibleName("Working mode");
  StatusPanel(2)->setToolTip("Program status");

  tree_ = new QTreeWidget(this);
  tree_->setObjectName("tvwServerCollection");
  tree_->setAccessibleName("Servers and printers");
  tree_->setHeaderHidden(true);
  tree_->setIconSize(QSize(16, 16));
  tree_->setContextMenuPolicy(Qt::NoContextMenu);
  tree_->viewport()->installEventFilter(this);
  tree_->installEventFilter(this);
  setCentralWidget(tree_);
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item) state_.tvwServerCollection.Select(item->data(0, Qt::UserRole).toInt());
  });
  BuildMenus();

  state_.unload = [this] {
    // Unloading the browser window ends the program: every window closes.
    loaded_ = false;
    QApplication::closeAllWindows();
    QApplication::quit();
  };
  state_.show_main_server_dialog = [this] {
    MainServerForm dialog(this);
    if (dialog.Load()) dialog.exec();
  };
  state_.open_printer_window = [this](PrinterWindow window, const std::string& node_text) {
    return OpenPrinterWindow(window, node_text);
  };
  state_.busy_changed = [this](bool busy) { SetBusy(busy); };
  SetStartFormShower(ShowStartFormWindow);
}

StartForm::~StartForm() {
  if (TheStartForm() == this) TheStartForm() = nullptr;
}

bool StartForm::Load(const std::string& icon_folder) {
  static const char* const kIcons[][2] = {{kImageDomain, "DOMAIN"},
                                          {kImageServer, "SERVER"},
                                          {kImagePrinter, "PRINTER"},
                                          {kImageNetPrinter, "NETPRINTER"}};
  for (const auto& icon : kIcons) {
    QString file = Q(icon_folder) + icon[1] + ".png";
    QIcon image(file);
    if (!QFile::exists(file) || image.isNull()) {
      unsetCursor();
      ShowMessage(std::string("Raise error on loading the application Demo.") + "\r\n" +
                  "Please check the Application components.");
      return false;
    }
    NormalImgList.insert(icon[0], image);
  }
  LoadStartForm(state_);
  Action("mnuOptions")->setVisible(state_.mnuOptionsVisible);
  Action("mnuTVDeleteServer")->setVisible(state_.mnuTVDeleteServerVisible);
  SyncTree();
  if (QScreen* screen = QApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
  }
  loaded_ = true;
  return true;
}

void StartForm::SyncTree() {
  const ServerTree& record = state_.tvwServerCollection;
  tree_->blockSignals(true);
  tree_->clear();
  QMap<int, QTreeWidgetItem*> items;
  QTreeWidgetItem* selected = nullptr;
  for (int id : record.DisplayOrder()) {
    const TreeNode* node = record.Node(id);
    QTreeWidgetItem* parent = items.value(node->parent, nullptr);
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, Q(node->text));
    item->setIcon(0, NormalImgList.value(Q(node->image)));
    item->setData(0, Qt::UserRole, id);
    item->setData(0, Qt::AccessibleTextRole, Q(node->text));
    items.insert(id, item);
    if (id == record.Selected()) selected = item;
  }
  for (auto it = items.begin(); it != items.end(); ++it)
    it.value()->setExpanded(record.Node(it.key())->expanded);
  if (selected) tree_->setCurrentItem(selected);
  tree_->blockSignals(false);
}

void StartForm::Run(void (*command)(StartFormState&)) {
  command(state_);
  if (!state_.unloaded) SyncTree();
}

void StartForm::Refresh() { Run(RefreshCommand); }
void StartForm::AddServer() { Run(AddServerCommand); }
void StartForm::DeleteServer() { Run(DeleteServerCommand); }
void StartForm::SelectMainServer() { Run(SelectMainServerCommand); }
void StartForm::Connect() { Run(ConnectSelectedPrinter); }

void StartForm::About() {
  AboutForm box(this);
  box.exec();
}

bool StartForm::OpenPrinterWindow(PrinterWindow window, const std::string& node_text) {
  if (window == PrinterWindow::kLogoForm) {
    if (!LogoOpener()) {
      ShowMessage("The logo window is not part of this program.");
      return false;
    }
    LogoOpener()(this);
  } else {
    auto* form =
        new PrnForm(window == PrinterWindow::kPrnBraForm ? "PrnBraForm" : "PrnForm", node_text, this);
    form->show();
  }
  hide();
  return true;
}

void StartForm::showEvent(QShowEvent* event) {
  FormWindow::showEvent(event);
  NameMenuBarExtras();
  // Activation of a window without a window manager (offscreen) is not reported: the first show
  // counts as the first activation too.
  if (loaded_ && !state_.Activated) QTimer::singleShot(0, this, [this] { Activate(); });
}

void StartForm::changeEvent(QEvent* event) {
  FormWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && loaded_ && !state_.Activated) {
    QTimer::singleShot(0, this, [this] { Activate(); });
  }
}

void StartForm::Activate() {
  if (state_.Activated || !loaded_) return;
  CurrentFormName = "StartForm";
  ActivateStartForm(state_);
  if (!state_.unloaded) SyncTree();
}

void StartForm::closeEvent(QCloseEvent* event) {
  if (state_.unloaded) return event->accept();
  showMinimized();
  if (!StartFormCloseRequest(state_)) return event->ignore();
  state_.unloaded = true;
  event->accept();
  QApplication::closeAllWindows();
  QApplication::quit();
}

}  // namespace zelta
