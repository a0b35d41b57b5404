// The window opened maximised on the screens people have: every shown control lies whole in
// sight, uncovered, and holds its text, in both languages, through a session with every group
// open; the pictures and the help text use the screen; a scale group keeps the keyboard to itself.
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTextBlock>
#include <QTextLayout>

#include "support/canvas_count.h"
#include "window_support.h"

namespace kl::test {
namespace {

std::string Name(const QWidget* w) {
  return w->objectName().isEmpty() || w->objectName().startsWith("qt_") ? w->metaObject()->className()
                                                                         : w->objectName().toStdString();
}

QRect InWindow(TForm1& f, const QWidget* w, const QRect& r) { return r.translated(w->mapTo(&f, QPoint(0, 0))); }

std::string Describe(const QRect& r) {
  return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
         std::to_string(r.height());
}

// The controls drawn over another one on purpose: the scale groups over their pictures while
// they are open, and microscope 2's box over the main picture.
bool CoversByDesign(TForm1& f, const QWidget* above, const QWidget* below) {
  const std::pair<const QWidget*, const QWidget*> overlays[] = {
      {f.GroupBoxPot, f.PaintBoxPotEn},       {f.GroupBoxPhas, f.PaintBoxPhasPl},
      {f.GroupBoxODU, f.PaintBoxODU},         {f.GroupBoxCurrSol, f.PaintBoxCurrSol},
      {f.GroupBoxPlantEnergy, f.PaintBoxCurrEnergy}, {f.PaintBoxMicro2, f.PaintBoxMain}};
  for (const auto& [a, b] : overlays)
    if (a == above && b == below) return true;
  return false;
}

// What cuts or covers a control: empty when its whole rectangle lies inside the visible area
// of every parent (a group box's or a panel's frame and title excluded) and no sibling drawn
// above it, or above one of its parents, covers any part of it.
std::string WholeProblem(TForm1& f, QWidget* w) {
  if (w->width() <= 0 || w->height() <= 0) return "has no size";
  const QRect whole = InWindow(f, w, w->rect());
  for (QWidget *child = w, *parent = w->parentWidget(); parent; child = parent, parent = parent->parentWidget()) {
    const QRect area = InWindow(f, parent, parent->contentsRect());
    if (!area.contains(whole))
      return "cut by " + Name(parent) + " (" + Describe(whole) + " outside " + Describe(area) + ")";
    const QObjectList& siblings = parent->children();  // in drawing order, the last on top
    for (qsizetype k = siblings.indexOf(child) + 1; k < siblings.size(); ++k) {
      auto* s = qobject_cast<QWidget*>(siblings[k]);
      if (!s || s->isWindow() || !s->isVisibleTo(&f) || CoversByDesign(f, s, child)) continue;
      const QRect over = InWindow(f, s, s->rect()).intersected(whole);
      if (!over.isEmpty()) return "covered by " + Name(s) + " (" + Describe(over) + ")";
    }
    if (parent == &f) break;
  }
  return {};
}

int Advance(const QWidget* w, const QString& text) { return QFontMetrics(w->font()).horizontalAdvance(text); }

// What is wrong with the text a control shows: empty when it fits.
std::string FitProblem(QWidget* w) {
  auto tooNarrow = [](int need, int have) {
    return need <= have ? std::string() : "text needs " + std::to_string(need) + " px, has " + std::to_string(have);
  };
  if (auto* l = qobject_cast<QLabel*>(w)) {
    if (l->text().isEmpty()) return {};
    if (l->wordWrap()) {
      const int need = l->heightForWidth(l->width());
      return need <= l->height() ? std::string()
                                 : "wrapped text needs " + std::to_string(need) + " px height, has " +
                                       std::to_string(l->height());
    }
    if (QFontMetrics(l->font()).height() > l->height()) return "text higher than the label";
    return tooNarrow(Advance(l, l->text()), l->contentsRect().width());
  }
  if (auto* b = qobject_cast<QPushButton*>(w)) {
    const int icon = b->icon().isNull() ? 0 : b->iconSize().width() + 4;
    return tooNarrow(Advance(b, b->text().remove('&')) + icon + 6, b->width());
  }
  if (auto* r = qobject_cast<QAbstractButton*>(w)) return tooNarrow(r->sizeHint().width(), r->width());
  if (auto* g = qobject_cast<QGroupBox*>(w)) return tooNarrow(Advance(g, g->title()) + 12, g->width());
  if (auto* e = qobject_cast<QLineEdit*>(w)) return tooNarrow(Advance(e, e->text()) + 6, e->width());
  if (auto* c = qobject_cast<QComboBox*>(w)) return tooNarrow(Advance(c, c->currentText()) + 24, c->width());
  if (auto* list = qobject_cast<QListWidget*>(w)) {
    // A line longer than the box must be reachable by scrolling. The view lays out its items
    // and sets its scroll range on a timer of its own; laid out now, the check does not depend
    // on how soon that timer ran on a loaded machine.
    list->doItemsLayout();
    const bool scrolls = list->horizontalScrollBar()->maximum() > 0;
    for (int row = 0; row < list->count(); ++row) {
      const int need = Advance(list, list->item(row)->text()) + 4;
      if (!scrolls && (need > list->viewport()->width() || need > list->visualItemRect(list->item(row)).width()))
        return "item \"" + list->item(row)->text().toStdString() + "\" cut";
    }
  }
  if (auto* bar = qobject_cast<QTabBar*>(w))
    for (int k = 0; k < bar->count(); ++k)
      if (Advance(bar, bar->tabText(k)) > bar->tabRect(k).width()) return "tab text cut";
  return {};
}

// The lists of fixed items show all of them at once.
std::string ItemsProblem(QListWidget* list) {
  list->doItemsLayout();
  for (int row = 0; row < list->count(); ++row)
    if (!list->viewport()->rect().contains(list->visualItemRect(list->item(row))))
      return "item \"" + list->item(row)->text().toStdString() + "\" not shown";
  return {};
}

class ReachTest : public WindowTest {
 protected:
  // The window as the program opens it: maximised on the named screen, laid out once it is.
  TForm1& StartMaximized(const char* screenName) {
    QScreen* screen = nullptr;
    for (QScreen* s : QGuiApplication::screens())
      if (s->name() == screenName) screen = s;
    EXPECT_NE(screen, nullptr) << screenName;
    form = std::make_unique<TForm1>(&messages, 0, TForm1::Opening::Maximized);
    EXPECT_FALSE(form->Created());  // it waits for its size
    form->setScreen(screen);
    form->move(screen->geometry().topLeft());
    form->showMaximized();
    for (int k = 0; k < 5000 && !form->Created(); ++k) QTest::qWait(1);
    EXPECT_TRUE(form->Created());
    EXPECT_EQ(form->size(), screen->availableSize());
    where_ = screenName;
    return *form;
  }

