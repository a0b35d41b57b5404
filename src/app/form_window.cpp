// The window's controls, their layout, the start-up and the refresh of the current page.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMessageBox>
#include <QPalette>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <cmath>
#include <functional>
#include <map>

#include "app/main_window.h"
#include "base/numbers.h"

namespace kl {

namespace {

constexpr int kDesignedLeft = 3, kDesignedTop = 88, kDesignedWidth = 529, kDesignedHeight = 460;
constexpr int kMaximizeWaitMs = 500;  // how long a shown window waits to be maximised
constexpr int kLeastStripHeight = 45;  // about the strips' height in the designed window
const QColor kButtonFace(240, 240, 240);

int Round(double v) { return static_cast<int>(std::nearbyint(v)); }
int Right(const QWidget* w) { return w->x() + w->width(); }
int Bottom(const QWidget* w) { return w->y() + w->height(); }

template <class W>
W* Make(QWidget* parent, const char* name) {
  W* w = new W(parent);
  w->setObjectName(name);
  return w;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, bool shown = true) {
  QLabel* l = Make<QLabel>(parent, name);
  l->setText(QString::fromUtf8(text));
  l->adjustSize();
  l->setVisible(shown);
  return l;
}

QLabel* Coloured(QLabel* l, QColor c, bool bold, bool italic = false) {
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, c);
  l->setPalette(pal);
  QFont f = l->font();
  f.setBold(bold);
  f.setItalic(italic);
  l->setFont(f);
  l->adjustSize();
  return l;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const char* text, bool shown = true, int width = 56) {
  QLineEdit* e = Make<QLineEdit>(parent, name);
  e->setText(QString::fromUtf8(text));
  e->resize(width, e->sizeHint().height());
  e->setVisible(shown);
  return e;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, bool shown = true) {
  QPushButton* b = Make<QPushButton>(parent, name);
  b->setText(QString::fromUtf8(text));
  b->resize(std::max(b->sizeHint().width(), 40), b->sizeHint().height());
  b->setVisible(shown);
  return b;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const char* text, int x, int y) {
  QRadioButton* r = Make<QRadioButton>(parent, name);
  r->setText(QString::fromUtf8(text));
  r->adjustSize();
  r->move(x, y);
  return r;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* title, int w, int h, bool shown = true) {
  QGroupBox* g = Make<QGroupBox>(parent, name);
  g->setTitle(QString::fromUtf8(title));
  g->resize(w, h);
  g->setVisible(shown);
  return g;
}

// The help page's own text, shown until a help file replaces it and kept when one cannot be read.
const char* const kDesignedMemo[] = {
    "Исследуем решение задачи Коши для волнового ",
    "уравнения с ",
    "квазилинейной правой частью",
    "",
    "d_tt ( u ) - d_xx ( u ) = - m^2 * u - grad [ V( u ) ]",
    "",
    "Здесь u - комплексно-значимая функция двух ",
    "вещественных ",
    "аргументов",
    "u( t, x ), где \"t\" меняется от нуля до бесконечности,",
    "                а \"x\" меняется от минус до плюс бесконечности.",
    "Операция \"grad \" производится по Re( u ) и Im( u ).",
    "",
    "Растяжениями по \"t\" и \"x\" избавимся от \"m^2\". ",
    "Итак",
    "",
    "d_tt ( u ) - d_xx ( u ) = - u - grad [ V( u ) ]",
    "",
    "Определим плотность энергии",
    "",
    "r( t, x ) = 0.5 * [ d_t ( u ) ]^2 + 0.5 * [ d_x ( u ) ]^2 + 0.5 * [ u ]^2 + V( ",
    "u )",
    "",
    "Тогда энергия ",
    "E( t ) = интеграл от \"r\" по \"x\" от минус до плюс ",
    "бесконечности",
    "постоянна.",
    "",
    "Рассмотрим решения вида u( t,x ) = U( x ) * Exp( w * t ).",
    "Получим уравнения",
    "",
    "d_tt ( U ) = ( 1 - w^2 ) * U + d_U [ V( U ) ]",
    "",
    "или",
    "",
    "[ d_t ( U ) ]^2 = ( 1 - w^2 ) * U^2 + 2 *  V( U ) ",
    "",
    "Здесь потенциальная энергия",
    "",
    "P( U ) = - 0.5 * ( 1 - w^2 ) * U^2 -  V( U ) ",
    "",
    "Рассмотрим частный случай ",
    "",
    "V( U ) = a - a * Exp( - 1.5 * U^2 / a )",
    "",
    "Тогда при U = 0",
    "",
    "d_U [ P( U ) ] = 0;      d_UU [ P( U ) ] = w^2 - 4",
    "",
    "а при больших \"U\" поведение P( U ) определяется ",
    "параболой",
    "- 0.5 * ( 1 - w^2 ) * U^2. ",
    "",
    "Значит при 1 < w < 2 возможно решение типа солитона.",
};

// A list box whose handler runs when the user changes its selection, as a click, a press on
// one item released on another, or a key (arrows, Home, End, Page Up, Page Down) does; a
// click on the item already selected runs it too. Selections made in code run nothing.
class SelectingListBox : public QListWidget {
 public:
  using QListWidget::QListWidget;
  std::function<void()> UserSelected;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    const int before = currentRow();
    if (flow() == QListView::LeftToRight) {
      // A list laid out in a row still takes the keys of a column.
      const std::pair<int, int> keys[] = {{Qt::Key_Up, Qt::Key_Left},     {Qt::Key_Down, Qt::Key_Right},
                                          {Qt::Key_PageUp, Qt::Key_Home}, {Qt::Key_PageDown, Qt::Key_End}};
      for (auto [column, row] : keys)
        if (e->key() == column) {
          QKeyEvent asRow(e->type(), row, e->modifiers());
          QListWidget::keyPressEvent(&asRow);
          if (currentRow() != before) Notify();
          return;
        }
    }
    QListWidget::keyPressEvent(e);
    if (currentRow() != before) Notify();
  }
  void mousePressEvent(QMouseEvent* e) override {
    pressRow_ = currentRow();
    pressed_ = true;
    QListWidget::mousePressEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    QListWidget::mouseReleaseEvent(e);
    if (!pressed_) return;
    pressed_ = false;
    const bool onItem = e->button() == Qt::LeftButton && itemAt(e->position().toPoint()) != nullptr;
    if (currentRow() != pressRow_ || onItem) Notify();
  }

 private:
  void Notify() {
    if (UserSelected) UserSelected();
  }
  int pressRow_ = -1;
  bool pressed_ = false;
};

void OnUserSelection(QListWidget* list, std::function<void()> handler) {
  static_cast<SelectingListBox*>(list)->UserSelected = std::move(handler);
}

// The notebook tells the rectangle of its pages before it is first shown, as it will lay
// them out.
class Notebook : public QTabWidget {
 public:
  using QTabWidget::QTabWidget;
  QRect PageRect() const {
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this);
  }
};

constexpr int kInnerMargin = 2;  // between a frame (or a group's title) and what it holds

// A group box or a panel grows to hold whatever of its own it may show inside its frame and
// under its title; what it holds moves down or right where it would touch them.
void FitAround(QWidget* holder, int leastWidth = 0) {
  QRect used;
  const QList<QWidget*> held = holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (const QWidget* w : held)
    if (!w->isWindow() && !w->isHidden()) used |= w->geometry();
  if (used.isEmpty()) return;
  const QMargins frame = holder->contentsMargins();
  const int dx = std::max(0, frame.left() + kInnerMargin - used.left());
  const int dy = std::max(0, frame.top() + kInnerMargin - used.top());
  for (QWidget* w : held)
    if (!w->isWindow()) w->move(w->pos() + QPoint(dx, dy));
  holder->resize(std::max({holder->width(), leastWidth, used.right() + 1 + dx + kInnerMargin + frame.right()}),
                 used.bottom() + 1 + dy + kInnerMargin + frame.bottom());
}

