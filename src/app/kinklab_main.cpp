// kinklab: the window.
#include <QApplication>

#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  kl::TForm1 form;
  form.showMaximized();
  return app.exec();
}
