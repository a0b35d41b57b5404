// The two languages of the window: the help memo and the caption table.
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "app/main_window.h"
#include "base/version.h"
#include "base/numbers.h"

namespace kl {

namespace {

void SetControlText(QWidget* w, const QString& text) {
  if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(text);
    if (!l->wordWrap()) l->adjustSize();
  } else if (auto* r = qobject_cast<QRadioButton*>(w)) {
    r->setText(text);
    r->adjustSize();  // a choice is as wide as its text in either language
  } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(text);
  } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
    g->setTitle(text);
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setText(text);
  }
}

}  // namespace

void TForm1::ApplyEntry(int entry, const std::string& text) {
  const QString q = QString::fromStdString(text);
  for (const std::string& target : EntryTargets(entry)) {
    if (target.empty() || target[0] == '@') continue;  // kept texts are stored by KeepTexts
    const size_t hash = target.find('#');
    if (target == "Form1") {
      setWindowTitle(q);
    } else if (hash != std::string::npos) {
      const std::string owner = target.substr(0, hash);
      const int index = std::stoi(target.substr(hash + 1));
      if (owner == "TabbedNotebook1") TabbedNotebook1->setTabText(index, q);
      else if (owner == "RadioGroupInit") SetControlText(RadioGroupInitItems.at(index), q);
      else if (owner == "ListBoxOptions" && ListBoxOptions->item(index)) ListBoxOptions->item(index)->setText(q);
    } else if (QWidget* w = findChild<QWidget*>(QString::fromStdString(target))) {
      SetControlText(w, q);
    }
  }
  // Captions built from the kept texts.
  switch (entry) {
    case 32: ShowInterv2(); break;
    case 33: ShowConcl1(); break;
    case 34: ShowConcl2(); break;
    case 35: case 36: case 37: case 38:
      ButtonToCalc->setText(QString::fromStdString(kept_.RunCaptions[std::clamp(p_->sim.RunState, 1, 4)]));
      break;
    case 57: LabelHint2->setText(q); break;
    case 58: case 59: case 60: ShowSolitonsCaption(); break;
    default: break;
  }
}

void TForm1::ApplyLanguage(int mode) {
  const int line = mode != 0 ? 1 : 0;
  std::vector<std::string> help;
  std::string problem;
  const std::string helpFile = mode != 0 ? "KQ_eng.txt" : "KQ_rus.txt";
  if (ReadHelpFile(SidePath(helpFile), help, problem)) {
    QStringList lines;
    for (const std::string& s : JoinHelpParagraphs(help)) lines << QString::fromStdString(s);
    lines << QString() << QString::fromUtf8(ProgramNameAndVersion());
    Memo1->setPlainText(lines.join('\n'));
  } else {
    Error(problem);  // the captions are still switched below
  }
  LanguageTable table;
  if (!ReadLanguageTable(SidePath("KQ_mix.txt"), table, problem)) {
    Error(problem);
    return;
  }
  KeepTexts(table, line, kept_);
  for (size_t k = 0; k < table.entries.size(); ++k) ApplyEntry(static_cast<int>(k) + 1, table.entries[k][line]);
}

void TForm1::cmdLangClick() {
  LanguageMode = 1 - LanguageMode;
  ApplyLanguage(LanguageMode);
}

}  // namespace kl