// The width a label or a button needs to show `text`.
int WidthFor(QWidget* w, const QString& text) {
  auto* l = qobject_cast<QLabel*>(w);
  auto* b = qobject_cast<QAbstractButton*>(w);
  const QString shown = l ? l->text() : b->text();
  l ? l->setText(text) : b->setText(text);
  const int need = w->sizeHint().width();
  l ? l->setText(shown) : b->setText(shown);
  return need;
}

}  // namespace

class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QWidget* parent) : parent_(parent) {}
  void Error(const std::string& text) override {
    QMessageBox::critical(parent_, QStringLiteral("Error"), QString::fromStdString(text));
  }
  void Information(const std::string& text) override {
    QMessageBox::information(parent_, QStringLiteral("Information"), QString::fromStdString(text));
  }
  bool AskYesNo(const std::string& text) override {
    return QMessageBox::question(parent_, QStringLiteral("Confirm"), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  }

 private:
  QWidget* parent_;
};

TForm1::TForm1(MessageBoxes* messages, int pauseMs, Opening opening)
    : p_(std::make_unique<Program>()),
      messages_(messages),
      runUi_(*this),
      pauseMs_(pauseMs),
      awaitingOpenedSize_(opening == Opening::Maximized) {
  setObjectName("Form1");
  if (!messages_) {
    ownMessages_ = std::make_unique<QtMessageBoxes>(this);
    messages_ = ownMessages_.get();
  }
  StartFolder = QDir::currentPath().toStdString();
  setWindowTitle("***");
  setGeometry(kDesignedLeft, kDesignedTop, kDesignedWidth, kDesignedHeight);
  setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kButtonFace);
  setPalette(pal);
  setAutoFillBackground(true);
  // The designed font; a condensed sans stands in where it is missing.
  QFont small;
  small.setFamilies({"MS Sans Serif", "DejaVu Sans Condensed", "Liberation Sans Narrow", "Sans Serif"});
  small.setStyleHint(QFont::SansSerif);
  small.setPointSize(8);
  setFont(small);
  CreateControls();
  ConnectHandlers();
  if (!awaitingOpenedSize_) FormCreate();
}

TForm1::~TForm1() = default;

// The window is laid out once, for the size it opens with: the platform maximises it
// after the show, so `FormCreate` waits for the resize that brings the maximised size. A
// platform without a window manager never maximises; the wait then ends after a while and
// the window is laid out for the size it has.
void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (awaitingOpenedSize_) QTimer::singleShot(kMaximizeWaitMs, this, [this] { CreateAtOpenedSize(); });
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (awaitingOpenedSize_ && isVisible() && isMaximized() && size() != QSize(kDesignedWidth, kDesignedHeight))
    QMetaObject::invokeMethod(this, [this] { CreateAtOpenedSize(); }, Qt::QueuedConnection);
}

void TForm1::CreateAtOpenedSize() {
  if (!awaitingOpenedSize_) return;
  awaitingOpenedSize_ = false;
  FormCreate();
}

// The window's rectangle that the notebook is sized from: the designed one, unless the
// window opened larger. A maximised window stands at the corner of its screen's free area.
QRect TForm1::OpenedRect() const {
  const QRect designed(kDesignedLeft, kDesignedTop, kDesignedWidth, kDesignedHeight);
  if (!isVisible() || (width() <= kDesignedWidth && height() <= kDesignedHeight)) return designed;
  QPoint corner = frameGeometry().topLeft();
  if (const QScreen* s = screen()) corner -= s->availableGeometry().topLeft();
  return QRect(QPoint(std::max(corner.x(), 0), std::max(corner.y(), 0)), size().expandedTo(designed.size()));
}

// A name with a folder of its own from the root (a log name of the settings file) is used as
// it is; every other name lies in the start folder.
std::string TForm1::SidePath(const std::string& name) const {
  if (!name.empty() && name.front() == '/') return name;
  return StartFolder + "/" + name;
}

void TForm1::Error(const std::string& text) { messages_->Error(text); }

