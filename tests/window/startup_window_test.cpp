// The window from start-up: captions, languages, fields, the N and colour lists, and a run.
#include <cmath>

#include "app/data_file.h"
#include "base/version.h"
#include "base/numbers.h"
#include "window_support.h"

namespace kl::test {
namespace {

// The shipped caption table, for comparing captions without copying its texts here.
std::string Entry(int entry, int line) {
  LanguageTable table;
  std::string problem;
  EXPECT_TRUE(ReadLanguageTable(std::string(KINKLAB_RUN_DIR) + "/KQ_mix.txt", table, problem)) << problem;
  return table.entries.at(entry - 1)[line];
}

TEST_F(WindowTest, StartsInEnglishWithEveryDefaultInPlace) {
  TForm1& f = Start();
  EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
  const Program& p = f.program();
  EXPECT_EQ(f.windowTitle().toStdString(), Entry(1, 1));
  EXPECT_EQ(Text(f.cmdLang), Entry(2, 1));
  EXPECT_EQ(Text(f.ButtonDrawOne), Entry(17, 1));
  EXPECT_EQ(f.TabbedNotebook1->tabText(2).toStdString(), Entry(6, 1));
  EXPECT_EQ(Text(f.ButtonToCalc), Entry(35, 1).substr(0, 10));
  EXPECT_EQ(Text(f.lblConcl1), Entry(33, 1) + "0.078");
  EXPECT_EQ(p.sim.GridSize, 256);
  EXPECT_EQ(p.sim.HalfInterval, 10.0);
  EXPECT_EQ(p.sim.RunState, 1);
  EXPECT_EQ(p.pot.PotentialKind, 1);
  EXPECT_EQ(Text(f.Label8), "P( U ) = 0.25 * ( U^2 - 1 )^2");
  EXPECT_EQ(Text(f.Edit_qL), " 0.3");
  EXPECT_EQ(Text(f.Edit_qR), " 2.0");
  EXPECT_EQ(p.rot.kF_Im, 0.2);
  EXPECT_EQ(f.lbNColor->count(), 24);
  EXPECT_EQ(f.lbNColor->item(0)->text().toStdString(), " 200");
  EXPECT_EQ(f.lbNColor->currentItem()->text().toStdString(), "  16");
  EXPECT_EQ(f.ListBoxN->currentItem()->text().toStdString(), "256");
  EXPECT_TRUE(f.rbScale->isChecked());
  EXPECT_FALSE(f.LabelAdd->isVisible());
  EXPECT_FALSE(f.ButtonRefreshSol->isEnabled());
  EXPECT_FALSE(f.Memo1->toPlainText().isEmpty());
  // The notebook keeps the size from the designed window, whatever the window's size.
  EXPECT_EQ(f.TabbedNotebook1->height(), 430);
  EXPECT_EQ(f.PaintBox_Im_u->width(), 0);
  const std::vector<std::string> log = Lines(f.Settings.LogFileName + ".txt");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], kLogHeader);
}

TEST_F(WindowTest, ABrokenSettingsFileIsReportedAndTheDefaultsStand) {
  for (const std::string& content : {std::string("7\n10\nmylog\n"), std::string("one\n10\nmylog\n")}) {
    Write("KQ_ini.txt", content);
    messages.errors.clear();
    TForm1& f = Start();
    ASSERT_EQ(messages.errors.size(), 1u) << content;
    EXPECT_NE(messages.errors[0].find("KQ_ini.txt"), std::string::npos);
    EXPECT_EQ(f.program().pot.PotentialKind, 1);
    EXPECT_EQ(f.program().logSettings.LogPeriod, 0);
    EXPECT_EQ(Lines("KQ_log.txt").size(), 1u);  // the default log is created
    EXPECT_EQ(Text(f.ButtonDrawOne), Entry(17, 1));
    form.reset();
  }
  std::filesystem::remove(folder / "KQ_ini.txt");
  messages.errors.clear();
  Start();
  EXPECT_EQ(messages.errors.size(), 1u);
}

TEST_F(WindowTest, AMissingCaptionTableKeepsTheDesignedTexts) {
  std::filesystem::remove(folder / "KQ_mix.txt");
  TForm1& f = Start();
  ASSERT_FALSE(messages.errors.empty());
  EXPECT_NE(messages.errors[0].find("KQ_mix.txt"), std::string::npos);
  EXPECT_EQ(Text(f.ButtonToCalc), "Поехали");
  EXPECT_EQ(Text(f.ButtonDrawOne), "Один график");
  EXPECT_EQ(f.program().sim.GridSize, 256);  // start-up went on
}

