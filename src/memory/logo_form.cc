#include "memory/logo_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include "download/download_logo.h"
#include "download/print_logo.h"
#include "image/add_logo.h"
#include "image/fit_handler.h"
#include "image/gallery.h"
#include "image/thumbnails.h"
#include "link/form_window.h"
#include "memory/delete_logos.h"
#include "memory/logo_widgets.h"
#include "memory/print_stored.h"
#include "memory/printer_info.h"

namespace zelta {
namespace {

constexpr int kStartDelayMs = 200;

QString Text(const std::string& s) {
  return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

void ShowControl(QWidget* w, const Control& c) {
  w->setEnabled(c.enabled);
  w->setVisible(c.visible);
}

QGroupBox* MemoryFrame(const char* name, const char* caption, QLabel*& label, QWidget* parent) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(name);
  label = new QLabel(kMemUnknown, frame);
  label->setAlignment(Qt::AlignCenter);
  label->setAccessibleName(caption);
  (new QVBoxLayout(frame))->addWidget(label);
  return frame;
}

}  // namespace

LogoForm::LogoForm(QWidget* owner) : QMainWindow(owner, Qt::Window) {
  setObjectName(kLogoFormName);
  setAttribute(Qt::WA_DeleteOnClose, false);
  caption_font_ = QFont("Verdana");
  caption_font_.setPointSizeF(8.25);
  caption_font_.setBold(true);

  auto* central = new QWidget(this);
  auto* columns = new QHBoxLayout(central);
  auto* left = new QVBoxLayout;
  TabStrip = new QTabBar(central);
  TabStrip->setObjectName("TabStrip");
  TabStrip->setAccessibleName("Logos");
  TabStrip->setExpanding(false);
  left->addWidget(TabStrip);
  page_area_ = new QWidget(central);
  left->addWidget(page_area_);
  left->addStretch();
  columns->addLayout(left);

  picFrameAll = new QWidget(page_area_);
  picFrameAll->setObjectName("picFrameAll");
  picFrameAll->setAccessibleName("All logos");
  picFrameAll->setAutoFillBackground(true);
  picSlideAll_ = new QWidget(picFrameAll);
  vsbSlideAll = new QScrollBar(Qt::Vertical, picFrameAll);
  vsbSlideAll->setObjectName("vsbSlideAll");
  vsbSlideAll->setAccessibleName("Scroll the logos");

  auto* right = new QVBoxLayout;
  right->addWidget(MemoryFrame("frmMemUsed", "Used memory", lblMemUsed, central));
  right->addWidget(MemoryFrame("frmMemFree", "Free memory", lblMemFree, central));
  cmdAddLogo = AddButton("cmdAddLogo", "Add logo");
  cmdDwldLogo = AddButton("cmdDwldLogo", "Download logo");
  cmdDelLogo = AddButton("cmdDelLogo", "Delete logo");
  cmdClearMem = AddButton("cmdClearMem", "Delete all logos");
  cmdPrintLogo = AddButton("cmdPrintLogo", "Print logo");
  cmdPrintMemLogos = AddButton("cmdPrintMemLogos", "Print all logos");
  cmdSelectAll = AddButton("cmdSelectAll", "Select all");
  cmdSelectNone = AddButton("cmdSelectNone", "Select none");
  cmdExit = AddButton("cmdExit", "Close");
  for (QPushButton* b : {cmdAddLogo, cmdDwldLogo, cmdDelLogo, cmdClearMem, cmdPrintLogo, cmdPrintMemLogos,
                         cmdSelectAll, cmdSelectNone}) {
    right->addWidget(b);
  }
  right->addStretch();
  right->addWidget(cmdExit);
  columns->addLayout(right);
  setCentralWidget(central);

  panels_ = AddStatusPanels(this);
  QStatusBar* bar = statusBar();
  panel3_ = new QWidget(bar);
  panel3_->setObjectName("StatusPanel3");
  auto* panel3_layout = new QHBoxLayout(panel3_);
  panel3_layout->setContentsMargins(0, 0, 0, 0);
  ProgressBar = new QProgressBar(panel3_);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setAccessibleName("Progress");
  panel3_layout->addWidget(ProgressBar);
  bar->addPermanentWidget(panel3_);

  connect(cmdAddLogo, &QPushButton::clicked, this,
          [this] { Run([](LogoWindowState& s) { cmdAddLogo_Click(s); }); });
  connect(cmdSelectAll, &QPushButton::clicked, this,
          [this] { Run([](LogoWindowState& s) { cmdSelectAll_Click(s); }); });
  connect(cmdSelectNone, &QPushButton::clicked, this,
          [this] { Run([](LogoWindowState& s) { cmdSelectNone_Click(s); }); });
  connect(cmdDwldLogo, &QPushButton::clicked, this,
          [this] { Run([](LogoWindowState& s) { cmdDwldLogo_Click(s); }); });
  connect(cmdDelLogo, &QPushButton::clicked, this,
          [this] { Run([](LogoWindowState& s) { cmdDelLogo_Click(s); }); });
  connect(cmdClearMem, &QPushButton::clicked, this,
          [this] { Run([](LogoWindowState& s) { cmdClearMem_Click(s); }); });
  connect(cmdPrintLogo, &QPushButton::clicked, this,
          [this] { Run([](LogoWindowState& s) { cmdPrintLogo_Click(s); }); });
  connect(cmdPrintMemLogos, &QPushButton::clicked, this,
          [this] { Run([](LogoWindowState& s) { cmdPrintMemLogos_Click(s); }); });
  connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
  connect(TabStrip, &QTabBar::currentChanged, this, [this](int index) {
    if (syncing_) return;
    if (TabStrip_BeforeClick(state())) {
      Sync();  // refused: the previous tab stays selected
      return;
    }
    Run([index](LogoWindowState& s) {
      s.selected_tab = index;
      TabStrip_Click(s);
    });
  });
  connect(vsbSlideAll, &QScrollBar::valueChanged, this, [this](int value) {
    if (!syncing_) Run([value](LogoWindowState& s) { vsbSlideAll_Change(s, value); });
  });

  core_ = std::make_unique<LogoWindow>(this);
  state().caption_text_height = QFontMetrics(caption_font_).boundingRect("SAMPL").height();
  StartTimer = new QTimer(this);
  StartTimer->setObjectName("StartTimer");
  StartTimer->setSingleShot(true);
  StartTimer->setInterval(kStartDelayMs);
  connect(StartTimer, &QTimer::timeout, this,
          [this] { Run([](LogoWindowState& s) { StartTimer_Timer(s); }); });
  StartTimer->start();
  Sync();
}

LogoForm::~LogoForm() {
  // The record no longer has anyone to tell.
  if (core_) core_->state.view = nullptr;
}

QPushButton* LogoForm::AddButton(const char* name, const char* text) {
  auto* b = new QPushButton(text, this);
  b->setObjectName(name);
  b->setAccessibleName(text);
  b->setMinimumWidth(150);
  return b;
}

template <typename F>
void LogoForm::Run(F handler) {
  if (!core_ || state().unloaded) return;
  handler(state());
  Sync();
}

ThumbnailWidget* LogoForm::Thumbnail(int i) const {
  return i >= 1 && i <= static_cast<int>(thumbs_.size()) ? thumbs_[static_cast<size_t>(i - 1)] : nullptr;
}

LogoPage* LogoForm::Page(int i) const {
  return i >= 1 && i <= static_cast<int>(pages_.size()) ? pages_[static_cast<size_t>(i - 1)] : nullptr;
}

QLabel* LogoForm::StatusPanel(int panel) const {
  return panel >= 1 && panel <= static_cast<int>(panels_.size()) ? panels_[static_cast<size_t>(panel - 1)]
                                                                 : nullptr;
}

void LogoForm::StateChanged() {
  // Changes come in bursts during an operation: redraw once, when the event loop next runs.
  if (sync_pending_) return;
  sync_pending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (sync_pending_) Sync();
  });
}

