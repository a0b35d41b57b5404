// kinklab: the window.
#include <QApplication>

#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Laid out for the size the window has once maximised, so it fills the screen it opens on.
  kl::TForm1 form(nullptr, 100, kl::TForm1::Opening::Maximized);
  form.showMaximized();
  return app.exec();
}
