#include "Galleryform.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "Resstream.h"
#include "Streams.h"

TGalleryForm* GalleryForm = nullptr;

const std::vector<std::string> OutlineDrawStyleNames{"dsText",     "dsPlusMinusText", "dsPictureText",
                                                     "dsPlusMinusPictureText", "dsTreeText", "dsTreePictureText"};

namespace {
// The outline's items, a tab-indented text with CR LF line ends beside the
// form description.
constexpr char kOutlineResource[] = "GALLERYOUTLINE";
}  // namespace

const TClassInfo& TGalleryOutline::StaticClass() {
  static const TClassInfo info = DefineClass<TGalleryOutline>("TGalleryOutline", [](TClassBuilder<TGalleryOutline>& c) {
    c.Enum("DrawStyle", OutlineDrawStyleNames, &TGalleryOutline::DrawStyle, &TGalleryOutline::SetDrawStyle,
           dsTreePictureText)
        .Set("Options", OutlineOptionNames, &TGalleryOutline::Options, &TGalleryOutline::SetOptions,
             TOutlineOptions{ooDrawTreeRoot, ooDrawFocusRect})
        .EventAcc("OnExpand", [](TGalleryOutline& o) -> const TOutlineEvent& { return o.OnExpand; },
                  [](TGalleryOutline& o, const TOutlineEvent& e) { o.OnExpand = e; },
                  static_cast<TOutlineEvent*>(nullptr))
        .EventAcc("OnCollapse", [](TGalleryOutline& o) -> const TOutlineEvent& { return o.OnCollapse; },
                  [](TGalleryOutline& o, const TOutlineEvent& e) { o.OnCollapse = e; },
                  static_cast<TOutlineEvent*>(nullptr));
  });
  return info;
}

void RegisterGalleryComponents() {
  Myimage::Register();
  Mybarlabel::Register();
  Myprogressbar::Register();
  Hyperlabel::Register();
  Vexlolabel::Register();
}

std::vector<std::string> PaletteLines() {
  std::vector<std::string> lines;
  for (const std::string& page : PalettePages()) {
    std::string line = page + ":";
    const char* separator = " ";
    for (const TClassInfo* cls : PaletteClasses(page)) {
      line += separator + cls->name;
      separator = ", ";
    }
    lines.push_back(line);
  }
  return lines;
}

// ---------------------------------------------------------------------------