void TForm1::CreateControls() {
  TabbedNotebook1 = Make<Notebook>(this, "TabbedNotebook1");
  const char* titles[4] = {"Солитоны", "Начальные условия", "Решение", "Справка"};
  for (int k = 0; k < 4; ++k) {
    pages_[k] = new QWidget;
    pages_[k]->setObjectName(QString("Page%1").arg(k));
    TabbedNotebook1->addTab(pages_[k], QString::fromUtf8(titles[k]));
  }
  cmdLang = MakeButton(this, "cmdLang", "English");
  cmdExit = MakeButton(this, "cmdExit", "Закрыть");
  cmdExit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  QFont large = font();
  large.setPointSize(10);
  for (QWidget* w : std::initializer_list<QWidget*>{TabbedNotebook1->tabBar(), cmdExit, cmdLang}) w->setFont(large);
  cmdLang->resize(cmdLang->sizeHint());
  cmdExit->resize(cmdExit->sizeHint());
  TimerSeeOutside = Make<QTimer>(this, "TimerSeeOutside");
  TimerSeeOutside->setInterval(1);
  TimerSeeOutside->start();  // enabled from the start; its first tick finds no run and stops
  TimerForPaintBox = Make<QTimer>(this, "TimerForPaintBox");
  TimerForPaintBox->setInterval(10);

  // Page 0: the stationary soliton.
  QWidget* pg = pages_[0];
  Label10 = Coloured(MakeLabel(pg, "Label10", "(Нелинейность)"), Qt::magenta, true, true);
  Label8 = Coloured(MakeLabel(pg, "Label8", kDesignedFormulaLabel), Qt::magenta, true);
  Label_Par_a = MakeLabel(pg, "Label_Par_a", "Параметр потенциала \"a\" = ", false);
  Par_a_Value = MakeEdit(pg, "Par_a_Value", " 1.00", false);
  Label18 = MakeLabel(pg, "Label18", "Рассмотрим решение вида U( x ) * EXP( i * w * t ), параметр частоты \"w\" =");
  Par_w_Value = MakeEdit(pg, "Par_w_Value", " 1.5", false);
  Label11 = MakeLabel(pg, "Label11", "Солитон возможен при \"w\" между 1.00 и 2.00", false);
  Label9 = MakeLabel(pg, "Label9", "( 1 - v^2 ) * U\" = d P( U ) / dU");
  Label_U_2 = Coloured(MakeLabel(pg, "Label_U_2", "0.5 * U^2, ", false), QColor(128, 0, 128), true);
  Label_V = Coloured(MakeLabel(pg, "Label_V", "V( U ), ", false), Qt::magenta, true);
  Label_up_Potencial = Coloured(MakeLabel(pg, "Label_up_Potencial", "График потенциальной энергии P(U)"), Qt::red, true);
  Label_up_PhasePlane =
      Coloured(MakeLabel(pg, "Label_up_PhasePlane", "Фазовая пл-ть ОДУ  U'=SQRT( - 2 * P(U) )"), QColor(0, 128, 0), true);
  Label_up_U = Coloured(
      MakeLabel(pg, "Label_up_U", "Решение ОДУ  U(x):  U'' = (1-w^2)*U + d_U [ V(U) ] = - d_U [ P(U) ]"), Qt::blue, true);
  PaintBoxPotEn = new PaintBox(pg, "PaintBoxPotEn", canvases_.PaintBoxPotEn, Qt::white);
  PaintBoxPhasPl = new PaintBox(pg, "PaintBoxPhasPl", canvases_.PaintBoxPhasPl, Qt::white);
  PaintBoxODU = new PaintBox(pg, "PaintBoxODU", canvases_.PaintBoxODU, Qt::white);
  PaintBoxODU->resize(193, 100);
  auto scaleGroup = [&](const char* name, const char* editStem, std::array<QLineEdit*, 5>* four, bool profile) {
    QGroupBox* g = MakeGroup(pg, name, "Шкалы", profile ? 250 : 170, 150, false);
    g->setAutoFillBackground(true);  // the picture under it does not show through
    const char* labels[4] = {"xMin =", "xMax =", "yMin = ", "yMax ="};
    for (int k = 1; k <= 4; ++k) {
      MakeLabel(g, (std::string(name) + "Label" + std::to_string(k)).c_str(), labels[k - 1])->move(8, 20 + 24 * (k - 1));
      QLineEdit* e = MakeEdit(g, (std::string(editStem) + std::to_string(k)).c_str(), "");
      e->move(60, 18 + 24 * (k - 1));
      if (four) (*four)[k] = e; else EditODU[k] = e;
    }
    return g;
  };
  GroupBoxPot = scaleGroup("GroupBoxPot", "EditPot", &EditPot, false);
  GroupBoxPhas = scaleGroup("GroupBoxPhas", "EditPhas", &EditPhas, false);
  GroupBoxODU = scaleGroup("GroupBoxODU", "EditODU", nullptr, true);
  // The minima follow the maxima, and the profile's x range follows L: shown, not edited.
  for (QLineEdit* e : {EditPot[1], EditPot[3], EditPhas[1], EditPhas[3], EditODU[1], EditODU[2], EditODU[3]})
    e->setEnabled(false);
  for (const char* label : {"GroupBoxPotLabel1", "GroupBoxPhasLabel1", "GroupBoxPhasLabel3"})
    if (QWidget* w = findChild<QWidget*>(label)) w->setEnabled(false);
  const char* results[3] = {"Height=", "Width =", "Energy="};
  for (int k = 5; k <= 7; ++k) {
    QLabel* l = MakeLabel(GroupBoxODU, ("GroupBoxODULabel" + std::to_string(k)).c_str(), results[k - 5]);
    l->move(130, 20 + 24 * (k - 5));
    l->setEnabled(false);
    EditODU[k] = MakeEdit(GroupBoxODU, ("EditODU" + std::to_string(k)).c_str(), "0");
    EditODU[k]->move(185, 18 + 24 * (k - 5));
  }
  Button1 = MakeButton(GroupBoxPot, "Button1", "OK");
  Button2 = MakeButton(GroupBoxPot, "Button2", "Cancel");
  Button3 = MakeButton(GroupBoxPhas, "Button3", "OK");
  Button4 = MakeButton(GroupBoxPhas, "Button4", "Cancel");
  Button5 = MakeButton(GroupBoxODU, "Button5", "OK");
  Button6 = MakeButton(GroupBoxODU, "Button6", "Cancel");
  for (QPushButton* b : {Button1, Button3, Button5}) b->move(8, 118);
  for (auto [ok, cancel] : {std::pair{Button1, Button2}, {Button3, Button4}, {Button5, Button6}})
    cancel->move(Right(ok) + 6, ok->y());
  ButtonDrawOne = MakeButton(pg, "ButtonDrawOne", "Один график");
  ButtonDrawAll = MakeButton(pg, "ButtonDrawAll", "Все графики", false);
  // The two questions wrap into at most three lines in either language.
  const int threeLines = 3 * QFontMetrics(font()).lineSpacing() + 2;
  LabelAdd = MakeLabel(pg, "LabelAdd", "Добавить к начальным условиям?", false);
  LabelAdd->setWordWrap(true);
  LabelAdd->resize(110, threeLines);
  ButtonAdd = MakeButton(pg, "ButtonAdd", ">", false);
  ButtonAdd->resize(28, ButtonAdd->height());
  LabelInitVel = MakeLabel(pg, "LabelInitVel", "  Скорость=", false);
  EditInitVel = MakeEdit(pg, "EditInitVel", "0.0", false);
  LabelInitSm = MakeLabel(pg, "LabelInitSm", "Смещение=", false);
  EditInitSm = MakeEdit(pg, "EditInitSm", "0.0", false);
  ListBoxInitVal = Make<QListWidget>(pg, "ListBoxInitVal");
  ListBoxInitVal->resize(130, 100);
  ListBoxInitVal->setVisible(false);
  LabelRemove = MakeLabel(pg, "LabelRemove", "Убрать из начальных условий?", false);
  LabelRemove->setWordWrap(true);
  LabelRemove->resize(110, threeLines);
  ButtonRemove = MakeButton(pg, "ButtonRemove", "<", false);
  ButtonRemove->resize(28, ButtonRemove->height());
  GroupBoxFirstInterval = MakeGroup(pg, "GroupBoxFirstInterval", "Длина исходного интервала", 190, 52);
  Label4 = MakeLabel(GroupBoxFirstInterval, "Label4", "x=");
  Label4->move(10, 24);
  EditFirstInterval = MakeEdit(GroupBoxFirstInterval, "EditFirstInterval", "10");
  EditFirstInterval->move(34, 20);

  // Page 1: the initial conditions.
  pg = pages_[1];
  RadioGroupInit = MakeGroup(pg, "RadioGroupInit", "Способ задания начальных условий", 230, 70);
  RadioGroupInitItems[0] = MakeRadio(RadioGroupInit, "RadioGroupInit#0", "Кинки-антикинки", 10, 20);
  RadioGroupInitItems[1] = MakeRadio(RadioGroupInit, "RadioGroupInit#1", "Кинки + вращатель", 10, 42);
  RadioGroupInitItems[0]->setChecked(true);
  GroupBoxAdiabat = MakeGroup(pg, "GroupBoxAdiabat", "Адиабатическая добавка", 190, 70, false);
  Label1 = MakeLabel(GroupBoxAdiabat, "Label1", "Правая часть + k * Sin ( 0.1 * x )");
  Label1->move(8, 18);
  Label2 = MakeLabel(GroupBoxAdiabat, "Label2", "kAd=");
  Label2->move(8, 44);
  Edit_kAdiabat = MakeEdit(GroupBoxAdiabat, "Edit_kAdiabat", "0.0", true, 40);
  Edit_kAdiabat->move(40, 40);
  Label32 = MakeLabel(GroupBoxAdiabat, "Label32", "wAd=");
  Label32->move(95, 44);
  Edit_wAdiabat = MakeEdit(GroupBoxAdiabat, "Edit_wAdiabat", "0.1", true, 40);
  Edit_wAdiabat->move(130, 40);
  PanelRotator = Make<QFrame>(pg, "PanelRotator");
  static_cast<QFrame*>(PanelRotator)->setFrameShape(QFrame::Panel);
  PanelRotator->resize(230, 150);
  LabelSolitons = MakeLabel(PanelRotator, "LabelSolitons", "LabelSolitons");
  LabelSolitons->move(8, 6);
  GroupBox1 = MakeGroup(PanelRotator, "GroupBox1", "", 222, 122);
  GroupBox1->move(4, 24);
  Label3 = MakeLabel(GroupBox1, "Label3", "u( 0, x ) = kF                   -Pi <= x <= Pi");
  Label3->move(6, 6);
  Label5 = MakeLabel(GroupBox1, "Label5", "dt_u( 0, x ) = kD * SIN( qL*x )    -Pi <= x <= 0 ");
  Label5->move(6, 22);
  Label6 = MakeLabel(GroupBox1, "Label6", "kD * SIN( qR*x )    0 < x <= Pi");
  Label6->move(80, 38);
  Label7 = MakeLabel(GroupBox1, "Label7", "с соответствующим сглаживанием");
  Label7->move(6, 54);
  Label_kF = MakeLabel(GroupBox1, "Label_kF", "где");
  Label_kF->move(6, 72);
  auto pair = [&](QLabel*& label, const char* ln, const char* lt, QLineEdit*& edit, const char* en, const char* et,
                  int x, int y, bool shown) {
    label = MakeLabel(GroupBox1, ln, lt, shown);
    label->move(x, y + 4);
    edit = MakeEdit(GroupBox1, en, et, shown, 40);
    edit->move(x + 46, y);
  };
  pair(Label_kF1, "Label_kF1", "kF_Re=", Edit_kF1, "Edit_kF1", "0.1", 40, 70, true);
  pair(Label_kD1, "Label_kD1", "kD=", Edit_kD, "Edit_kD", "0.1", 140, 70, true);
  pair(Label_kF2, "Label_kF2", "kF_Im=", Edit_kF2, "Edit_kF2", "0.1", 230, 70, false);
  pair(Label_qL, "Label_qL", "qL=", Edit_qL, "Edit_qL", "0.3", 40, 96, true);
  pair(Label_qR, "Label_qR", "qR=", Edit_qR, "Edit_qR", "2.0", 140, 96, true);
  ButtonInitPlants = MakeButton(pg, "ButtonInitPlants", "Графики");
  auto picture = [&](QLabel*& label, const char* ln, const char* lt, PaintBox*& box, const char* bn, Canvas& c,
                     bool shown) {
    label = MakeLabel(pg, ln, lt, shown);
    box = new PaintBox(pg, bn, c, Qt::white);
    box->setVisible(shown);
  };
  picture(Label_Re_u, "Label_Re_u", "u( 0,x )", PaintBox_Re_u, "PaintBox_Re_u", canvases_.PaintBox_Re_u, true);
  picture(Label_Im_u, "Label_Im_u", "Im u( 0,x )", PaintBox_Im_u, "PaintBox_Im_u", canvases_.PaintBox_Im_u, false);
  picture(Label_Abs_u, "Label_Abs_u", "Abs u( 0,x )", PaintBox_Abs_u, "PaintBox_Abs_u", canvases_.PaintBox_Abs_u, false);
  picture(Label_dt_Re_u, "Label_dt_Re_u", "dt u( 0,x )", PaintBox_dt_Re_u, "PaintBox_dt_Re_u",
          canvases_.PaintBox_dt_Re_u, true);
  picture(Label_dt_Im_u, "Label_dt_Im_u", "Im dt u( 0,x )", PaintBox_dt_Im_u, "PaintBox_dt_Im_u",
          canvases_.PaintBox_dt_Im_u, false);
  picture(Label_dt_Abs_u, "Label_dt_Abs_u", "Abs dt u( 0,x )", PaintBox_dt_Abs_u, "PaintBox_dt_Abs_u",
          canvases_.PaintBox_dt_Abs_u, false);
  GroupBox2 = MakeGroup(pg, "GroupBox2", "Data from/to File", 150, 230);
  GroupBox2->setFont(large);
  Drive = Make<QComboBox>(GroupBox2, "Drive");
  Drive->addItem("/");
  Drive->setGeometry(8, 20, 154, 24);
  Directory = Make<QListWidget>(GroupBox2, "Directory");
  Directory->setGeometry(8, 48, 154, 70);
  Files = Make<QListWidget>(GroupBox2, "Files");
  Files->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Files->setGeometry(8, 122, 154, 50);
  edMyFile = MakeEdit(GroupBox2, "edMyFile", "MyNewFile", true, 154);
  edMyFile->move(8, 176);
  cmdGet = MakeButton(GroupBox2, "cmdGet", "Get Data");
  cmdGet->move(8, 200);
  cmdPut = MakeButton(GroupBox2, "cmdPut", "Put Data");
  cmdPut->move(90, 200);
  Filter = Make<QComboBox>(GroupBox2, "Filter");
  Filter->addItem("(*.kq1)|*.kq1");
  Filter->setVisible(false);

  // Page 2: the solution.
  pg = pages_[2];
  lblInterv1 = MakeLabel(pg, "lblInterv1", "Исходный интервал");
  lblInterv2 = MakeLabel(pg, "lblInterv2", "[-40;40] разбит на");
  ListBoxN = Make<SelectingListBox>(pg, "ListBoxN");
  ListBoxN->addItems({"1024", "512", "256"});
  // The three choices in a row, so that the list stays within the two lines of text beside it.
  ListBoxN->setFlow(QListView::LeftToRight);
  ListBoxN->setWrapping(false);
  ListBoxN->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ListBoxN->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  const QFontMetrics nMetrics(ListBoxN->font());
  ListBoxN->setTextElideMode(Qt::ElideNone);  // a number is never shortened to "1..."
  ListBoxN->setGridSize(QSize(nMetrics.horizontalAdvance("1024") + 16, nMetrics.height() + 4));
  ListBoxN->resize(3 * ListBoxN->gridSize().width() + 2 * ListBoxN->frameWidth(),
                   ListBoxN->gridSize().height() + 2 * ListBoxN->frameWidth());
  lblConcl1 = MakeLabel(pg, "lblConcl1", "частей. Значит, при dx=");
  lblConcl2 = MakeLabel(pg, "lblConcl2", "м. добраться до t=");
  GroupBoxStop = MakeGroup(pg, "GroupBoxStop", "", 120, 48);
  RadioButtonWithStop = MakeRadio(GroupBoxStop, "RadioButtonWithStop", "С остановками", 6, 4);
  RadioButtonWithoutStop = MakeRadio(GroupBoxStop, "RadioButtonWithoutStop", "Без", 6, 24);
  ButtonToCalc = MakeButton(pg, "ButtonToCalc", "Поехали");
  ButtonStop = MakeButton(pg, "ButtonStop", "СТОП");
  Program& p = *p_;
  PaintBoxMain = new PaintBox(pg, "PaintBoxMain", p.canvases.PaintBoxMain, kButtonFace);
  PaintBoxMicro2 = new PaintBox(pg, "PaintBoxMicro2", canvases_.PaintBoxMicro2, Qt::white);
  PaintBoxScaleColor = new PaintBox(pg, "PaintBoxScaleColor", canvases_.PaintBoxScaleColor, kButtonFace);
  PaintBoxScaleColor->resize(20, 100);
  LabelDoubleColor = MakeLabel(pg, "LabelDoubleColor", "N =");
  lbNColor = Make<SelectingListBox>(pg, "lbNColor");
  lbNColor->resize(50, 120);
  LabelColorScaleHint = MakeLabel(pg, "LabelColorScaleHint", "555..555", false);
  LabelColorScaleHint->setAutoFillBackground(true);
  LabelColorScaleHint->setStyleSheet("background-color: aqua;");
  LabelHint2 = MakeLabel(pg, "LabelHint2", "555..555", false);
  LabelHint2->setStyleSheet("background-color: yellow;");
  LabelNameCurrSol = MakeLabel(pg, "LabelNameCurrSol", "Зависимость амплитуды решения от \"x\" при данном \"t\"");
  PaintBoxCurrSol = new PaintBox(pg, "PaintBoxCurrSol", p.canvases.PaintBoxCurrSol, Qt::white);
  LabelNameCurrEnergy = MakeLabel(pg, "LabelNameCurrEnergy",
                                  "Зависимость плотности энергии от \"x\" при данном \"t\" (логарифмическая шкала)");
  PaintBoxCurrEnergy = new PaintBox(pg, "PaintBoxCurrEnergy", p.canvases.PaintBoxCurrEnergy, Qt::white);
  auto stripGroup = [&](const char* name, QLineEdit*& lo, const char* loName, QLineEdit*& hi, const char* hiName) {
    // One line, so that the group stays within the low strip it opens on.
    QGroupBox* g = MakeGroup(pg, name, "Шкала", 120, 40, false);
    g->setAutoFillBackground(true);
    QLabel* min = MakeLabel(g, (std::string(name) + "Min").c_str(), "yMin = ");
    lo = MakeEdit(g, loName, "");
    QLabel* max = MakeLabel(g, (std::string(name) + "Max").c_str(), "yMax =");
    hi = MakeEdit(g, hiName, "");
    min->move(6, 4 + (lo->height() - min->height()) / 2);
    lo->move(Right(min) + 4, 4);
    max->move(Right(lo) + 10, min->y());
    hi->move(Right(max) + 4, 4);
    return g;
  };
  GroupBoxCurrSol = stripGroup("GroupBoxCurrSol", EditPlantSolMin, "EditPlantSolMin", EditPlantSolMax, "EditPlantSolMax");
  GroupBoxPlantEnergy = stripGroup("GroupBoxPlantEnergy", EditPlantEnergyMin, "EditPlantEnergyMin",
                                   EditPlantEnergyMax, "EditPlantEnergyMax");
  ListBoxOptions = Make<SelectingListBox>(pg, "ListBoxOptions");
  ListBoxOptions->addItems({QString::fromUtf8("Подсказка"), QString::fromUtf8("Микроскоп-1"), QString::fromUtf8("Микроскоп-2")});
  ListBoxOptions->resize(90, 58);
  GroupBoxMicro2 = MakeGroup(pg, "GroupBoxMicro2", "Микроскоп", 90, 64);
  rbCreateMicro2 = MakeRadio(GroupBoxMicro2, "rbCreateMicro2", "Создать", 6, 18);
  rbDeleteMicro2 = MakeRadio(GroupBoxMicro2, "rbDeleteMicro2", "Удалить", 6, 40);
  GroupBoxSearch = MakeGroup(pg, "GroupBoxSearch", "Щелчки по полю Амплитуды", 180, 64);  // holds either title
  rbScale = MakeRadio(GroupBoxSearch, "rbScale", "Scale", 6, 18);
  rbP1 = MakeRadio(GroupBoxSearch, "rbP1", "+1", 70, 18);
  rbM1 = MakeRadio(GroupBoxSearch, "rbM1", "-1", 6, 40);
  rbMAll = MakeRadio(GroupBoxSearch, "rbMAll", "-All", 70, 40);
  GroupBoxRadButt = MakeGroup(pg, "GroupBoxRadButt", "Основная картинка", 120, 64);
  RadioButtonAmpl = MakeRadio(GroupBoxRadButt, "RadioButtonAmpl", "Амплитуда", 6, 18);
  RadioButtonFase = MakeRadio(GroupBoxRadButt, "RadioButtonFase", "\"Частота\"", 6, 40);
  RadioButtonFase->setVisible(false);
  RadioButtonEnergy = MakeRadio(GroupBoxRadButt, "RadioButtonEnergy", "Энергия", 6, 40);
  ButtonRefreshSol = MakeButton(pg, "ButtonRefreshSol", "Обновить");
  ButtonRefreshSol->setEnabled(false);

  // Page 3: help.
  Memo1 = Make<QPlainTextEdit>(pages_[3], "Memo1");
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setReadOnly(true);
  QStringList memoLines;
  for (const char* line : kDesignedMemo) memoLines << QString::fromUtf8(line);
  Memo1->setPlainText(memoLines.join('\n'));
  for (QLineEdit* e : findChildren<QLineEdit*>()) e->installEventFilter(this);
}

