// kinklab-screenshots: pictures of the four tabs of the real window, for the documentation.
// Run it in a folder with the side files: kinklab-screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);
  kl::TForm1 form;
  form.resize(640, 560);
  form.show();
  for (int page = 0; page < 4; ++page) {
    form.TabbedNotebook1->setCurrentIndex(page);
    QTest::qWait(100);
    form.grab().save(QStringLiteral("%1/tab%2.png").arg(out).arg(page));
  }
  return 0;
}