TEST_F(WindowTest, TheLanguageButtonSwitchesThereAndBack) {
  TForm1& f = Start();
  const std::string english = f.Memo1->toPlainText().toStdString();
  QTest::mouseClick(f.cmdLang, Qt::LeftButton);
  EXPECT_EQ(f.LanguageMode, 0);
  EXPECT_EQ(Text(f.ButtonDrawOne), "Один график");
  EXPECT_EQ(Text(f.cmdLang), Entry(2, 0));
  EXPECT_EQ(f.RadioGroupInitItems[1]->text().toStdString(), "Кинки + вращатель");
  EXPECT_EQ(Text(f.lblConcl1), Entry(33, 0) + "0.078");
  EXPECT_NE(f.Memo1->toPlainText().toStdString(), english);
  QTest::mouseClick(f.cmdLang, Qt::LeftButton);
  EXPECT_EQ(f.LanguageMode, 1);
  EXPECT_EQ(Text(f.ButtonDrawOne), Entry(17, 1));
  EXPECT_EQ(f.Memo1->toPlainText().toStdString(), english);
  EXPECT_TRUE(f.Memo1->toPlainText().endsWith(QString("\n") + ProgramNameAndVersion()));  // the help names the version
}

TEST_F(WindowTest, FieldsReadTheirTextAsItStoodBeforeTheKey) {
  TForm1& f = Start();
  Program& p = f.program();
  f.Edit_qL->clear();
  QTest::keyClicks(f.Edit_qL, "0.35");
  EXPECT_EQ(p.rot.qL, 0.3);  // the last key is not yet in the text the handler read
  QTest::keyClick(f.Edit_qL, Qt::Key_Return);
  EXPECT_EQ(p.rot.qL, 0.35);
  EXPECT_FALSE(TForm1::IsYellow(f.Edit_qL));

  f.Edit_kD->clear();
  QTest::keyClick(f.Edit_kD, Qt::Key_A);  // the empty text is read
  EXPECT_TRUE(TForm1::IsYellow(f.Edit_kD));
  EXPECT_EQ(p.rot.kD, 0.1);
  f.Edit_kD->setText("0.25");
  QTest::keyClick(f.Edit_kD, Qt::Key_End);
  EXPECT_FALSE(TForm1::IsYellow(f.Edit_kD));
  EXPECT_EQ(p.rot.kD, 0.25);

  for (const char* bad : {"1e999", "0", "-4", "1,5"}) {
    f.EditFirstInterval->setText(bad);
    QTest::keyClick(f.EditFirstInterval, Qt::Key_End);
    EXPECT_TRUE(TForm1::IsYellow(f.EditFirstInterval)) << bad;
    EXPECT_EQ(p.sim.HalfInterval, 10.0) << bad;
  }
  f.EditFirstInterval->setText("12.5");
  QTest::keyClick(f.EditFirstInterval, Qt::Key_End);
  EXPECT_EQ(p.sim.HalfInterval, 12.5);
  EXPECT_EQ(p.profile.OduXMin, -12.5);

  f.Par_a_Value->setText("2");
  QTest::keyClick(f.Par_a_Value, Qt::Key_End);
  EXPECT_EQ(p.pot.ParamA, 0.0);  // only Enter takes it over
  QTest::keyClick(f.Par_a_Value, Qt::Key_Return);
  EXPECT_EQ(p.pot.ParamA, 2.0);
}

TEST_F(WindowTest, AFieldIsColouredByTheTextTheKeyLeft) {
  TForm1& f = Start();
  Program& p = f.program();
  QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
  f.EditInitSm->clear();
  QTest::keyClick(f.EditInitSm, Qt::Key_Minus);
  EXPECT_TRUE(TForm1::IsYellow(f.EditInitSm));  // "-" alone is no number
  QTest::keyClick(f.EditInitSm, Qt::Key_6);
  EXPECT_FALSE(TForm1::IsYellow(f.EditInitSm)) << Text(f.EditInitSm);
  QTest::keyClick(f.EditInitSm, Qt::Key_Backspace);
  EXPECT_TRUE(TForm1::IsYellow(f.EditInitSm)) << Text(f.EditInitSm);

  // The variable still follows the text before the key: the bad text was read, and kept kD.
  f.Edit_kD->setText("0.5x");
  QTest::keyClick(f.Edit_kD, Qt::Key_Backspace);
  EXPECT_FALSE(TForm1::IsYellow(f.Edit_kD));
  EXPECT_EQ(p.rot.kD, 0.1);
  QTest::keyClick(f.Edit_kD, Qt::Key_End);
  EXPECT_EQ(p.rot.kD, 0.5);

  // The interval's field is judged by the range a run can take as well.
  f.EditFirstInterval->setText("12");
  QTest::keyClick(f.EditFirstInterval, Qt::Key_Home);
  QTest::keyClick(f.EditFirstInterval, Qt::Key_Minus);
  EXPECT_TRUE(TForm1::IsYellow(f.EditFirstInterval));
  EXPECT_EQ(p.sim.HalfInterval, 12.0);
}

