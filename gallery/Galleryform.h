#pragma once
// The component gallery: one window that shows every component of the set at
// work, laid out from its form description. One page lists the component
// palette; one page per palette page holds that page's components (the sample
// controls, which register nothing, stand on "Samples"); the last page holds
// the outlines and the tray icon.

#include <windows.h>

#include <string>
#include <vector>

#include "Buttons.h"
#include "Ccalendr.h"
#include "Cdiroutl.h"
#include "Cgauges.h"
#include "Comctrls.h"
#include "Cspin.h"
#include "Forms.h"
#include "Groupbox.h"
#include "Hyperlabel.h"
#include "Imglist.h"
#include "Label.h"
#include "Listbox.h"
#include "Menus.h"
#include "Mybarlabel.h"
#include "Myimage.h"
#include "Myprogressbar.h"
#include "Outline.h"
#include "Panel.h"
#include "Perfgrap.h"
#include "Stdctrls.h"
#include "Timer.h"
#include "Trayicon.h"
#include "Vexlolabel.h"

extern const std::vector<std::string> OutlineDrawStyleNames;

// The outline control with its draw style published, so that a form
// description can place one outline per style.
class TGalleryOutline : public TCustomOutline {
  ZX_CLASS(TGalleryOutline, TCustomOutline)
 public:
  explicit TGalleryOutline(TComponent* owner) : TCustomOutline(owner) {}
};

// Puts the components of every unit that registers some on their palette pages.
void RegisterGalleryComponents();
// One line per palette page: "Page: Class, Class".
std::vector<std::string> PaletteLines();

class TGalleryForm : public TForm {
  ZX_CLASS(TGalleryForm, TForm)
 public:
  explicit TGalleryForm(TComponent* owner);

  TPageControl* PageControl1 = nullptr;
  // The palette.
  TTabSheet* PaletteSheet = nullptr;
  TLabel* PaletteLabel = nullptr;
  TListBox* PaletteList = nullptr;
  TLabel* PaletteNote = nullptr;
  // Samples: window chrome.
  TTabSheet* SamplesSheet = nullptr;
  TGroupBox* ChromeGroup = nullptr;
  TPanel* TitlePanel = nullptr;
  TMyImage* TitleImage = nullptr;
  MyBarLabel* TitleLabel = nullptr;
  TLabel* TitleNote = nullptr;
  TMyProgressBar* ProgressBar1 = nullptr;
  TCSpinButton* SpinButton1 = nullptr;
  TLabel* SpinButtonNote = nullptr;
  // Samples: gauges.
  TGroupBox* GaugeGroup = nullptr;
  TLabel* SpinEditNote = nullptr;
  TCSpinEdit* SpinEdit1 = nullptr;
  TCGauge* GaugeText = nullptr;
  TCGauge* GaugeHorizontal = nullptr;
  TCGauge* GaugeVertical = nullptr;
  TCGauge* GaugePie = nullptr;
  TCGauge* GaugeNeedle = nullptr;
  // Samples: calendar.
  TGroupBox* CalendarGroup = nullptr;
  TButton* PrevYearButton = nullptr;
  TButton* PrevMonthButton = nullptr;
  TPanel* MonthPanel = nullptr;
  TButton* NextMonthButton = nullptr;
  TButton* NextYearButton = nullptr;
  TCCalendar* Calendar1 = nullptr;
  TLabel* WeekLabel = nullptr;
  TSpeedButton* MondayButton = nullptr;
  TSpeedButton* TuesdayButton = nullptr;
  TSpeedButton* WednesdayButton = nullptr;
  TSpeedButton* ThursdayButton = nullptr;
  TSpeedButton* FridayButton = nullptr;
  TSpeedButton* SaturdayButton = nullptr;
  TSpeedButton* SundayButton = nullptr;
  // Samples: performance graphs.
  TGroupBox* GraphGroup = nullptr;
  TPerformanceGraph* BarGraph = nullptr;
  TPerformanceGraph* LineGraph = nullptr;
  TTimer* GraphTimer = nullptr;
  // Quorb Hyper Controls.
  TTabSheet* HyperSheet = nullptr;
  TLabel* HyperNote = nullptr;
  THyperLabel* HyperLabel1 = nullptr;
  THyperLabel* HyperLabel2 = nullptr;
  TPanel* ClickPanel = nullptr;
  // Vexlo.
  TTabSheet* VexloSheet = nullptr;
  TVexloLabel* VexloRaised = nullptr;
  TVexloLabel* VexloBlink = nullptr;
  TVexloLabel* VexloHiLo = nullptr;
  TVexloLabel* VexloLowered = nullptr;
  TVexloLabel* VexloSingle = nullptr;
  // Outlines and the tray icon.
  TTabSheet* OutlineSheet = nullptr;
  TLabel* OutlineLabel0 = nullptr;
  TLabel* OutlineLabel1 = nullptr;
  TLabel* OutlineLabel2 = nullptr;
  TLabel* OutlineLabel3 = nullptr;
  TLabel* OutlineLabel4 = nullptr;
  TLabel* OutlineLabel5 = nullptr;
  TGalleryOutline* Outline0 = nullptr;
  TGalleryOutline* Outline1 = nullptr;
  TGalleryOutline* Outline2 = nullptr;
  TGalleryOutline* Outline3 = nullptr;
  TGalleryOutline* Outline4 = nullptr;
  TGalleryOutline* Outline5 = nullptr;
  TLabel* DirectoryLabel = nullptr;
  TCDirectoryOutline* DirectoryOutline1 = nullptr;
  TPanel* DirectoryPanel = nullptr;
  TGroupBox* TrayGroup = nullptr;
  TButton* AnimateButton = nullptr;
  TLabel* TrayNote = nullptr;
  TTrayIcon* TrayIcon1 = nullptr;
  TImageList* TrayImages = nullptr;
  TPopupMenu* TrayMenu = nullptr;
  TMenuItem* RestoreItem = nullptr;
  TMenuItem* AnimateItem = nullptr;
  TMenuItem* ExitItem = nullptr;

  void FormCreate(TObject* sender);
  void OpenPageNamedOnCommandLine();
  void SpinEdit1Change(TObject* sender);
  void SpinButton1UpClick(TObject* sender);
  void SpinButton1DownClick(TObject* sender);
  void PrevYearButtonClick(TObject* sender);
  void PrevMonthButtonClick(TObject* sender);
  void NextMonthButtonClick(TObject* sender);
  void NextYearButtonClick(TObject* sender);
  void Calendar1Change(TObject* sender);
  void WeekdayButtonClick(TObject* sender);
  void GraphTimerTimer(TObject* sender);
  void HyperLabelClick(TObject* sender);
  void DirectoryOutline1Change(TObject* sender);
  void AnimateButtonClick(TObject* sender);
  void RestoreItemClick(TObject* sender);
  void ExitItemClick(TObject* sender);

  // The outlines, in draw-style order.
  std::vector<TGalleryOutline*> Outlines() const;
  // Loads the outline text into every outline.
  void LoadOutlines(const std::string& text);
  // The calendar's month as the month panel shows it ("December 2026").
  std::string MonthText() const;

 private:
  int graphStep_ = 0;
  int linkClicks_ = 0;
};

extern TGalleryForm* GalleryForm;