void LogoForm::WindowUnloaded() {
  hide();
  deleteLater();
}

void LogoForm::closeEvent(QCloseEvent* event) {
  if (!core_ || state().unloaded || QueryUnload(state())) {
    event->accept();
  } else {
    event->ignore();
  }
}

void LogoForm::Sync() {
  sync_pending_ = false;
  if (!core_ || state().unloaded) return;
  syncing_ = true;
  const LogoWindowState& s = state();
  setWindowTitle(Text(s.caption));
  if (s.busy) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
  for (size_t k = 0; k < panels_.size(); ++k) {
    if (panels_[k]->text() != Text(s.panels[k]) && !s.panels[k].empty()) {
      panels_[k]->setText(Text(s.panels[k]));
      panels_[k]->setAccessibleName(Text(s.panels[k]));
    }
  }
  panel3_->setVisible(s.panel3_visible);
  ProgressBar->setVisible(s.progress.visible);
  ProgressBar->setRange(0, std::max(1, s.progress.max));
  ProgressBar->setValue(std::clamp(s.progress.value, 0, std::max(1, s.progress.max)));
  const std::pair<QPushButton*, const Control*> buttons[] = {{cmdAddLogo, &s.cmdAddLogo},
                                                             {cmdDwldLogo, &s.cmdDwldLogo},
                                                             {cmdDelLogo, &s.cmdDelLogo},
                                                             {cmdClearMem, &s.cmdClearMem},
                                                             {cmdPrintLogo, &s.cmdPrintLogo},
                                                             {cmdPrintMemLogos, &s.cmdPrintMemLogos},
                                                             {cmdSelectAll, &s.cmdSelectAll},
                                                             {cmdSelectNone, &s.cmdSelectNone},
                                                             {cmdExit, &s.cmdExit}};
  for (const auto& [button, control] : buttons) ShowControl(button, *control);
  lblMemUsed->setText(Text(s.lblMemUsed));
  lblMemFree->setText(Text(s.lblMemFree));

  // Tabs: the record's, in its order.
  while (TabStrip->count() > static_cast<int>(s.tabs.size())) TabStrip->removeTab(TabStrip->count() - 1);
  for (size_t k = 0; k < s.tabs.size(); ++k) {
    const QString caption = Text(s.tabs[k].caption);
    if (static_cast<int>(k) >= TabStrip->count()) {
      TabStrip->addTab(caption);
    } else if (TabStrip->tabText(static_cast<int>(k)) != caption) {
      TabStrip->setTabText(static_cast<int>(k), caption);
    }
    TabStrip->setTabToolTip(static_cast<int>(k), caption);
  }
  TabStrip->setCurrentIndex(s.selected_tab);

  page_area_->setFixedSize(s.picFrameAll.outer_w(), s.picFrameAll.outer_h());
  picFrameAll->setGeometry(0, 0, s.picFrameAll.outer_w(), s.picFrameAll.outer_h());
  picFrameAll->setVisible(s.selected_tab == 0);
  picSlideAll_->setGeometry(0, s.picSlideAll.top, s.picSlideAll.inner_w, std::max(0, s.picSlideAll.inner_h));
  vsbSlideAll->setGeometry(s.picFrameAll.inner_w - s.vsbSlideAll_width, 0, s.vsbSlideAll_width,
                           s.picFrameAll.inner_h);
  vsbSlideAll->setRange(0, s.vsbSlideAll.max);
  vsbSlideAll->setSingleStep(std::max(1, s.vsbSlideAll.small_change));
  vsbSlideAll->setPageStep(std::max(1, s.vsbSlideAll.large_change));
  vsbSlideAll->setValue(s.vsbSlideAll.value);
  vsbSlideAll->setVisible(s.vsbSlideAll.visible);
  SyncSlots();
  syncing_ = false;
}