// Every caption of the language table is given the width it needs in the longer of its two
// languages, so that the controls placed right of it, and the groups that hold it, leave room
// for either. A group box's least width is that of its longer title. Captions built from a
// text of the table are measured with the longest number they show.
std::map<const QWidget*, int> TForm1::ReserveCaptionWidths() {
  std::map<const QWidget*, int> leastGroupWidth;
  LanguageTable table;
  std::string problem;
  if (!ReadLanguageTable(SidePath("KQ_mix.txt"), table, problem)) return leastGroupWidth;  // reported when applied
  const auto text = [&](int entry, int line) {
    return entry <= static_cast<int>(table.entries.size()) ? table.entries[entry - 1][line] : std::string();
  };
  for (int entry = 1; entry <= static_cast<int>(table.entries.size()); ++entry) {
    for (const std::string& target : EntryTargets(entry)) {
      QWidget* w = nullptr;
      if (target.rfind("RadioGroupInit#", 0) == 0) w = RadioGroupInitItems.at(target.back() - '0');
      else if (!target.empty() && target[0] != '@' && target.find('#') == std::string::npos && target != "Form1")
        w = findChild<QWidget*>(QString::fromStdString(target));
      if (!w) continue;
      for (int line = 0; line < 2; ++line) {
        std::string caption = text(entry, line);
        if (entry == 32) caption = "[-999;999]" + caption;
        else if (entry == 33) caption += "00.000";
        else if (entry == 34) caption += "00000";
        else if (entry >= 35 && entry <= 38) caption = FirstChars(caption, kRunCaptionMaxChars);
        else if (entry == 59) caption += " 9 " + text(60, line);
        const QString q = QString::fromStdString(caption);
        if (auto* g = qobject_cast<QGroupBox*>(w)) {
          const int least = QFontMetrics(g->font()).horizontalAdvance(q) + 4 * kInnerMargin;
          leastGroupWidth[g] = std::max(leastGroupWidth[g], least);
        } else if (auto* l = qobject_cast<QLabel*>(w); l && l->wordWrap()) {
          continue;  // it wraps inside the width it was given
        } else if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
          w->resize(std::max(w->width(), WidthFor(w, q)), w->height());
        }
      }
    }
  }
  return leastGroupWidth;
}