TEST_F(WindowTest, ChoosingNSetsTheGridAndSeparatesRunsInTheLog) {
  TForm1& f = Start();
  f.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  ClickRow(f.ListBoxN, 0);
  const Program& p = f.program();
  EXPECT_EQ(p.sim.GridSize, 1024);
  EXPECT_EQ(p.sim.Dx, 0.01953125);
  EXPECT_EQ(Text(f.lblConcl1), Entry(33, 1) + "0.020");
  EXPECT_EQ(Text(f.lblConcl2), Entry(34, 1) + "   10");
  EXPECT_TRUE(f.RadioButtonWithoutStop->isChecked());
  ClickRow(f.ListBoxN, 1);
  EXPECT_EQ(Text(f.lblConcl2), Entry(34, 1) + "   30");
  const std::vector<std::string> log = Lines("KQ_log.txt");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1], " ");
  EXPECT_EQ(Text(f.lblInterv2), "[-10;10]" + Entry(32, 1));
}

TEST_F(WindowTest, TheListsFollowTheKeyboardAndSelectionsInCodeRunNothing) {
  TForm1& f = Start();
  f.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  const Program& p = f.program();
  struct GridKey {
    Qt::Key key;
    int n;
    const char *dx, *reach;
  } gridKeys[] = {{Qt::Key_Up, 512, "0.039", "   30"},
                  {Qt::Key_Home, 1024, "0.020", "   10"},
                  {Qt::Key_PageDown, 256, "0.078", "   70"},
                  {Qt::Key_Up, 512, "0.039", "   30"}};
  for (const GridKey& k : gridKeys) {
    QTest::keyClick(f.ListBoxN, k.key);
    EXPECT_EQ(p.sim.GridSize, k.n);
    EXPECT_EQ(Text(f.lblConcl1), Entry(33, 1) + k.dx);
    EXPECT_EQ(Text(f.lblConcl2), Entry(34, 1) + k.reach);
  }
  // A press on one item and a release on another is one choice, of the second (a list
  // follows a drag only while it is on the screen).
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  const auto centre = [&](int row) { return f.ListBoxN->visualItemRect(f.ListBoxN->item(row)).center(); };
  QTest::mousePress(f.ListBoxN->viewport(), Qt::LeftButton, {}, centre(0));
  QTest::mouseMove(f.ListBoxN->viewport(), centre(2));
  QTest::mouseRelease(f.ListBoxN->viewport(), Qt::LeftButton, {}, centre(2));
  EXPECT_EQ(p.sim.GridSize, 256);
  EXPECT_EQ(Lines("KQ_log.txt").size(), 1u + 4 + 1);  // the header and one line per choice

  // The colour count and the scale follow the highlight.
  QTest::keyClick(f.lbNColor, Qt::Key_Home);
  EXPECT_EQ(f.colours().ColorCount, 200);
  QTest::keyClick(f.lbNColor, Qt::Key_Down);
  EXPECT_EQ(f.colours().ColorCount, 192);
  EXPECT_EQ(f.colours().ColorTable[193], Rgb{});  // the palette rebuilt for 192 colours
  QTest::keyClick(f.lbNColor, Qt::Key_End);
  EXPECT_EQ(f.colours().ColorCount, 16);
  const Canvas& strip = f.PaintBoxScaleColor->canvas();
  EXPECT_EQ(strip.Pixel(strip.Width() / 2, 1), f.colours().ColorTable[16]);

  // The option list; showing the tab moves its highlight to the first item, not the mode.
  QTest::keyClick(f.ListBoxOptions, Qt::Key_Down);
  EXPECT_EQ(f.OptionMode, 1);
  EXPECT_TRUE(f.rbCreateMicro2->isChecked());
  QTest::keyClick(f.ListBoxOptions, Qt::Key_End);
  EXPECT_EQ(f.OptionMode, 2);
  f.TabbedNotebook1->setCurrentIndex(1);
  Pump();
  f.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  EXPECT_EQ(f.ListBoxOptions->currentRow(), 0);
  EXPECT_EQ(f.OptionMode, 2);

  // "Put Data" saves the grid in use: N = 1024 chosen by key, then only highlighted over in code.
  QTest::keyClick(f.ListBoxN, Qt::Key_Home);
  f.SelectGridItem(256);
  EXPECT_EQ(p.sim.GridSize, 1024);
  f.edMyFile->setText("keys");
  f.cmdPutClick();
  SetupData saved;
  std::string error;
  ASSERT_TRUE(LoadSetupFile((folder / "keys.kq1").string(), saved, error)) << error;
  EXPECT_EQ(saved.GridIndex, 0);
  EXPECT_EQ(saved.ColorCount, 16);
}

