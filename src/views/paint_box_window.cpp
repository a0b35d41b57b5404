#include "views/paint_box_window.h"

#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kl {

namespace {
// A read-only view for showing the picture; it leaves the canvas's version alone.
QImage ConstImageOf(const Canvas& canvas) {
  return QImage(reinterpret_cast<const uchar*>(canvas.ConstRow(0)), canvas.Width(), canvas.Height(),
                canvas.Width() * 4, QImage::Format_RGB32);
}
QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }
}  // namespace

QtTextRenderer::QtTextRenderer() : font_("MS Sans Serif") {
  font_.setStyleHint(QFont::SansSerif);
  font_.setPixelSize(11);
  lineHeight_ = QFontMetrics(font_).height();
}

const QtTextRenderer::Stamp& QtTextRenderer::StampOf(std::string_view text, Rgb colour, Rgb background) {
  key_.assign(text);
  for (Rgb c : {colour, background}) key_ += {'\0', static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)};
  if (const auto found = stamps_.find(key_); found != stamps_.end()) return found->second;
  if (stamps_.size() >= 1024) stamps_.clear();  // a run's changing numbers never fill memory
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  Stamp stamp;
  stamp.width = QFontMetrics(font_).horizontalAdvance(s);
  stamp.height = lineHeight_;
  if (stamp.width > 0 && stamp.height > 0) {
    QImage image(stamp.width, stamp.height, QImage::Format_RGB32);
    image.fill(ToQColor(background));
    QPainter painter(&image);
    painter.setFont(font_);
    painter.setPen(ToQColor(colour));
    painter.drawText(image.rect(), Qt::AlignLeft | Qt::AlignTop, s);
    painter.end();
    stamp.pixels.resize(static_cast<size_t>(stamp.width) * stamp.height);
    for (int row = 0; row < stamp.height; ++row) {
      const auto* line = reinterpret_cast<const uint32_t*>(image.constScanLine(row));
      std::copy(line, line + stamp.width, stamp.pixels.begin() + static_cast<ptrdiff_t>(row) * stamp.width);
    }
  }
  return stamps_.emplace(key_, std::move(stamp)).first->second;
}

void QtTextRenderer::DrawText(Canvas& canvas, int x, int y, std::string_view text, Rgb colour, Rgb background) {
  const int W = canvas.Width(), H = canvas.Height();
  if (W <= 0 || H <= 0) return;
  const Stamp& stamp = StampOf(text, colour, background);
  const int left = std::max(x, 0), right = std::min(x + stamp.width, W);
  if (left >= right) return;
  for (int row = std::max(y, 0); row < std::min(y + stamp.height, H); ++row) {
    const uint32_t* from = stamp.pixels.data() + static_cast<ptrdiff_t>(row - y) * stamp.width + (left - x);
    std::copy(from, from + (right - left), canvas.Row(row) + left);
  }
}

QtTextRenderer& SharedTextRenderer() {
  static QtTextRenderer renderer;
  return renderer;
}

PaintBox::PaintBox(QWidget* parent, const QString& name, Canvas& canvas, QColor background)
    : QWidget(parent), canvas_(canvas), background_(background) {
  setObjectName(name);
  canvas_.SetTextRenderer(&SharedTextRenderer());
}

void PaintBox::resizeEvent(QResizeEvent*) { SyncCanvas(); }

void PaintBox::SyncCanvas() {
  if (canvas_.Width() != width() || canvas_.Height() != height()) {
    canvas_.Resize(width(), height());
    const Rgb fill{static_cast<uint8_t>(background_.red()), static_cast<uint8_t>(background_.green()),
                   static_cast<uint8_t>(background_.blue())};
    canvas_.SetPenColor(fill);
    canvas_.SetBrushColor(fill);
    canvas_.Rectangle(0, 0, width(), height());
  }
}

void PaintBox::paintEvent(QPaintEvent*) {
  if (canvas_.Width() <= 0 || canvas_.Height() <= 0) return;
  QPainter painter(this);
  painter.drawImage(0, 0, ConstImageOf(canvas_));
}

void PaintBox::mousePressEvent(QMouseEvent* e) {
  emit mousePressed(e->button() == Qt::RightButton ? 1 : 0, e->position().toPoint().x(), e->position().toPoint().y());
}
void PaintBox::mouseReleaseEvent(QMouseEvent* e) {
  emit mouseReleased(e->button() == Qt::RightButton ? 1 : 0, e->position().toPoint().x(), e->position().toPoint().y());
}
void PaintBox::mouseMoveEvent(QMouseEvent* e) { emit mouseMoved(e->position().toPoint().x(), e->position().toPoint().y()); }

}  // namespace kl