const TClassInfo& TGalleryForm::StaticClass() {
  static const TClassInfo info = DefineClass<TGalleryForm>("TGalleryForm", [](TClassBuilder<TGalleryForm>& c) {
    using F = TGalleryForm;
    c.Field("PageControl1", &F::PageControl1)
        .Field("PaletteSheet", &F::PaletteSheet)
        .Field("PaletteLabel", &F::PaletteLabel)
        .Field("PaletteList", &F::PaletteList)
        .Field("PaletteNote", &F::PaletteNote)
        .Field("SamplesSheet", &F::SamplesSheet)
        .Field("ChromeGroup", &F::ChromeGroup)
        .Field("TitlePanel", &F::TitlePanel)
        .Field("TitleImage", &F::TitleImage)
        .Field("TitleLabel", &F::TitleLabel)
        .Field("TitleNote", &F::TitleNote)
        .Field("ProgressBar1", &F::ProgressBar1)
        .Field("SpinButton1", &F::SpinButton1)
        .Field("SpinButtonNote", &F::SpinButtonNote)
        .Field("GaugeGroup", &F::GaugeGroup)
        .Field("SpinEditNote", &F::SpinEditNote)
        .Field("SpinEdit1", &F::SpinEdit1)
        .Field("GaugeText", &F::GaugeText)
        .Field("GaugeHorizontal", &F::GaugeHorizontal)
        .Field("GaugeVertical", &F::GaugeVertical)
        .Field("GaugePie", &F::GaugePie)
        .Field("GaugeNeedle", &F::GaugeNeedle)
        .Field("CalendarGroup", &F::CalendarGroup)
        .Field("PrevYearButton", &F::PrevYearButton)
        .Field("PrevMonthButton", &F::PrevMonthButton)
        .Field("MonthPanel", &F::MonthPanel)
        .Field("NextMonthButton", &F::NextMonthButton)
        .Field("NextYearButton", &F::NextYearButton)
        .Field("Calendar1", &F::Calendar1)
        .Field("WeekLabel", &F::WeekLabel)
        .Field("MondayButton", &F::MondayButton)
        .Field("TuesdayButton", &F::TuesdayButton)
        .Field("WednesdayButton", &F::WednesdayButton)
        .Field("ThursdayButton", &F::ThursdayButton)
        .Field("FridayButton", &F::FridayButton)
        .Field("SaturdayButton", &F::SaturdayButton)
        .Field("SundayButton", &F::SundayButton)
        .Field("GraphGroup", &F::GraphGroup)
        .Field("BarGraph", &F::BarGraph)
        .Field("LineGraph", &F::LineGraph)
        .Field("GraphTimer", &F::GraphTimer)
        .Field("HyperSheet", &F::HyperSheet)
        .Field("HyperNote", &F::HyperNote)
        .Field("HyperLabel1", &F::HyperLabel1)
        .Field("HyperLabel2", &F::HyperLabel2)
        .Field("ClickPanel", &F::ClickPanel)
        .Field("VexloSheet", &F::VexloSheet)
        .Field("VexloRaised", &F::VexloRaised)
        .Field("VexloBlink", &F::VexloBlink)
        .Field("VexloHiLo", &F::VexloHiLo)
        .Field("VexloLowered", &F::VexloLowered)
        .Field("VexloSingle", &F::VexloSingle)
        .Field("OutlineSheet", &F::OutlineSheet)
        .Field("OutlineLabel0", &F::OutlineLabel0)
        .Field("OutlineLabel1", &F::OutlineLabel1)
        .Field("OutlineLabel2", &F::OutlineLabel2)
        .Field("OutlineLabel3", &F::OutlineLabel3)
        .Field("OutlineLabel4", &F::OutlineLabel4)
        .Field("OutlineLabel5", &F::OutlineLabel5)
        .Field("Outline0", &F::Outline0)
        .Field("Outline1", &F::Outline1)
        .Field("Outline2", &F::Outline2)
        .Field("Outline3", &F::Outline3)
        .Field("Outline4", &F::Outline4)
        .Field("Outline5", &F::Outline5)
        .Field("DirectoryLabel", &F::DirectoryLabel)
        .Field("DirectoryOutline1", &F::DirectoryOutline1)
        .Field("DirectoryPanel", &F::DirectoryPanel)
        .Field("TrayGroup", &F::TrayGroup)
        .Field("AnimateButton", &F::AnimateButton)
        .Field("TrayNote", &F::TrayNote)
        .Field("TrayIcon1", &F::TrayIcon1)
        .Field("TrayImages", &F::TrayImages)
        .Field("TrayMenu", &F::TrayMenu)
        .Field("RestoreItem", &F::RestoreItem)
        .Field("AnimateItem", &F::AnimateItem)
        .Field("ExitItem", &F::ExitItem)
        .Method("FormCreate", &F::FormCreate)
        .Method("SpinEdit1Change", &F::SpinEdit1Change)
        .Method("SpinButton1UpClick", &F::SpinButton1UpClick)
        .Method("SpinButton1DownClick", &F::SpinButton1DownClick)
        .Method("PrevYearButtonClick", &F::PrevYearButtonClick)
        .Method("PrevMonthButtonClick", &F::PrevMonthButtonClick)
        .Method("NextMonthButtonClick", &F::NextMonthButtonClick)
        .Method("NextYearButtonClick", &F::NextYearButtonClick)
        .Method("Calendar1Change", &F::Calendar1Change)
        .Method("WeekdayButtonClick", &F::WeekdayButtonClick)
        .Method("GraphTimerTimer", &F::GraphTimerTimer)
        .Method("HyperLabelClick", &F::HyperLabelClick)
        .Method("DirectoryOutline1Change", &F::DirectoryOutline1Change)
        .Method("AnimateButtonClick", &F::AnimateButtonClick)
        .Method("RestoreItemClick", &F::RestoreItemClick)
        .Method("ExitItemClick", &F::ExitItemClick);
  });
  return info;
}

TGalleryForm::TGalleryForm(TComponent* owner) : TForm(owner) {}

std::vector<TGalleryOutline*> TGalleryForm::Outlines() const {
  return {Outline0, Outline1, Outline2, Outline3, Outline4, Outline5};
}

void TGalleryForm::LoadOutlines(const std::string& text) {
  for (TGalleryOutline* outline : Outlines()) {
    TStringStream stream(text);
    outline->LoadFromStream(stream);
  }
}

std::string TGalleryForm::MonthText() const {
  SYSTEMTIME day{};
  day.wYear = static_cast<WORD>(Calendar1->Year());
  day.wMonth = static_cast<WORD>(Calendar1->Month());
  day.wDay = 1;
  char text[80] = {};
  if (GetDateFormatA(LOCALE_USER_DEFAULT, 0, &day, "MMMM yyyy", text, sizeof(text)) == 0) return {};
  return text;
}

