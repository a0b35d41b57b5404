#pragma once
// The main window: its controls under their own names, and the handlers that read the
// controls, call the core and write the controls back.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/messages.h"
#include "app/program.h"
#include "app/side_files.h"
#include "app/run_control.h"
#include "initial/init_plots.h"
#include "interaction/colour_scale.h"
#include "views/paint_box_window.h"

namespace kl {

// The canvases of the pictures the run itself does not draw.
struct WindowCanvases {
  Canvas PaintBoxPotEn, PaintBoxPhasPl, PaintBoxODU;
  Canvas PaintBox_Re_u, PaintBox_Im_u, PaintBox_Abs_u, PaintBox_dt_Re_u, PaintBox_dt_Im_u, PaintBox_dt_Abs_u;
  Canvas PaintBoxMicro2, PaintBoxScaleColor;
};

class TForm1;

// The run's view of the window.
class WindowRunUi : public RunUi {
 public:
  explicit WindowRunUi(TForm1& form) : f_(form) {}
  void ShowRunCaption(int runState) override;
  void SetStartEnabled(bool on) override;
  void ShowTimeCaption(const std::string& text) override;
  void RestoreWindowCaption() override;
  void ShowReachTime() override;
  void ShowGrid() override;
  void ShowStripTitles() override;
  void EnableParamA() override;
  void CheckWithStop() override;
  void SelectWithoutStop() override;
  bool WithStopChecked() const override;
  void SetRunControlsEnabled(bool on) override;
  void EnableSliceTimer() override;
  void ShowError(const std::string& message) override;
  void Pause(int milliseconds) override;

 private:
  TForm1& f_;
};

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  // How the window takes the size it is laid out for: the size it is created with, or the
  // size it has once shown maximised (the program's way; `FormCreate` then waits for it).
  enum class Opening { AtCreationSize, Maximized };

  // `messages` answers the message boxes (the window's own boxes when null); `pauseMs` is
  // the pause of a start press (100 in the program).
  explicit TForm1(MessageBoxes* messages = nullptr, int pauseMs = 100, Opening opening = Opening::AtCreationSize);
  ~TForm1() override;

  // `FormCreate` has run: the controls are laid out and the defaults are in place.
  bool Created() const { return created_; }

  Program& program() { return *p_; }
  const KeptTexts& kept() const { return kept_; }
  ColourScale& colours() { return colours_; }
  WindowCanvases& canvases() { return canvases_; }
  int LanguageMode = 1;
  int CurrentTab = 0;
  SettingsFile Settings;
  std::string StartFolder;  // side files and the log file live here

  // Handlers, named after their control and event.
  void FormCreate();
  void LayoutControls();
  void ApplyLanguage(int mode);
  void cmdLangClick();
  void TabbedNotebook1Change(int page);
  void TimerForPaintBoxTimer();
  void RefreshCurrentTab();
  void RadioGroupInitClick();
  void SelectColorItem(int& count);
  void SelectGridItem(int n);
  void ButtonToCalcClick();
  void ButtonStopClick();
  void TimerSeeOutsideTimer();
  void lbNColorClick();
  void ListBoxNClick();
  void PrepareSolutionTab();
  void PaintBoxScaleColorMouseDown(int y);
  void PaintBoxScaleColorMouseUp();
  void ButtonDrawOneClick();
  void ButtonDrawAllClick();
  void ButtonAddClick();
  void ButtonRemoveClick();
  void RebuildSolitonList();
  void ButtonInitPlantsClick();
  void ButtonRefreshSolClick();

  // Scale dialogs of the solitons tab.
  void PaintBoxPotEnClick();
  void PaintBoxPhasPlClick();
  void PaintBoxODUClick();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();

  // Pointing into the solution tab's pictures.
  void PaintBoxMainMouseDown(int x, int y);
  void PaintBoxMainMouseUp(int x, int y);
  void PaintBoxCurrSolMouseDown(int x, int y);
  void PaintBoxCurrSolMouseUp(int x, int y);
  void PaintBoxCurrEnergyMouseDown();
  void PaintBoxCurrEnergyMouseUp();
  void PaintBoxMicro2MouseDown(int x, int y);
  void PaintBoxMicro2MouseUp();
  void rbMAllClick();
  void ListBoxOptionsClick();
  void rbDeleteMicro2Click();
  void DeleteMicro1();
  void DeleteMicro2();
  void ShowHint(const std::optional<std::string>& text);
  int OptionMode = 0;
  bool Micro1Dragging = false, Micro2Dragging = false;
  void cmdPutClick();
  void cmdGetClick();
  void DirectoryClick(int row);
  void FillFolderLists();

  // Fields
  void ReadEditNumber(QLineEdit* edit, double& value);
  void ShowEditNumber(QLineEdit* edit, double value);
  // EditFirstInterval into HalfInterval (a value that is not positive is refused) and OduXMin.
  void ReadHalfInterval();
  static bool IsYellow(const QLineEdit* edit);
  static void SetFieldValid(QLineEdit* edit, bool valid);  // white, or yellow
  // A key reaches a field's handler before the field applies it; true for a field whose
  // colour tells whether its text is a number, which is coloured again once the key is in.
  bool FieldKeyPress(QLineEdit* edit, int key);
  void ColourFieldAfterKey(QLineEdit* edit);

  // Redraws every paint box from its canvas.
  void UpdatePaintBoxes();
  std::string SidePath(const std::string& name) const;

