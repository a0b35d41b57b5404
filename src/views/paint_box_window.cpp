#include "views/paint_box_window.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace kl {

namespace {
QImage ImageOf(Canvas& canvas) {
  return QImage(reinterpret_cast<uchar*>(canvas.Row(0)), canvas.Width(), canvas.Height(),
                canvas.Width() * 4, QImage::Format_RGB32);
}
// A read-only view for showing the picture; it leaves the canvas's version alone.
QImage ConstImageOf(const Canvas& canvas) {
  return QImage(reinterpret_cast<const uchar*>(canvas.ConstRow(0)), canvas.Width(), canvas.Height(),
                canvas.Width() * 4, QImage::Format_RGB32);
}
QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }
}  // namespace

void QtTextRenderer::DrawText(Canvas& canvas, int x, int y, std::string_view text, Rgb colour, Rgb background) {
  if (canvas.Width() <= 0 || canvas.Height() <= 0) return;
  QImage image = ImageOf(canvas);
  QPainter painter(&image);
  QFont font("MS Sans Serif");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  painter.setFont(font);
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const QFontMetrics metrics(font);
  const QRect box(x, y, metrics.horizontalAdvance(s), metrics.height());
  painter.fillRect(box, ToQColor(background));
  painter.setPen(ToQColor(colour));
  painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, s);
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