  // Every shown control of every page, in the language shown and the other one.
  void CheckEveryPage(const std::string& state) {
    TForm1& f = *form;
    for (int language = 0; language < 2; ++language) {
      for (int page = 0; page < 4; ++page) {
        f.TabbedNotebook1->setCurrentIndex(page);
        Pump(20);
        CheckShown(f, state + ", " + (f.LanguageMode == 1 ? "English" : "Russian") + ", page " + std::to_string(page));
      }
      f.cmdLangClick();
    }
  }

  void CheckShown(TForm1& f, const std::string& where) {
    std::vector<QWidget*> controls = {f.cmdLang, f.cmdExit, f.TabbedNotebook1->tabBar()};
    for (QWidget* w : f.TabbedNotebook1->currentWidget()->findChildren<QWidget*>()) {
      const QString name = w->objectName();
      if (!name.isEmpty() && !name.startsWith("qt_") && w->isVisibleTo(&f)) controls.push_back(w);
    }
    for (QWidget* w : controls) {
      const std::string name = Name(w);
      const std::string whole = WholeProblem(f, w);
      EXPECT_TRUE(whole.empty()) << name << ": " << whole << " [" << where_ << ", " << where << "]";
      const std::string fit = FitProblem(w);
      EXPECT_TRUE(fit.empty()) << name << ": " << fit << " [" << where_ << ", " << where << "]";
    }
    for (QListWidget* list : {f.ListBoxN, f.ListBoxOptions})
      if (list->isVisibleTo(&f) && f.TabbedNotebook1->currentWidget()->isAncestorOf(list)) {
        const std::string items = ItemsProblem(list);
        EXPECT_TRUE(items.empty()) << list->objectName().toStdString() << ": " << items << " [" << where_ << ", "
                                   << where << "]";
      }
  }