TEST_F(WindowTest, TheColourListSetsTheNumberOfColours) {
  TForm1& f = Start();
  f.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  ClickRow(f.lbNColor, 0);
  EXPECT_EQ(f.colours().ColorCount, 200);
  ClickRow(f.lbNColor, 23);
  EXPECT_EQ(f.colours().ColorCount, 16);
  // The strip shows colour 1 at the bottom and colour 16 (pure red) at the top.
  const Canvas& strip = f.PaintBoxScaleColor->canvas();
  EXPECT_EQ(strip.Pixel(strip.Width() / 2, 1), f.colours().ColorTable[16]);
  EXPECT_EQ(strip.Pixel(strip.Width() / 2, strip.Height() - 2), f.colours().ColorTable[1]);
}

TEST_F(WindowTest, TheStartButtonRunsOnTheSolutionTabAndHaltsAtWindowEnds) {
  TForm1& f = Start();
  Program& p = f.program();
  f.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  QTest::mouseClick(f.ButtonToCalc, Qt::LeftButton);
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_EQ(messages.errors[0], "You forget to create initial conditions. Do it and try again.");
  EXPECT_EQ(p.sim.TimeNow, 0.0);

  // A kink listed and composed, as the soliton and initial-condition tabs would leave it.
  p.profile.OduXMin = -10;
  SolveProfile(p.profile, p.pot, 0, 10, nullptr);
  p.kinks.SolitonCount = 1;
  p.kinks.InitVel[1] = 0.5;
  p.sim.InitReady = true;
  f.RadioButtonWithStop->setChecked(true);
  QTest::mouseClick(f.ButtonToCalc, Qt::LeftButton);
  EXPECT_TRUE(p.sim.Running);
  EXPECT_FALSE(f.ButtonRefreshSol->isEnabled());  // disabled while steps are made
  for (int k = 0; k < 2000 && p.sim.Running; ++k) Pump(2);
  EXPECT_FALSE(p.sim.Running);
  EXPECT_EQ(p.sim.RunState, 2);
  EXPECT_GT(p.sim.TimeNow, 10.0);
  EXPECT_EQ(Text(f.ButtonToCalc), Entry(36, 1).substr(0, 10));
  EXPECT_EQ(f.windowTitle().toStdString(), "t=" + FormatWD(p.sim.TimeNow, 6, 1));
  EXPECT_TRUE(f.ButtonRefreshSol->isEnabled());
  // The current profile was drawn: blue dots on the strip.
  const Canvas& sol = f.PaintBoxCurrSol->canvas();
  int blue = 0;
  for (int y = 0; y < sol.Height(); ++y)
    for (int x = 0; x < sol.Width(); ++x) blue += sol.Pixel(x, y) == kBlue;
  EXPECT_GT(blue, 100);

  // "Без" runs on through the window ends to the phase limit at 70.
  f.RadioButtonWithoutStop->setChecked(true);
  QTest::mouseClick(f.ButtonToCalc, Qt::LeftButton);
  for (int k = 0; k < 5000 && p.sim.Running; ++k) Pump(2);
  EXPECT_EQ(p.sim.RunState, 3);
  EXPECT_GE(p.sim.TimeNow, 70.0);
  EXPECT_EQ(Text(f.ButtonToCalc), Entry(37, 1).substr(0, 10));
  EXPECT_TRUE(f.RadioButtonWithStop->isChecked());
  EXPECT_EQ(f.windowTitle().toStdString(), Entry(1, 1));
}