void TGalleryForm::FormCreate(TObject*) {
  RegisterGalleryComponents();
  for (const std::string& line : PaletteLines()) PaletteList->Items()->Add(line);

  TResourceStream items(GetModuleHandleA(nullptr), kOutlineResource, MAKEINTRESOURCEA(10));
  std::string text(static_cast<size_t>(items.Size()), '\0');
  items.ReadBuffer(text.data(), items.Size());
  LoadOutlines(text);

  SpinEdit1Change(SpinEdit1);
  Calendar1Change(Calendar1);
  // The directory outline opens at the folder the gallery was started in.
  DirectoryOutline1->SetDirectory(TCDirectoryOutline::CurDir());
  DirectoryOutline1Change(DirectoryOutline1);
  TrayIcon1->SetVisible(true);
  OpenPageNamedOnCommandLine();
}

// "Gallery.exe Samples" opens with that page shown (its caption, in any case);
// an unknown name keeps the first page.
void TGalleryForm::OpenPageNamedOnCommandLine() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments) return;
  std::wstring wanted = count > 1 ? arguments[1] : L"";
  LocalFree(arguments);
  if (wanted.empty()) return;
  for (int i = 0; i < PageControl1->PageCount(); ++i) {
    TTabSheet* page = PageControl1->Pages(i);
    const std::string& caption = page->Caption();
    const std::wstring wide(caption.begin(), caption.end());
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, wide.c_str(), -1, wanted.c_str(), -1) == CSTR_EQUAL) {
      PageControl1->SetActivePage(page);
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// Samples.

void TGalleryForm::SpinEdit1Change(TObject*) {
  // While the text is being typed it may be no number yet: the gauges keep
  // their value until it is one.
  const std::string text = SpinEdit1->Text();
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < SpinEdit1->MinValue || value > SpinEdit1->MaxValue) return;
  for (TCGauge* gauge : {GaugeText, GaugeHorizontal, GaugeVertical, GaugePie, GaugeNeedle})
    gauge->SetProgress(static_cast<int>(value));
}

void TGalleryForm::SpinButton1UpClick(TObject*) { ProgressBar1->SetPosition(ProgressBar1->Position() + 10); }

void TGalleryForm::SpinButton1DownClick(TObject*) {
  ProgressBar1->SetPosition(std::max(ProgressBar1->Position() - 10, 0));
}

void TGalleryForm::PrevYearButtonClick(TObject*) { Calendar1->PrevYear(); }
void TGalleryForm::PrevMonthButtonClick(TObject*) { Calendar1->PrevMonth(); }
void TGalleryForm::NextMonthButtonClick(TObject*) { Calendar1->NextMonth(); }
void TGalleryForm::NextYearButtonClick(TObject*) { Calendar1->NextYear(); }

void TGalleryForm::Calendar1Change(TObject*) { MonthPanel->SetCaption(MonthText()); }

void TGalleryForm::WeekdayButtonClick(TObject* sender) {
  // Each day's button carries its weekday number (1 Monday ... 7 Sunday) as its tag.
  if (auto* button = dynamic_cast<TSpeedButton*>(sender)) Calendar1->SetStartOfWeek(button->Tag);
}

void TGalleryForm::GraphTimerTimer(TObject*) {
  // Two slow waves and a saw tooth, the same series on both graphs.
  const double t = graphStep_++ * 0.2;
  const int wave = static_cast<int>(450 + 350 * std::sin(t));
  const int other = static_cast<int>(300 + 200 * std::cos(t * 0.7));
  const int saw = (graphStep_ * 37) % 900;
  for (TPerformanceGraph* graph : {BarGraph, LineGraph}) {
    graph->DataPoint(clLime, wave);
    graph->DataPoint(clYellow, other);
    graph->DataPoint(clAqua, saw);
    graph->Update();
  }
}

// ---------------------------------------------------------------------------
// Quorb Hyper Controls.

void TGalleryForm::HyperLabelClick(TObject* sender) {
  ++linkClicks_;
  auto* link = dynamic_cast<THyperLabel*>(sender);
  ClickPanel->SetCaption("Clicked " + std::to_string(linkClicks_) + (linkClicks_ == 1 ? " time" : " times") +
                         (link ? ", last on \"" + link->Caption() + "\"" : std::string()));
}

// ---------------------------------------------------------------------------
// Outlines and the tray icon.

void TGalleryForm::DirectoryOutline1Change(TObject*) { DirectoryPanel->SetCaption(DirectoryOutline1->Directory()); }

void TGalleryForm::AnimateButtonClick(TObject*) {
  const bool animate = !TrayIcon1->Animate();
  TrayIcon1->SetAnimate(animate);
  if (!animate) TrayIcon1->SetIconIndex(0);
  AnimateButton->SetCaption(animate ? "Stop the animation" : "Animate the tray icon");
  AnimateItem->SetChecked(animate);
}

void TGalleryForm::RestoreItemClick(TObject*) { TrayIcon1->Restore(); }

void TGalleryForm::ExitItemClick(TObject*) { Close(); }