  std::string where_;
};

TEST_F(ReachTest, EveryShownControlIsWithinReachAndHoldsItsTextOnCommonScreens) {
  for (const char* screen : {"1366x768", "1920x1080"}) {
    TForm1& f = StartMaximized(screen);
    CheckEveryPage("start-up");

    // Two kinks listed, a third profile solved so the fields are open, the scale groups open.
    f.TabbedNotebook1->setCurrentIndex(0);
    AddKink(f, "-4", "0.3");
    AddKink(f, "4.00", "-0.30");
    QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
    ASSERT_EQ(f.ListBoxInitVal->count(), 2) << screen;
    for (PaintBox* picture : {f.PaintBoxPotEn, f.PaintBoxPhasPl, f.PaintBoxODU})
      QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(picture->width() - 5, picture->height() - 5));
    ASSERT_TRUE(f.GroupBoxODU->isVisible());
    f.TabbedNotebook1->setCurrentIndex(1);
    Pump(20);
    QTest::mouseClick(f.RadioGroupInitItems[1], Qt::LeftButton);  // the rotator's box shows
    ASSERT_TRUE(f.GroupBox1->isVisibleTo(&f));
    CheckEveryPage("two kinks listed, scale groups open, kinks + rotator");
    for (QPushButton* cancel : {f.Button2, f.Button4, f.Button6}) QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(f.GroupBoxPot->isVisible() || f.GroupBoxPhas->isVisible() || f.GroupBoxODU->isVisible()) << screen;

    // The initial conditions plotted and a run halted at its first stop.
    f.TabbedNotebook1->setCurrentIndex(1);
    Pump();
    QTest::mouseClick(f.ButtonInitPlants, Qt::LeftButton);
    f.TabbedNotebook1->setCurrentIndex(2);
    Pump();
    f.RadioButtonWithStop->setChecked(true);
    PressStartAndWait(f);
    ASSERT_GT(f.program().sim.TimeNow, 0.0) << screen;
    // The strips' scale groups show while a press on their strip is held.
    f.rbScale->setChecked(true);
    QTest::mousePress(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mousePress(f.PaintBoxCurrEnergy, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(f.GroupBoxCurrSol->isVisible() && f.GroupBoxPlantEnergy->isVisible()) << screen;
    CheckEveryPage("a run started, the strips' scale groups open");
    QTest::mouseRelease(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(f.PaintBoxCurrEnergy, Qt::LeftButton, {}, QPoint(5, 5));
    form.reset();
  }
}

TEST_F(ReachTest, PicturesAndTheHelpTextUseTheScreenAndTheWindowKeepsItsSize) {
  TForm1& f = StartMaximized("1920x1080");
  const int screenW = 1920;
  const int pageW = f.TabbedNotebook1->currentWidget()->width();
  EXPECT_GE(f.PaintBoxMain->width(), screenW / 2);
  for (PaintBox* strip : {f.PaintBoxCurrSol, f.PaintBoxCurrEnergy}) {
    EXPECT_EQ(strip->width(), f.PaintBoxMain->width()) << strip->objectName().toStdString();
    EXPECT_GE(strip->height(), 40) << strip->objectName().toStdString();
    EXPECT_EQ(strip->canvas().Width(), strip->width());  // it draws at its size
  }
  for (PaintBox* picture : {f.PaintBoxPotEn, f.PaintBoxPhasPl, f.PaintBoxODU})
    EXPECT_GE(picture->width(), screenW * 2 / 5) << picture->objectName().toStdString();
  for (PaintBox* plot : {f.PaintBox_Re_u, f.PaintBox_dt_Re_u}) {
    EXPECT_GE(plot->width(), pageW / 2) << plot->objectName().toStdString();
    EXPECT_GE(plot->height(), 1080 / 4) << plot->objectName().toStdString();
  }

  // The help text runs in paragraphs as wide as the page, not in the short lines of its file.
  f.TabbedNotebook1->setCurrentIndex(3);
  Pump(20);
  qreal widest = 0;
  for (QTextBlock b = f.Memo1->document()->firstBlock(); b.isValid(); b = b.next())
    if (const QTextLayout* layout = b.layout())
      for (int k = 0; k < layout->lineCount(); ++k) widest = std::max(widest, layout->lineAt(k).naturalTextWidth());
  EXPECT_GE(widest, f.Memo1->viewport()->width() * 3 / 4);

  // With the default scales the potential stays inside its picture: no dot of the curve
  // clamped to the top or bottom row.
  f.TabbedNotebook1->setCurrentIndex(0);
  Pump(20);
  QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
  const Canvas& pot = f.PaintBoxPotEn->canvas();
  EXPECT_GT(CountOf(pot, kRed), pot.Width() / 2);
  for (int x = 0; x < pot.Width(); ++x)
    for (int y : {0, 1, pot.Height() - 2, pot.Height() - 1}) ASSERT_NE(pot.Pixel(x, y), kRed) << x << "," << y;

  // It cannot be made smaller than the size it was laid out for.
  EXPECT_EQ(f.minimumSize(), f.size());
}

TEST_F(ReachTest, TabGoesRoundAnOpenScaleGroup) {
  TForm1& f = StartMaximized("1366x768");
  QTest::mouseClick(f.PaintBoxODU, Qt::LeftButton, {}, QPoint(f.PaintBoxODU->width() - 5, 5));
  ASSERT_TRUE(f.GroupBoxODU->isVisible());
  f.activateWindow();
  // The editable fields, then OK and Cancel, then the first field again; back the other way.
  const std::vector<QWidget*> round = {f.EditODU[4], f.EditODU[5], f.EditODU[6], f.EditODU[7],
                                       f.Button5,    f.Button6,    f.EditODU[4]};
  EXPECT_EQ(QApplication::focusWidget(), round.front());
  for (size_t k = 1; k < round.size(); ++k) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), round[k]) << k;
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), f.Button6);
  // The group lies above the buttons under it and hides the picture.
  const QPoint ok = f.Button5->mapTo(&f, f.Button5->rect().center());
  EXPECT_EQ(f.childAt(ok), f.Button5);
  EXPECT_TRUE(f.GroupBoxODU->autoFillBackground());
  QTest::mouseClick(f.Button6, Qt::LeftButton);
  EXPECT_FALSE(f.GroupBoxODU->isVisible());
}

}  // namespace
}  // namespace kl::test