TEST_F(WindowTest, AMissingHelpFileIsReportedAndTheCaptionsStillSwitch) {
  std::filesystem::remove(folder / "KQ_eng.txt");
  TForm1& f = Start();
  ASSERT_FALSE(messages.errors.empty());
  EXPECT_NE(messages.errors[0].find("KQ_eng.txt"), std::string::npos);
  EXPECT_EQ(Text(f.ButtonDrawOne), Entry(17, 1));
  // The help page keeps its own text of 54 lines.
  const QStringList designed = f.Memo1->toPlainText().split('\n');
  ASSERT_EQ(designed.size(), 54);
  EXPECT_EQ(designed[0].toStdString(), "Исследуем решение задачи Коши для волнового ");
  EXPECT_EQ(designed[9].toStdString(), "u( t, x ), где \"t\" меняется от нуля до бесконечности,");
  EXPECT_EQ(designed[53].toStdString(), "Значит при 1 < w < 2 возможно решение типа солитона.");
  QTest::mouseClick(f.cmdLang, Qt::LeftButton);  // the Russian help is there
  EXPECT_NE(f.Memo1->toPlainText(), designed.join('\n'));
}

TEST_F(WindowTest, TheLogNameAndTheLinesAfterItAreTakenAsWritten) {
  const std::filesystem::path runs = folder / "runs";
  std::filesystem::create_directories(runs);
  struct Case {
    std::string settings;
    std::filesystem::path log;
  } cases[] = {
      {"1\n10\n" + (runs / "a").string() + " from the root\n", runs / "a.txt"},
      {"1\n10\n\n", folder / ".txt"},                      // no name
      {"1\n10\n  b\n", folder / ".txt"},                   // a name after a blank
      {"1\n10\nc\td\n", folder / "c\td.txt"},              // a tab is part of the name
      {"1\n10\nKQ_log\n# the runs of May\n", folder / "KQ_log.txt"},  // a comment line
  };
  for (const Case& c : cases) {
    Write("KQ_ini.txt", c.settings);
    messages.errors.clear();
    Start();
    EXPECT_TRUE(messages.errors.empty()) << c.settings << messages.errors.front();
    EXPECT_EQ(Lines(std::filesystem::relative(c.log, folder).string()).size(), 1u) << c.settings;
    std::filesystem::remove(c.log);
    form.reset();
  }
}

TEST_F(WindowTest, ALogFileThatCannotBeCreatedIsReportedAndTheRunGoesOn) {
  Write("KQ_ini.txt", "1\n1\nno_such_folder/log\n");
  TForm1& f = Start();
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_NE(messages.errors[0].find("no_such_folder/log.txt"), std::string::npos);
  Program& p = f.program();
  p.profile.OduXMin = -10;
  SolveProfile(p.profile, p.pot, 0, 10, nullptr);
  p.kinks.SolitonCount = 1;
  p.sim.InitReady = true;
  f.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  QTest::mouseClick(f.ButtonToCalc, Qt::LeftButton);
  p.marks.MarkCount = 1;  // a mark whose records have nowhere to go
  p.marks.MarkLeft[1] = -2;
  p.marks.MarkRight[1] = 2;
  for (int k = 0; k < 3000 && p.sim.Running; ++k) Pump(2);
  EXPECT_EQ(p.sim.RunState, 3);
  EXPECT_EQ(messages.errors.size(), 1u);  // no message per record
}

TEST_F(WindowTest, SideFilesAndTheLogStayInTheStartFolder) {
  TForm1& f = Start();
  const std::filesystem::path elsewhere = folder / "elsewhere";
  std::filesystem::create_directories(elsewhere);
  std::filesystem::current_path(elsewhere);  // as the data-file pickers do
  QTest::mouseClick(f.cmdLang, Qt::LeftButton);
  EXPECT_TRUE(messages.errors.empty());
  EXPECT_EQ(Text(f.ButtonDrawOne), "Один график");
  f.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  ClickRow(f.ListBoxN, 1);
  EXPECT_EQ(Lines("KQ_log.txt").size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(elsewhere / "KQ_log.txt"));
}

TEST_F(WindowTest, APressOnTheColourScaleShowsItsLevels) {
  TForm1& f = Start();
  f.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  ClickRow(f.lbNColor, 23);
  QTest::mousePress(f.PaintBoxScaleColor, Qt::LeftButton, {}, QPoint(5, 1));
  EXPECT_TRUE(f.LabelColorScaleHint->isVisibleTo(&f));
  EXPECT_EQ(Text(f.LabelColorScaleHint), FormatWD(f.colours().AmplLevels[16], 7, 4) + " ...");
  EXPECT_EQ(f.LabelColorScaleHint->x() + f.LabelColorScaleHint->width(),
            f.PaintBoxScaleColor->x() + f.PaintBoxScaleColor->width());
  QTest::mouseRelease(f.PaintBoxScaleColor, Qt::LeftButton, {}, QPoint(5, 1));
  EXPECT_FALSE(f.LabelColorScaleHint->isVisibleTo(&f));
}

}  // namespace
}  // namespace kl::test