void LogoForm::SyncSlots() {
  const LogoWindowState& s = state();
  const size_t n = static_cast<size_t>(s.slot_count());
  while (thumbs_.size() > n) {
    delete thumbs_.back();
    thumbs_.pop_back();
    delete pages_.back();
    pages_.pop_back();
  }
  while (thumbs_.size() < n) {
    const int16_t i = static_cast<int16_t>(thumbs_.size() + 1);
    auto* thumb = new ThumbnailWidget(caption_font_, picSlideAll_);
    connect(thumb, &ThumbnailWidget::clicked, this,
            [this, i] { Run([i](LogoWindowState& st) { picThumbFrame_Click(st, i); }); });
    thumbs_.push_back(thumb);
    auto* page = new LogoPage(page_area_);
    connect(page->cmbPaperWidth, &QComboBox::activated, this, [this, i](int index) {
      Run([i, index](LogoWindowState& st) {
        st.Slot(i).cmbPaperWidth.selected = index;
        cmbPaperWidth_Click(st, i);
      });
    });
    connect(page->cmbColor, &QComboBox::activated, this, [this, i](int index) {
      Run([i, index](LogoWindowState& st) {
        st.Slot(i).cmbColor.selected = index;
        cmbColor_Click(st, i);
      });
    });
    connect(page->chkFit, &QCheckBox::clicked, this, [this, i](bool on) {
      Run([i, on](LogoWindowState& st) {
        st.Slot(i).chkFit = on ? 1 : 0;
        chkFit_Click(st, i);
      });
    });
    connect(page->chkErrorDiffusion, &QCheckBox::clicked, this, [this, i](bool on) {
      Run([i, on](LogoWindowState& st) {
        st.Slot(i).chkErrorDiffusion = on ? 1 : 0;
        chkErrorDiffusion_Click(st, i);
      });
    });
    connect(page->hsbSlide, &QScrollBar::valueChanged, this, [this, i](int value) {
      if (!syncing_) Run([i, value](LogoWindowState& st) { hsbSlide_Change(st, i, value); });
    });
    connect(page->vsbSlide, &QScrollBar::valueChanged, this, [this, i](int value) {
      if (!syncing_) Run([i, value](LogoWindowState& st) { vsbSlide_Change(st, i, value); });
    });
    pages_.push_back(page);
  }
  for (size_t k = 0; k < n; ++k) {
    const LogoSlot& slot = s.slots[k];
    thumbs_[k]->Show(slot);
    pages_[k]->Show(slot);
    if (slot.picFrame.visible) pages_[k]->raise();
  }
}

LogoForm* ShowLogoForm(QWidget* owner) {
  auto* form = new LogoForm(owner);
  form->show();
  return form;
}

}  // namespace zelta
