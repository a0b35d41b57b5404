#pragma once
// Window tests: an offscreen application, a run folder of side files per test, and message
// boxes that the test answers.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"

namespace kl::test {

class RecordedMessages : public MessageBoxes {
 public:
  void Error(const std::string& text) override { errors.push_back(text); }
  void Information(const std::string& text) override { infos.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    return answer;
  }
  std::vector<std::string> errors, infos, questions;
  bool answer = true;
};

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "kinklab_window_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    // Three virtual screens: Qt's default one first, where the windows of most tests stand,
    // then two common sizes that a window may be opened maximised on. No frame margins, so a
    // maximised window has the size of its screen. A file of this process's own: under a
    // parallel ctest another test process would rewrite a shared one while Qt reads it.
    const std::filesystem::path config =
        std::filesystem::temp_directory_path() / ("kinklab_window_screens_" + std::to_string(getpid()) + ".json");
    std::ofstream(config) << R"({"windowFrameMargins": false, "screens": [
        {"name": "default", "x": 0, "y": 0, "width": 800, "height": 800},
        {"name": "1366x768", "x": 800, "y": 0, "width": 1366, "height": 768},
        {"name": "1920x1080", "x": 2166, "y": 0, "width": 1920, "height": 1080}]})";
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config.string()).c_str());
    QApplication* created = new QApplication(argc, argv);
    std::filesystem::remove(config);  // read while the platform started
    return created;
  }();
  return *app;
}

// A fresh folder holding the shipped side files; the test may spoil or remove them.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    folder = std::filesystem::temp_directory_path() /
             ("kinklab_window_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (const char* f : {"KQ_ini.txt", "KQ_mix.txt", "KQ_rus.txt", "KQ_eng.txt"})
      std::filesystem::copy_file(std::filesystem::path(KINKLAB_RUN_DIR) / f, folder / f);
    previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
  }
  void TearDown() override {
    form.reset();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
  }
  void Write(const std::string& name, const std::string& content) {
    std::ofstream(folder / name, std::ios::binary) << content;
  }
  TForm1& Start() {
    form = std::make_unique<TForm1>(&messages, 0);
    return *form;
  }
  // Lets the timers run for a while.
  void Pump(int ms = 30) { QTest::qWait(ms); }
  std::vector<std::string> Lines(const std::string& name) {
    std::ifstream in(folder / name);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }

  std::filesystem::path folder, previous;
  RecordedMessages messages;
  std::unique_ptr<TForm1> form;
};

// Selects a list item by a click on it, as a user does.
inline void ClickRow(QListWidget* list, int row) {
  list->setCurrentRow(row);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

// "One kink", then ">" with the displacement and velocity typed into their fields.
inline void AddKink(TForm1& f, const char* c, const char* v) {
  QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
  f.EditInitSm->setText(c);
  f.EditInitVel->setText(v);
  QTest::mouseClick(f.ButtonAdd, Qt::LeftButton);
}

// A press on the start button, then the slice timer until the run halts.
inline void PressStartAndWait(TForm1& f) {
  QTest::mouseClick(f.ButtonToCalc, Qt::LeftButton);
  for (int k = 0; k < 20000 && f.program().sim.Running; ++k) QTest::qWait(1);
}

// The pixel of the world point (x, t) on the main picture, in its current frame.
inline QPoint MainPixel(TForm1& f, double x, double t) {
  const PlotFrame& m = f.program().sim.MainFrame;
  const int W = f.PaintBoxMain->width(), H = f.PaintBoxMain->height();
  return QPoint(static_cast<int>(std::lround((x - m.xMin) / (m.xMax - m.xMin) * W)),
                H - static_cast<int>(std::lround((t - m.yMin) / (m.yMax - m.yMin) * H)));
}

inline std::string Text(const QLabel* l) { return l->text().toStdString(); }
inline std::string Text(const QAbstractButton* b) { return b->text().toStdString(); }
inline std::string Text(const QLineEdit* e) { return e->text().toStdString(); }

}  // namespace kl::test
