// Setup files: the folder pickers, "Put Data" and "Get Data".
#include <QDir>

#include "app/data_file.h"
#include "app/main_window.h"
#include "initial/kink_entries.h"
#include "base/numbers.h"

namespace kl {

namespace {
constexpr const char* kKindQuestion =
    "Current version of potencial depends on the  Data.\r\nYou can get new version from the Data";
constexpr const char* kNoSelectedFile = "No selected file. Try once again.";
}  // namespace

void TForm1::FillFolderLists() {
  const QDir here = QDir::current();
  Directory->clear();
  Directory->addItem(here.absolutePath());
  Directory->addItems(here.entryList(QDir::Dirs | QDir::NoDot, QDir::Name));
  Files->clear();
  Files->addItems(here.entryList({"*.kq1"}, QDir::Files, QDir::Name));
}

void TForm1::DirectoryClick(int row) {
  if (row <= 0 || row >= Directory->count()) return;  // row 0 names the folder itself
  if (QDir::setCurrent(Directory->item(row)->text())) FillFolderLists();
}

void TForm1::cmdPutClick() {
  Program& p = *p_;
  SetupData setup = SetupFromProgram(p, colours_.ColorCount);
  setup.InitMethod = RadioGroupInitItems[1]->isChecked() ? 1 : 0;  // the grid index is the grid in use
  const std::string path = edMyFile->text().toStdString() + ".kq1";
  std::string error;
  if (!SaveSetupFile(path, setup, error)) Error(error);
  FillFolderLists();
}

void TForm1::cmdGetClick() {
  Program& p = *p_;
  QListWidgetItem* chosen = nullptr;
  for (int row = 0; row < Files->count(); ++row)
    if (Files->item(row)->isSelected()) chosen = Files->item(row);
  if (!chosen) {
    messages_->Information(kNoSelectedFile);
    return;
  }
  // The whole file is checked before anything changes.
  SetupData setup;
  std::string error;
  if (!LoadSetupFile(chosen->text().toStdString(), setup, error)) {
    Error(error);
    return;
  }
  const bool adoptKind = setup.PotentialKind != p.pot.PotentialKind && messages_->AskYesNo(kKindQuestion);
  ApplySetupToProgram(setup, p, adoptKind);

  ShowInterv2();
  ShowEditNumber(EditFirstInterval, p.sim.HalfInterval);
  ListBoxInitVal->clear();
  for (int j = 1; j <= p.kinks.SolitonCount; ++j)
    ListBoxInitVal->addItem(QString::fromStdString(
        SolitonEntryText(FormatWD(p.kinks.InitVel[j], 5, 2), FormatWD(p.kinks.InitSm[j], 5, 2))));
  ShowSolitonsCaption();  // the count of the loaded list
  const bool methodChanged = RadioGroupInitItems[setup.InitMethod]->isChecked() == false;
  RadioGroupInitItems[setup.InitMethod]->setChecked(true);
  if (methodChanged) RadioGroupInitClick();
  ShowEditNumber(Edit_kF1, p.rot.kF_Re);
  ShowEditNumber(Edit_kF2, p.rot.kF_Im);
  ShowEditNumber(Edit_kD, p.rot.kD);
  ShowEditNumber(Edit_kAdiabat, p.rot.kAd);
  ShowEditNumber(Edit_wAdiabat, p.rot.wAd);
  ShowEditNumber(Edit_qR, p.rot.qR);
  ShowEditNumber(Edit_qL, p.rot.qL);
  colours_.ColorCount = setup.ColorCount;
  SelectColorItem(colours_.ColorCount);
  SelectGridItem(p.sim.GridSize);
  if (adoptKind) {
    Label8->setText(QString::fromStdString(PotentialFormulaLabel(p.pot.PotentialKind)));
    Label8->adjustSize();
  }

  // The pictures follow, as the buttons would draw them.
  ButtonDrawOneClick();
  ListBoxInitVal->setVisible(true);
  ButtonInitPlantsClick();
  ButtonInitPlants->setEnabled(true);
  ListBoxNClick();
}

}  // namespace kl