void TForm1::UpdatePaintBoxes() {
  for (PaintBox* b : findChildren<PaintBox*>()) b->update();
}

QRect TForm1::PageRect() const { return static_cast<const Notebook*>(TabbedNotebook1)->PageRect(); }

void TForm1::LayoutControls() {
  Program& p = *p_;
  const int W = TabbedNotebook1->width(), H = TabbedNotebook1->height();
  // A page is smaller than the notebook by its tabs and its frame: what stands at a page's
  // right or bottom edge is placed by the page's own size.
  const int PW = PageRect().width(), PH = PageRect().height();
  const int bottomLine = PH - 3;  // the lowest controls of a page end here, inside its frame
  p.sim.RunState = 1;
  ApplyLanguage(1);
  const std::map<const QWidget*, int> leastWidth = ReserveCaptionWidths();
  RadioButtonWithoutStop->move(Right(RadioButtonWithStop) + 10, RadioButtonWithStop->y());  // one line
  rbP1->move(std::max(Right(rbScale), Right(rbM1)) + 8, rbScale->y());  // a column beside the longer caption
  rbMAll->move(rbP1->x(), rbM1->y());
  FitAround(GroupBox1);
  for (QGroupBox* g : findChildren<QGroupBox*>())
    if (g != GroupBox1) FitAround(g, leastWidth.contains(g) ? leastWidth.at(g) : 0);
  FitAround(PanelRotator);

  // Outside the notebook.
  cmdLang->move(TabbedNotebook1->x() + W + 10, TabbedNotebook1->y() + 10);
  cmdExit->move(TabbedNotebook1->x() + W + 10, TabbedNotebook1->y() + H - 10 - cmdExit->height());

  // Page 0, header: positions relative to the hidden label of "a", at its designed place.
  Label_Par_a->move(8, 28);
  Label8->move(Label_Par_a->x(), Label_Par_a->y());
  Label10->move(Label8->x(), Label8->y() - Label10->height());
  GroupBoxFirstInterval->move(std::min(W - GroupBoxAdiabat->width(), PW - GroupBoxFirstInterval->width()) - 10,
                              Label8->y() - 5);
  Par_a_Value->move(Right(Label_Par_a), Label_Par_a->y() - 5);
  Label18->move(Label_Par_a->x(), Bottom(Par_a_Value) + 10);
  Label9->move(Label_Par_a->x(), Bottom(Label18) + 10);
  Label_U_2->move(Label_Par_a->x(), Label9->y() + 20);
  Label_V->move(Right(Label_U_2), Label_U_2->y());
  Label_up_Potencial->move(Label_Par_a->x(), Label_U_2->y());

  // Page 0, buttons and pictures.
  ButtonDrawOne->move(Label_U_2->x(), bottomLine - ButtonDrawOne->height());
  ButtonDrawAll->move(Right(PaintBoxODU) - ButtonDrawAll->width(), ButtonDrawOne->y());
  const int picTop = Bottom(Label_U_2) + 10;
  const int picH = Round((ButtonDrawOne->y() - picTop) / 2.0) - 20;
  const int picW = Round(W / 2.0) - 20;
  PaintBoxPotEn->setGeometry(Label_U_2->x(), picTop, picW, picH);
  Label_up_U->move(PaintBoxPotEn->x(), Bottom(PaintBoxPotEn) + 10);
  Label_up_PhasePlane->move(Round(W / 2.0), Label_U_2->y());
  PaintBoxPhasPl->setGeometry(Label_up_PhasePlane->x(), PaintBoxPotEn->y(), picW, picH);
  PaintBoxODU->setGeometry(PaintBoxPotEn->x(), Bottom(Label_up_U) + 10, picW, picH);

  // Page 0, dialogs and the soliton list.
  GroupBoxPot->move(PaintBoxPotEn->pos());
  GroupBoxPhas->move(PaintBoxPhasPl->pos());
  GroupBoxODU->move(PaintBoxODU->pos());
  LabelAdd->move(Label_up_PhasePlane->x() + 10, PaintBoxODU->y());
  ButtonAdd->move(Right(LabelAdd), LabelAdd->y());
  LabelInitVel->move(ButtonAdd->x(), Bottom(ButtonAdd));
  LabelInitSm->move(ButtonAdd->x(), LabelInitVel->y() + EditInitVel->height());
  // The two fields in one column, right of the longer caption.
  const int fieldLeft = std::max(Right(LabelInitVel), Right(LabelInitSm));
  EditInitVel->move(fieldLeft, LabelInitVel->y());
  EditInitSm->move(fieldLeft, LabelInitSm->y());
  // The list starts right of the fields under ">" as well: over them it would hide them, under
  // them it would hide the start of its own lines.
  const int listLeft = std::max({Right(ButtonAdd), Right(EditInitVel), Right(EditInitSm)});
  ListBoxInitVal->setGeometry(listLeft, ButtonAdd->y(), ListBoxInitVal->width(), PaintBoxODU->height());
  LabelRemove->move(LabelAdd->x(), Bottom(ListBoxInitVal) - LabelRemove->height());
  ButtonRemove->move(ButtonAdd->x(), Bottom(LabelRemove) - ButtonRemove->height());

  // Page 0, texts.
  Par_a_Value->setText(QString::fromStdString(FormatWD(p.pot.ParamA, 4, 2)));
  Label8->setText(QString::fromStdString(PotentialFormulaLabel(p.pot.PotentialKind)));
  Label8->adjustSize();

  // Page 1. The plots take the page's width below the data-file group, or beside it where
  // the group reaches down to them, and share the height under the panel.
  RadioGroupInit->move(10, 10);
  GroupBoxAdiabat->move(Right(RadioGroupInit) + 10, RadioGroupInit->y());
  PanelRotator->move(RadioGroupInit->x(), Bottom(RadioGroupInit) + 10);
  ButtonInitPlants->move(Right(PanelRotator) + 10, Bottom(PanelRotator) - ButtonInitPlants->height());
  GroupBox2->move(PW - GroupBox2->width() - 10, 0);
  const int labelH = Label_Re_u->height();
  const int plotRight = Bottom(GroupBox2) + 5 > Bottom(PanelRotator) ? GroupBox2->x() - 10 : PW - 10;
  const int boxH = Round((bottomLine - Bottom(PanelRotator)) / 2.0) - labelH - 5;
  const int boxW = plotRight - PanelRotator->x();
  PaintBox_Re_u->setGeometry(PanelRotator->x(), Bottom(PanelRotator) + labelH, boxW, boxH);
  PaintBox_Im_u->setGeometry(Right(PaintBox_Re_u) + 10, PaintBox_Re_u->y(), 0, 0);
  PaintBox_Abs_u->setGeometry(Right(PaintBox_Im_u) + 10, PaintBox_Re_u->y(), 0, 0);
  PaintBox_dt_Re_u->setGeometry(PaintBox_Re_u->x(), Bottom(PaintBox_Re_u) + labelH, boxW, boxH);
  PaintBox_dt_Im_u->setGeometry(PaintBox_Im_u->x(), PaintBox_dt_Re_u->y(), 0, 0);
  PaintBox_dt_Abs_u->setGeometry(PaintBox_Abs_u->x(), PaintBox_dt_Re_u->y(), 0, 0);
  const std::pair<QLabel*, PaintBox*> labelled[] = {
      {Label_Re_u, PaintBox_Re_u}, {Label_Im_u, PaintBox_Im_u}, {Label_Abs_u, PaintBox_Abs_u},
      {Label_dt_Re_u, PaintBox_dt_Re_u}, {Label_dt_Im_u, PaintBox_dt_Im_u}, {Label_dt_Abs_u, PaintBox_dt_Abs_u}};
  for (const auto& [label, box] : labelled) label->move(box->x(), box->y() - label->height());
  ShowSolitonsCaption();

  // Page 2, top row. The two lines of each label pair take the room of the longer one.
  const int intervalW = std::max(lblInterv1->width(), lblInterv2->width());
  const int conclW = std::max(lblConcl1->width(), lblConcl2->width());
  int gap = (PW - intervalW - ListBoxN->width() - conclW - GroupBoxStop->width() - ButtonToCalc->width() -
             ButtonStop->width() - 10) / 5;
  lblInterv1->move(0, 0);
  lblInterv2->move(0, Bottom(lblInterv1));
  ListBoxN->move(intervalW + gap, 0);
  lblConcl1->move(Right(ListBoxN) + gap, 0);
  lblConcl2->move(lblConcl1->x(), Bottom(lblConcl1));
  GroupBoxStop->move(lblConcl1->x() + conclW + gap, 0);
  ButtonToCalc->move(Right(GroupBoxStop) + gap, 5);
  ButtonToCalc->setEnabled(true);
  ButtonStop->move(Right(ButtonToCalc) + gap, 5);

  // Page 2, bottom row (placed first: the pictures' heights depend on it), on one line that
  // ends at the page's bottom.
  gap = (PW - ListBoxOptions->width() - GroupBoxMicro2->width() - GroupBoxSearch->width() - GroupBoxRadButt->width() -
         ButtonRefreshSol->width() - 10) / 4;
  const int rowTop = bottomLine - std::max({ListBoxOptions->height(), GroupBoxMicro2->height(), GroupBoxSearch->height(),
                                            GroupBoxRadButt->height(), ButtonRefreshSol->height()});
  ListBoxOptions->move(0, rowTop);
  GroupBoxMicro2->move(Right(ListBoxOptions) + gap, rowTop);
  GroupBoxSearch->move(Right(GroupBoxMicro2) + gap, rowTop);
  GroupBoxRadButt->move(Right(GroupBoxSearch) + gap, rowTop);
  ButtonRefreshSol->move(Right(GroupBoxRadButt) + gap, rowTop);

  // Page 2, pictures, under the whole top row. The main picture is half as high as wide, but
  // on a screen wider than 4:3 that would squeeze the two strips under it to nothing: it
  // leaves them their least height. The colour list stands a little apart from its scale.
  constexpr int kScaleGap = 3;
  const int mainW = PW - lbNColor->width() - PaintBoxScaleColor->width() - kScaleGap - 5;
  const int mainTop = std::max({Bottom(lblInterv2), Bottom(lblConcl2), Bottom(ListBoxN), Bottom(GroupBoxStop),
                                Bottom(ButtonToCalc), Bottom(ButtonStop)}) + 2;
  const int leastStripH = std::max({kLeastStripHeight, GroupBoxCurrSol->height(), GroupBoxPlantEnergy->height()});
  const int mainH =
      std::min(Round(mainW / 2.0), rowTop - mainTop - 2 * LabelNameCurrSol->height() - 10 - 2 * leastStripH);
  PaintBoxMain->setGeometry(lblInterv1->x(), mainTop, mainW, mainH);
  PaintBoxMicro2->setGeometry(Round(0.75 * mainW), PaintBoxMain->y() + Round(mainH / 2.0), Round(mainW / 4.0),
                              Round(mainH / 2.0));
  PaintBoxScaleColor->setGeometry(Right(PaintBoxMain), PaintBoxMain->y(), PaintBoxScaleColor->width(), mainH);
  LabelDoubleColor->move(Right(PaintBoxScaleColor) + kScaleGap, PaintBoxScaleColor->y());
  lbNColor->move(LabelDoubleColor->x(), Bottom(LabelDoubleColor));
  LabelColorScaleHint->move(Right(PaintBoxScaleColor) - LabelColorScaleHint->width(), Bottom(PaintBoxScaleColor));
  LabelHint2->move(PaintBoxMain->x() + Round(mainW / 2.0), LabelColorScaleHint->y());

  // Page 2, strips.
  LabelNameCurrSol->move(PaintBoxMain->x(), Bottom(PaintBoxMain));
  const int stripH = (rowTop - LabelNameCurrSol->y() - 2 * LabelNameCurrSol->height() - 10) / 2;
  PaintBoxCurrSol->setGeometry(PaintBoxMain->x(), Bottom(LabelNameCurrSol), mainW, std::max(stripH, 0));
  GroupBoxCurrSol->move(PaintBoxCurrSol->pos());
  LabelNameCurrEnergy->move(PaintBoxMain->x(), Bottom(PaintBoxCurrSol));
  PaintBoxCurrEnergy->setGeometry(PaintBoxMain->x(), Bottom(LabelNameCurrEnergy), mainW, std::max(stripH, 0));
  GroupBoxPlantEnergy->move(PaintBoxCurrEnergy->pos());

  // Page 3.
  Memo1->setGeometry(TabbedNotebook1->x() + 10, TabbedNotebook1->y() + 10, PW - 20 - TabbedNotebook1->x(),
                     PH - 20 - TabbedNotebook1->y());
  UpdatePotentialScale(p.scales, p.pot);
  for (PaintBox* b : findChildren<PaintBox*>()) b->SyncCanvas();
}

}  // namespace kl

