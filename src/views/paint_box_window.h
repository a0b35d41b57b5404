#pragma once
// A paint box: a widget that shows a raster canvas. Its canvas follows the widget's size.
#include <QWidget>

#include "views/canvas.h"

namespace kl {

// Draws canvas text with a QPainter straight into the canvas's pixels.
class QtTextRenderer : public TextRenderer {
 public:
  void DrawText(Canvas& canvas, int x, int y, std::string_view text, Rgb colour, Rgb background) override;
};

class PaintBox : public QWidget {
  Q_OBJECT
 public:
  PaintBox(QWidget* parent, const QString& name, Canvas& canvas, QColor background);
  Canvas& canvas() { return canvas_; }
  // Gives the canvas the widget's size (a hidden widget gets no resize events).
  void SyncCanvas();

 signals:
  void mousePressed(int button, int x, int y);
  void mouseReleased(int button, int x, int y);
  void mouseMoved(int x, int y);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;

 private:
  Canvas& canvas_;
  QColor background_;
};

QtTextRenderer& SharedTextRenderer();

}  // namespace kl
