// The widgets that draw the logo window's records: a picture box, a thumbnail frame with its caption,
// and one logo's page. They only draw what the records hold and report the user's clicks; the
// operations run on the records.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "image/logo_window_state.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QScrollBar;

namespace zelta {

// The pixels of a bitmap as an image of the same size (empty for none).
QImage ToImage(const Dib* dib);

// Draws a PictureBox's picture 1:1 on its paper colour; redraws only when the record drew anew.
class PictureWidget : public QWidget {
  Q_OBJECT
 public:
  explicit PictureWidget(QWidget* parent = nullptr);
  // Takes the record's geometry, visibility and drawing.
  void Show(const PictureBox& box);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  QColor paper_;
  uint64_t drawn_ = ~uint64_t{0};
  const Dib* pixels_ = nullptr;
};

// One thumbnail of the gallery: the frame in its selection colours, the thumbnail picture and the
// caption centred below it. Its accessible name is the caption.
class ThumbnailWidget : public QWidget {
  Q_OBJECT
 public:
  ThumbnailWidget(const QFont& caption_font, QWidget* parent = nullptr);
  void Show(const LogoSlot& slot);

 Q_SIGNALS:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QFont font_;
  PictureWidget* picture_;
  QString caption_;
  bool selected_ = false;
};

// One logo's page: the "Paper width" and "Color" frames with their lists and boxes above the scrolled
// canvas that holds the original picture and the preview.
class LogoPage : public QWidget {
  Q_OBJECT
 public:
  explicit LogoPage(QWidget* parent = nullptr);
  void Show(const LogoSlot& slot);

  QComboBox* cmbPaperWidth;
  QCheckBox* chkFit;
  QComboBox* cmbColor;
  QCheckBox* chkErrorDiffusion;
  QScrollBar* hsbSlide;
  QScrollBar* vsbSlide;

 private:
  QGroupBox* frmPaperWidth_;
  QGroupBox* frmColor_;
  QWidget* picFrameSlide_;
  QWidget* picSlide_;
  PictureWidget* picView_;
  PictureWidget* picPreview_;
  QLabel* lblView_;
  QLabel* lblPreview_;
};

}  // namespace zelta
