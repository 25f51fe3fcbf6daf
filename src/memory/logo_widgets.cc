#include "memory/logo_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <cstring>

namespace zelta {
namespace {

constexpr int kScrollBarWidth = 17;

void Place(QWidget* w, const PictureBox& box) {
  w->setGeometry(box.left, box.top, box.outer_w(), box.outer_h());
  w->setVisible(box.visible);
}

// A list shows the record's entries; rebuilt only when they differ.
void ShowList(QComboBox* combo, const ListBox& list) {
  bool same = combo->count() == static_cast<int>(list.items.size());
  for (int k = 0; same && k < combo->count(); ++k) {
    same = combo->itemText(k).toStdString() == list.items[static_cast<size_t>(k)].first &&
           combo->itemData(k).toInt() == list.items[static_cast<size_t>(k)].second;
  }
  if (!same) {
    combo->clear();
    for (const auto& [text, data] : list.items) combo->addItem(QString::fromStdString(text), data);
  }
  combo->setCurrentIndex(list.selected);
}

void ShowBar(QScrollBar* bar, const ScrollBar& rec) {
  bar->setRange(0, rec.max);
  bar->setSingleStep(std::max(1, rec.small_change));
  bar->setPageStep(std::max(1, rec.large_change));
  bar->setValue(rec.value);
  bar->setVisible(rec.visible);
}

}  // namespace

QImage ToImage(const Dib* dib) {
  if (!dib) return {};
  QImage image(dib->width(), dib->height(), QImage::Format_RGB888);
  if (image.isNull()) return {};
  std::vector<uint8_t> row(3 * static_cast<size_t>(dib->width()));
  for (int y = 0; y < dib->height(); ++y) {
    ScanLineTo24(*dib, dib->height() - 1 - y, row.data());
    uchar* out = image.scanLine(y);
    for (int x = 0; x < dib->width(); ++x) {  // blue, green, red to red, green, blue
      out[3 * x] = row[3 * x + 2];
      out[3 * x + 1] = row[3 * x + 1];
      out[3 * x + 2] = row[3 * x];
    }
  }
  return image;
}

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {}

void PictureWidget::Show(const PictureBox& box) {
  Place(this, box);
  setEnabled(box.enabled);
  if (box.drawn != drawn_ || box.picture.get() != pixels_) {
    drawn_ = box.drawn;
    pixels_ = box.picture.get();
    image_ = ToImage(pixels_);
    paper_ = QColor::fromRgb(box.paper);
    update();
  }
}

void PictureWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), paper_.isValid() ? paper_ : Qt::white);
  // The border of the box is its frame; the picture sits inside it, 1:1 in dots.
  const int border = (width() - image_.width()) / 2;
  if (!image_.isNull())
    p.drawImage(QPoint(std::max(0, border), std::max(0, (height() - image_.height()) / 2)), image_);
  if (width() > image_.width() && height() > image_.height()) {
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

ThumbnailWidget::ThumbnailWidget(const QFont& caption_font, QWidget* parent)
    : QWidget(parent), font_(caption_font), picture_(new PictureWidget(this)) {
  picture_->setAttribute(Qt::WA_TransparentForMouseEvents);
  setCursor(Qt::PointingHandCursor);
}

void ThumbnailWidget::Show(const LogoSlot& slot) {
  const PictureBox& frame = slot.picThumbFrame;
  Place(this, frame);
  setEnabled(frame.enabled);
  picture_->Show(slot.picThumb);
  const QString caption = QString::fromLocal8Bit(frame.tag.c_str());
  const bool selected = IsSelected(slot);
  if (caption != caption_ || selected != selected_) {
    caption_ = caption;
    selected_ = selected;
    setAccessibleName(caption_);
    setAccessibleDescription(selected_ ? "selected" : "");
    update();
  }
}

void ThumbnailWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
  p.fillRect(rect(), palette().color(group, selected_ ? QPalette::Highlight : QPalette::Button));
  p.setPen(palette().color(group, selected_ ? QPalette::HighlightedText : QPalette::ButtonText));
  p.setFont(font_);
  const QFontMetrics metrics(font_);
  const int x = (width() - metrics.horizontalAdvance(caption_)) / 2;
  const int y = height() - metrics.height() - 2;
  p.drawText(x, y + metrics.ascent(), caption_);
}

void ThumbnailWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Q_EMIT clicked();
}

LogoPage::LogoPage(QWidget* parent) : QWidget(parent) {
  frmPaperWidth_ = new QGroupBox("Paper width", this);
  frmPaperWidth_->setGeometry(8, 4, 310, 88);
  cmbPaperWidth = new QComboBox(frmPaperWidth_);
  cmbPaperWidth->setGeometry(12, 24, 160, 26);
  cmbPaperWidth->setAccessibleName("Paper width");
  chkFit = new QCheckBox("Fit to paper width", frmPaperWidth_);
  chkFit->move(12, 56);
  chkFit->adjustSize();
  chkFit->setAccessibleName("Fit to paper width");

  frmColor_ = new QGroupBox("Color", this);
  frmColor_->setGeometry(330, 4, 310, 88);
  cmbColor = new QComboBox(frmColor_);
  cmbColor->setGeometry(12, 24, 160, 26);
  cmbColor->setAccessibleName("Color");
  chkErrorDiffusion = new QCheckBox("Error diffusion", frmColor_);
  chkErrorDiffusion->move(12, 56);
  chkErrorDiffusion->adjustSize();
  chkErrorDiffusion->setAccessibleName("Error diffusion");

  picFrameSlide_ = new QWidget(this);
  picSlide_ = new QWidget(picFrameSlide_);
  picView_ = new PictureWidget(picSlide_);
  picView_->setAccessibleName("Original image");
  picPreview_ = new PictureWidget(picSlide_);
  picPreview_->setAccessibleName("Preview");
  lblView_ = new QLabel("Original image", picSlide_);
  lblPreview_ = new QLabel("Preview", picSlide_);
  hsbSlide = new QScrollBar(Qt::Horizontal, picFrameSlide_);
  hsbSlide->setAccessibleName("Scroll the page horizontally");
  vsbSlide = new QScrollBar(Qt::Vertical, picFrameSlide_);
  vsbSlide->setAccessibleName("Scroll the page vertically");
}

void LogoPage::Show(const LogoSlot& slot) {
  const PictureBox& page = slot.picFrame;
  setGeometry(page.left, page.top, page.outer_w(), page.outer_h());
  setVisible(page.visible);
  ShowList(cmbPaperWidth, slot.cmbPaperWidth);
  ShowList(cmbColor, slot.cmbColor);
  chkFit->setChecked(slot.chkFit == 1);
  chkErrorDiffusion->setChecked(slot.chkErrorDiffusion == 1);

  const PictureBox& window = slot.picFrameSlide;
  picFrameSlide_->setGeometry(window.left, window.top, window.outer_w(), window.outer_h());
  const PictureBox& canvas = slot.picSlide;
  picSlide_->setGeometry(canvas.left, canvas.top, canvas.outer_w(), canvas.outer_h());
  picView_->Show(slot.picView);
  picPreview_->Show(slot.picPreview);
  lblView_->move(slot.picView.left, slot.picView.top - lblView_->sizeHint().height() - 2);
  lblPreview_->move(slot.picPreview.left, slot.picPreview.top - lblPreview_->sizeHint().height() - 2);
  lblView_->adjustSize();
  lblPreview_->adjustSize();
  vsbSlide->setGeometry(window.outer_w() - kScrollBarWidth, 0, kScrollBarWidth,
                        window.outer_h() - kScrollBarWidth);
  hsbSlide->setGeometry(0, window.outer_h() - kScrollBarWidth, window.outer_w() - kScrollBarWidth,
                        kScrollBarWidth);
  ShowBar(hsbSlide, slot.hsbSlide);
  ShowBar(vsbSlide, slot.vsbSlide);
}

}  // namespace zelta