  // Outside the notebook
  QTabWidget* TabbedNotebook1;
  QPushButton* cmdLang;
  QPushButton* cmdExit;
  QTimer* TimerSeeOutside;
  QTimer* TimerForPaintBox;

  // Page 0
  QLabel *Label10, *Label8, *Label_Par_a, *Label18, *Label11, *Label9, *Label_U_2, *Label_V;
  QLabel *Label_up_Potencial, *Label_up_PhasePlane, *Label_up_U;
  QLineEdit *Par_a_Value, *Par_w_Value;
  PaintBox *PaintBoxPotEn, *PaintBoxPhasPl, *PaintBoxODU;
  QGroupBox *GroupBoxPot, *GroupBoxPhas, *GroupBoxODU;
  std::array<QLineEdit*, 5> EditPot{}, EditPhas{};  // [1..4]
  std::array<QLineEdit*, 8> EditODU{};              // [1..7]
  QPushButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6;
  QPushButton *ButtonDrawOne, *ButtonDrawAll, *ButtonAdd, *ButtonRemove;
  QLabel *LabelAdd, *LabelInitVel, *LabelInitSm, *LabelRemove, *Label4;
  QLineEdit *EditInitVel, *EditInitSm, *EditFirstInterval;
  QListWidget* ListBoxInitVal;
  QGroupBox* GroupBoxFirstInterval;

  // Page 1
  QGroupBox* RadioGroupInit;
  std::array<QRadioButton*, 2> RadioGroupInitItems{};
  QGroupBox* GroupBoxAdiabat;
  QLabel *Label1, *Label2, *Label32;
  QLineEdit *Edit_kAdiabat, *Edit_wAdiabat;
  QWidget* PanelRotator;
  QLabel* LabelSolitons;
  QGroupBox* GroupBox1;
  QLabel *Label3, *Label5, *Label6, *Label7, *Label_kF, *Label_kF1, *Label_kD1, *Label_kF2, *Label_qL, *Label_qR;
  QLineEdit *Edit_kF1, *Edit_kD, *Edit_kF2, *Edit_qL, *Edit_qR;
  QPushButton* ButtonInitPlants;
  QLabel *Label_Re_u, *Label_dt_Re_u, *Label_Im_u, *Label_Abs_u, *Label_dt_Im_u, *Label_dt_Abs_u;
  PaintBox *PaintBox_Re_u, *PaintBox_dt_Re_u, *PaintBox_Im_u, *PaintBox_Abs_u, *PaintBox_dt_Im_u, *PaintBox_dt_Abs_u;
  QGroupBox* GroupBox2;
  QComboBox* Drive;
  QListWidget *Directory, *Files;
  QLineEdit* edMyFile;
  QPushButton *cmdGet, *cmdPut;
  QComboBox* Filter;

  // Page 2
  QLabel *lblInterv1, *lblInterv2, *lblConcl1, *lblConcl2;
  QListWidget* ListBoxN;
  QGroupBox* GroupBoxStop;
  QRadioButton *RadioButtonWithStop, *RadioButtonWithoutStop;
  QPushButton *ButtonToCalc, *ButtonStop, *ButtonRefreshSol;
  PaintBox *PaintBoxMain, *PaintBoxMicro2, *PaintBoxScaleColor, *PaintBoxCurrSol, *PaintBoxCurrEnergy;
  QLabel *LabelDoubleColor, *LabelColorScaleHint, *LabelHint2, *LabelNameCurrSol, *LabelNameCurrEnergy;
  QListWidget *lbNColor, *ListBoxOptions;
  QGroupBox *GroupBoxCurrSol, *GroupBoxPlantEnergy;
  QLineEdit *EditPlantSolMin, *EditPlantSolMax, *EditPlantEnergyMin, *EditPlantEnergyMax;
  QGroupBox *GroupBoxMicro2, *GroupBoxSearch, *GroupBoxRadButt;
  QRadioButton *rbCreateMicro2, *rbDeleteMicro2, *rbScale, *rbP1, *rbM1, *rbMAll;
  QRadioButton *RadioButtonAmpl, *RadioButtonFase, *RadioButtonEnergy;

  // Page 3
  QPlainTextEdit* Memo1;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  friend class WindowRunUi;
  void CreateControls();
  void ConnectHandlers();
  void ConnectMouseHandlers();
  void ConnectScaleDialogs();
  void ApplyEntry(int entry, const std::string& text);
  void ShowSolitonsCaption();
  void DrawPotentialPictures();
  void ShowConcl1();
  void ShowConcl2();
  void ShowInterv2();
  void Error(const std::string& text);
  QRect OpenedRect() const;
  std::map<const QWidget*, int> ReserveCaptionWidths();  // the least widths of the group boxes
  QRect PageRect() const;  // a notebook page's rectangle, known before the notebook is shown
  void CreateAtOpenedSize();

  std::unique_ptr<Program> p_;
  WindowCanvases canvases_;
  ColourScale colours_;
  InitFrames initFrames_{};
  PlotFrame micro2Frame_{};  // the world rectangle shown by microscope 2
  KeptTexts kept_;
  MessageBoxes* messages_;
  std::unique_ptr<MessageBoxes> ownMessages_;
  WindowRunUi runUi_;
  int pauseMs_;
  bool awaitingOpenedSize_ = false, created_ = false;
  QSize laidOutFor_{529, 460};  // the window's size that the layout is made for
  std::array<QWidget*, 4> pages_{};
};

}  // namespace kl