namespace kl {

void TForm1::FormCreate() {
  Program& p = *p_;
  const QRect opened = OpenedRect();
  laidOutFor_ = opened.size();
  TabbedNotebook1->setGeometry(opened.x(), opened.y(), opened.width() - 20 - cmdExit->width(), opened.height() - 30);
  setMinimumSize(laidOutFor_);  // the layout holds for this size and no smaller
  // Settings: a missing or broken file is reported; the reader leaves what to use.
  std::string problem;
  // A bad precision line is one of the problems reported here; the reader then leaves extended.
  if (!ReadSettingsFile(SidePath("KQ_ini.txt"), Settings, problem)) Error(problem);
  p.sim.Precision = Settings.Precision;
  ApplyPotentialKind(p.pot, Settings.PotentialKind);
  p.logSettings.LogPeriod = Settings.LogPeriod;
  p.logSettings.LogFileName = Settings.LogFileName;

  LayoutControls();
  ShowEditNumber(Par_a_Value, p.pot.ParamA);
  p.scales.PotXMax = kDefaultPotentialUMax;
  p.scales.PotXMin = -p.scales.PotXMax;
  p.scales.PotYMin = -1.0;
  p.scales.PotYMax = 1.0;
  p.scales.PhasXMax = p.scales.PotXMax;
  p.scales.PhasXMin = -p.scales.PhasXMax;
  p.scales.PhasYMax = 2.0;
  p.scales.PhasYMin = -2.0;
  EditFirstInterval->setText("10");
  ReadEditNumber(EditFirstInterval, p.sim.HalfInterval);
  p.profile.OduXMin = -p.sim.HalfInterval;
  p.profile.OduYMin = -1.5;
  p.profile.OduYMax = 1.5;
  p.profile.ProfileStartSlope = 1.0;
  p.sim.DensityFrame.yMin = -8.0;
  p.micro.Clear();
  p.sim.Stopped = false;
  p.kinks.SolitonCount = 0;
  p.kinks.InitSm.fill(0.0);
  p.rot.InitMethod = 1;
  p.rot.qL = 0.3;
  p.rot.qR = 2.0;
  p.rot.kF_Re = 0.5;
  p.rot.kF_Im = 0.2;
  p.rot.kD = 0.1;
  ShowEditNumber(Edit_qL, p.rot.qL);
  ShowEditNumber(Edit_qR, p.rot.qR);
  ShowEditNumber(Edit_kF1, p.rot.kF_Re);
  ShowEditNumber(Edit_kF2, p.rot.kF_Im);
  ShowEditNumber(Edit_kD, p.rot.kD);

  lbNColor->clear();
  for (int l = 25; l >= 2; --l) lbNColor->addItem(QString::fromStdString(FormatWD(8 * l, 4, 0)));
  colours_.ColorCount = 16;
  SelectColorItem(colours_.ColorCount);
  SetGrid(p.sim, 256);
  SelectGridItem(256);
  ShowConcl1();
  rbScale->setChecked(true);
  p.sim.TimeNow = 0;
  p.sim.RunState = 1;
  p.sim.Running = p.sim.PhaseTwo = p.sim.PhaseTwoArmed = false;
  LanguageMode = 1;
  LabelSolitons->setVisible(false);
  PanelRotator->setVisible(true);
  ApplyLanguage(LanguageMode);
  TabbedNotebook1->setVisible(false);
  TabbedNotebook1->setVisible(true);
  p.sim.TimeNow = 0;
  p.sim.Running = p.sim.PhaseTwo = p.sim.PhaseTwoArmed = false;
  RefreshCurrentTab();

  // The log file lives beside the side files, wherever the data-file pickers go later.
  // The name's bytes come from the settings file, in Windows-1251; messages show them decoded.
  p.log.SetPath(SidePath(p.logSettings.LogFileName + ".txt"),
                SidePath(Cp1251ToUtf8(p.logSettings.LogFileName) + ".txt"));
  p.log.SetErrorSink([this](const std::string& m) { Error(m); });
  if (!p.log.Create()) p.log.SetPath("");  // the run goes on without records
  TimerForPaintBox->start();
  created_ = true;
}

void TForm1::TabbedNotebook1Change(int page) {
  p_->sim.SolutionTabShown = false;
  CurrentTab = page;
  TimerForPaintBox->start();
}

void TForm1::TimerForPaintBoxTimer() {
  TimerForPaintBox->stop();
  RefreshCurrentTab();
}

void TForm1::RefreshCurrentTab() {
  Program& p = *p_;
  switch (CurrentTab) {
    case 0:
      ClearPlot(canvases_.PaintBoxPotEn);
      ClearPlot(canvases_.PaintBoxPhasPl);
      ClearPlot(canvases_.PaintBoxODU);
      if (p.kinks.SolitonCount > 1) {
        LabelRemove->setVisible(true);
        ButtonRemove->setVisible(true);
        ButtonDrawAll->setVisible(true);
      }
      break;
    case 1:
      RadioGroupInitClick();
      ButtonInitPlants->setEnabled(p.kinks.SolitonCount >= 1);
      ClearPlot(canvases_.PaintBox_Re_u);
      ClearPlot(canvases_.PaintBox_dt_Re_u);
      FillFolderLists();
      break;
    case 2:
      if (p.sim.TimeNow < kZeroTime) {
        p.sim.RunState = 1;
        ButtonToCalc->setText(QString::fromStdString(kept_.RunCaptions[1]));
      }
      p.sim.SolutionTabShown = true;
      ClearPlot(p.canvases.PaintBoxMain);
      ClearPlot(p.canvases.PaintBoxCurrSol);
      ClearPlot(p.canvases.PaintBoxCurrEnergy);
      ClearPlot(canvases_.PaintBoxMicro2);  // it lies over the main picture and goes with it
      PrepareSolutionTab();
      BuildPalette(colours_, colours_.ColorCount, &canvases_.PaintBoxScaleColor);
      ShowInterv2();
      BuildPalette(colours_, colours_.ColorCount, &canvases_.PaintBoxScaleColor);
      if (p.sim.TimeNow > kZeroTime && p.sim.RunState != 3) RunLoop(p, runUi_);
      break;
    default:
      break;
  }
  UpdatePaintBoxes();
}

void TForm1::RadioGroupInitClick() {
  Program& p = *p_;
  for (Canvas* c : {&canvases_.PaintBox_Re_u, &canvases_.PaintBox_Im_u, &canvases_.PaintBox_Abs_u,
                    &canvases_.PaintBox_dt_Re_u, &canvases_.PaintBox_dt_Im_u, &canvases_.PaintBox_dt_Abs_u})
    ClearPlot(*c);
  ShowSolitonsCaption();
  p.rot.InitMethod = RadioGroupInitItems[1]->isChecked() ? 1 : 0;
  LabelSolitons->setVisible(true);
  GroupBox1->setVisible(p.rot.InitMethod == 1);
  UpdatePaintBoxes();
}

void TForm1::ShowSolitonsCaption() {
  LabelSolitons->setText(QString::fromStdString(SolitonsCaption(kept_, p_->kinks.SolitonCount)));
  LabelSolitons->adjustSize();
}

void TForm1::ShowConcl1() {
  lblConcl1->setText(QString::fromStdString(kept_.DxText + FormatWD(p_->sim.Dx, 5, 3)));
  lblConcl1->adjustSize();
}

void TForm1::ShowConcl2() {
  lblConcl2->setText(QString::fromStdString(kept_.ReachText + FormatWD(p_->sim.ReachTime, 5, 0)));
  lblConcl2->adjustSize();
}

void TForm1::ShowInterv2() {
  const double L = p_->sim.HalfInterval;
  std::string caption = "[";
  caption += FormatWD(-L, 3, 0);
  caption += ";";
  caption += FormatWD(L, 2, 0);
  caption += "]";
  caption += kept_.IntervalText;
  lblInterv2->setText(QString::fromStdString(caption));
  lblInterv2->adjustSize();
}

void TForm1::SelectColorItem(int& count) {
  const int item = ColourItemFor(count);
  lbNColor->setCurrentRow(item);
}

void TForm1::SelectGridItem(int n) {
  if (n == 1024) ListBoxN->setCurrentRow(0);
  else if (n == 512) ListBoxN->setCurrentRow(1);
  else if (n == 256) ListBoxN->setCurrentRow(2);
}

void TForm1::ConnectHandlers() {
  connect(TabbedNotebook1, &QTabWidget::currentChanged, this, [this](int page) { TabbedNotebook1Change(page); });
  connect(TimerForPaintBox, &QTimer::timeout, this, [this] { TimerForPaintBoxTimer(); });
  connect(TimerSeeOutside, &QTimer::timeout, this, [this] { TimerSeeOutsideTimer(); });
  connect(cmdLang, &QPushButton::clicked, this, [this] { cmdLangClick(); });
  connect(cmdExit, &QPushButton::clicked, this, [this] { close(); });
  connect(ButtonToCalc, &QPushButton::clicked, this, [this] { ButtonToCalcClick(); });
  connect(ButtonStop, &QPushButton::clicked, this, [this] { ButtonStopClick(); });
  for (QRadioButton* r : RadioGroupInitItems)
    connect(r, &QRadioButton::clicked, this, [this] { RadioGroupInitClick(); });
  OnUserSelection(lbNColor, [this] { lbNColorClick(); });
  OnUserSelection(ListBoxN, [this] { ListBoxNClick(); });
  OnUserSelection(ListBoxOptions, [this] { ListBoxOptionsClick(); });
  connect(ButtonDrawOne, &QPushButton::clicked, this, [this] { ButtonDrawOneClick(); });
  connect(ButtonDrawAll, &QPushButton::clicked, this, [this] { ButtonDrawAllClick(); });
  connect(ButtonAdd, &QPushButton::clicked, this, [this] { ButtonAddClick(); });
  connect(ButtonRemove, &QPushButton::clicked, this, [this] { ButtonRemoveClick(); });
  connect(ButtonInitPlants, &QPushButton::clicked, this, [this] { ButtonInitPlantsClick(); });
  connect(ButtonRefreshSol, &QPushButton::clicked, this, [this] { ButtonRefreshSolClick(); });
  connect(cmdPut, &QPushButton::clicked, this, [this] { cmdPutClick(); });
  connect(cmdGet, &QPushButton::clicked, this, [this] { cmdGetClick(); });
  connect(Directory, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { DirectoryClick(Directory->row(item)); });
  ConnectMouseHandlers();
  ConnectScaleDialogs();
  connect(PaintBoxScaleColor, &PaintBox::mousePressed, this, [this](int, int, int y) { PaintBoxScaleColorMouseDown(y); });
  connect(PaintBoxScaleColor, &PaintBox::mouseReleased, this, [this] { PaintBoxScaleColorMouseUp(); });
}

}  // namespace kl
