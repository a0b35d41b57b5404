#pragma once
// A paint box: a widget that shows a raster canvas. Its canvas follows the widget's size.
#include <QFont>
#include <QWidget>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/canvas.h"

namespace kl {

// Draws canvas text with a QPainter. A text fills the box of its advance and line height
// with the background and stays inside it, so its pixels depend only on the text and the two
// colours: they are drawn once and copied from then on (a run rewrites its text block at
// every step, mostly with lines it wrote before).
class QtTextRenderer : public TextRenderer {
 public:
  QtTextRenderer();
  void DrawText(Canvas& canvas, int x, int y, std::string_view text, Rgb colour, Rgb background) override;
  // Width and height of the box a text fills.
  std::pair<int, int> BoxOf(std::string_view text) {
    const Stamp& stamp = StampOf(text, kBlack, kWhite);
    return {stamp.width, stamp.height};
  }

 private:
  struct Stamp {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
  };
  const Stamp& StampOf(std::string_view text, Rgb colour, Rgb background);

  QFont font_;
  int lineHeight_ = 0;
  std::unordered_map<std::string, Stamp> stamps_;
  std::string key_;
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
