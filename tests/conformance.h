// What a user does with the main window and what they then see, written once
// and run against every real view (the Qt window, the Win32 window under
// Wine). Each view's test program supplies a driver that acts through the
// window system as a user does (clicks, keys) and reads back what the
// window shows; a view that leaves a contract call undone fails here, where
// the behaviour's own tests (over a recording view) cannot see it.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/controlid.h"
#include "app/keys.h"
#include "app/layout.h"
#include "app/mainwindow.h"
#include "platform/printing.h"
#include "platform/twips.h"

namespace vantorel::conformance {

using app::Id;
using app::Key;
// What a screen reader reads for a control: its name and its description.
using Said = std::pair<std::string, std::string>;

class Driver {
 public:
  virtual ~Driver() = default;
  // A new window, loaded from an empty store, with the printers "Alpha" and
  // "Bravo"; returns once the window is at rest with its printer count known.
  virtual void Start() = 0;
  // The left button pressed and released over the control's centre.
  virtual void Click(Id control) = 0;
  // The right button pressed over the control with these of Shift, Ctrl, Alt down.
  virtual void RightClick(Id control, int shift) = 0;
  // The mouse moved over the control's centre.
  virtual void Hover(Id control) = 0;
  // A key pressed and released wherever the focus is, with these of Shift, Ctrl, Alt down.
  virtual void Press(Key key, int shift = 0) = 0;
  // Plain characters typed at the focus.
  virtual void Type(const std::string& text) = 0;
  // Runs the event loop until the window is at rest (a fit ended) or has
  // ended; modal windows that opened meanwhile are answered: noted and
  // closed with their own button.
  virtual void Settle() = 0;
  // Runs the event loop a few turns, no more: a fit started goes on.
  virtual void Turn() = 0;

  virtual std::string Text(Id control) = 0;
  virtual bool Enabled(Id control) = 0;
  virtual bool Visible(Id control) = 0;
  virtual std::optional<Id> Focus() = 0;
  virtual int Tick(Id control) = 0;
  virtual std::string ToolTip(Id control) = 0;
  // What the window last told a screen reader to say, while it is shown.
  virtual std::string Announced() = 0;
  virtual Said Heard(Id control) = 0;
  // The selected text of a field.
  virtual std::string Selected(Id field) = 0;
  virtual app::Phase Phase() = 0;
  virtual bool Ended() = 0;
  // "title|body" of every modal window answered so far.
  virtual std::vector<std::string> Told() = 0;
  // A value in the store, or "none".
  virtual std::string Saved(const char* name) = 0;
  // The window closed unsaved, these values put in the store, and a new
  // window started as Start does.
  virtual void Restart(const std::vector<std::pair<const char*, const char*>>& saved) = 0;
  // The next printer chooser: the printer in row picked with the arrow keys
  // and taken with Enter; the name of the printer printing then goes to.
  virtual std::string ChooseNext(int row) = 0;
  // "jobs printer": the pages started so far, and the current printer.
  virtual std::string Printed() = 0;
  // The full path of a file named name in the folder "Save as CSV" writes to.
  virtual std::string Exported(const std::string& name) = 0;
  // The window picture that Ctrl+P prints, and the control's colour at its
  // centre in that picture.
  virtual platform::Image Picture() = 0;
  // The arrangement of the window the view shows.
  virtual const app::WindowLayout& Layout() const { return app::MainWindowLayout(); }
  // The view's program saves as each fit starts and ends, not only as it closes (a browser's page).
  virtual bool SavesOnFit() const { return false; }
};

// A control's place in the window, in pixels: left, top, width, height
// (each place within its parent rounded to pixels, as the views place it).
inline std::array<int, 4> PlaceOf(Id control, const app::WindowLayout& main = app::MainWindowLayout()) {
  const app::ControlLayout& c = main.Control(control);
  int left = 0, top = 0;
  for (const app::ControlLayout* at = &c; at; at = main.Find(at->parent))
    left += platform::TwipsToPixels(at->left), top += platform::TwipsToPixels(at->top);
  return {left, top, platform::TwipsToPixels(c.width), platform::TwipsToPixels(c.height)};
}

inline uint32_t PixelAt(const platform::Image& picture, int x, int y) {
  if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return 0xFFFFFFFF;
  return picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(picture.width) + static_cast<size_t>(x)] & 0xFFFFFF;
}

// The colour in a picture of the window 4 pixels in from a control's left
// edge, half way down (clear of its border and of a centred text), 0xRRGGBB.
inline uint32_t ColourAt(const platform::Image& picture, Id control,
                         const app::WindowLayout& layout = app::MainWindowLayout()) {
  const auto [left, top, width, height] = PlaceOf(control, layout);
  return PixelAt(picture, left + 4, top + height / 2);
}

// The pixels of a control's place in a picture of the window.
inline std::vector<uint32_t> PixelsOf(const platform::Image& picture, Id control,
                                      const app::WindowLayout& layout = app::MainWindowLayout()) {
  const auto [left, top, width, height] = PlaceOf(control, layout);
  std::vector<uint32_t> pixels;
  for (int y = top; y < top + height; ++y)
    for (int x = left; x < left + width; ++x) pixels.push_back(PixelAt(picture, x, y));
  return pixels;
}

// Pictures of the window kept to compare the views: NAME-STEP.picture in the
// folder of the pictures, "WIDTH HEIGHT\n" and then the pixels as they are in memory.
inline void WritePicture(const platform::Image& p, const std::string& path) {
  std::ofstream(path, std::ios::binary) << p.width << ' ' << p.height << '\n'
                                        << std::string(reinterpret_cast<const char*>(p.pixels.data()), p.pixels.size() * 4);
}

inline std::optional<platform::Image> ReadPicture(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  platform::Image p;
  if (!(in >> p.width >> p.height) || in.get() != '\n' || p.width <= 0 || p.height <= 0 || p.width > 4096 || p.height > 4096) return {};
  p.pixels.resize(static_cast<size_t>(p.width) * static_cast<size_t>(p.height));
  if (!in.read(reinterpret_cast<char*>(p.pixels.data()), static_cast<std::streamsize>(p.pixels.size() * 4))) return {};
  return p;
}

// Where two views' pictures of the window may differ: the system draws its
// own fields, tick boxes, buttons and lists, and rasterises text its own way
// (the captions, and the graph's texts around its plotting box). The rest
// (the window, its panels and outline, the plotting box, the close box) is
// the program's own drawing and matches pixel for pixel.
inline bool MayDiffer(int x, int y) {
  auto in = [x, y](Id id) {
    const auto [left, top, width, height] = PlaceOf(id);
    return x >= left && x < left + width && y >= top && y < top + height;
  };
  using enum app::ControlKind;
  for (const app::ControlLayout& c : app::MainWindowLayout().controls)
    if ((c.kind == TextBox || c.kind == CheckBox || c.kind == Button || c.kind == ListBox || c.kind == Label) && in(c.id))
      return true;
  return in(Id::P0) && !in(Id::P5);
}

// The first few pixels of picture that differ from other's where they may
// not, as "x,y: RRGGBB against RRGGBB".
inline std::vector<std::string> Differences(const platform::Image& picture, const platform::Image& other) {
  std::vector<std::string> found;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width && found.size() < 8; ++x)
      if (const uint32_t a = PixelAt(picture, x, y), b = PixelAt(other, x, y); a != b && !MayDiffer(x, y)) {
        char line[64];
        std::snprintf(line, sizeof line, "%d,%d: %06X against %06X", x, y, a, b);
        found.push_back(line);
      }
  return found;
}

// A control's name and the last sentence of its description.
inline Said LastSentence(const Said& heard) {
  const size_t at = heard.second.rfind(". ", heard.second.size() - 2);
  return {heard.first, at == std::string::npos ? heard.second : heard.second.substr(at + 2)};
}

template <class D>
class Conformance : public ::testing::Test {
 protected:
  void SetUp() override { d.Start(); }
  D d;
};

TYPED_TEST_SUITE_P(Conformance);

TYPED_TEST_P(Conformance, StartsWithTheDefaults) {
  Driver& d = this->d;
  EXPECT_EQ(d.Text(Id::AppTitle1), "Vantorel V1.0.0");
  EXPECT_EQ(d.Text(Id::Copyright), "Vantorel V1.0.0  \u00a9 2026 Morvale");
  EXPECT_EQ(d.Text(Id::RTxt5) + d.Text(Id::CTxt0) + d.Text(Id::ErrorInd0), "5552(52)");
  EXPECT_EQ(d.Focus(), Id::cbButton0);
  EXPECT_EQ(std::tuple(d.Enabled(Id::cbButton5), d.Enabled(Id::cbButton2), d.Enabled(Id::cbButton3)), std::tuple(true, true, false));
  EXPECT_FALSE(d.Visible(Id::Frame3));
  EXPECT_EQ(d.Tick(Id::Ticked4), 1);
  EXPECT_FALSE(d.ToolTip(Id::ClickList).empty());
  EXPECT_TRUE(d.Told().empty());
}

TYPED_TEST_P(Conformance, ARangeIsTidiedOnEnterAndWhenLeft) {
  Driver& d = this->d;
  d.Click(Id::RTxt0);
  d.Press(Key::A, app::kCtrl);  // Ctrl+A selects the field's text; typing replaces it
  EXPECT_EQ(d.Selected(Id::RTxt0), "10");
  d.Type("12.6abc");
  d.Press(Key::Tab);
  EXPECT_EQ(std::tuple(d.Text(Id::RTxt0), d.Focus(), d.Text(Id::ErrorInd0)), std::tuple("13", Id::CTxt0, "(?)"));
  EXPECT_EQ(LastSentence(d.Heard(Id::CTxt0)), Said("Clicks 1", "Model clicks here: not yet calculated."));
  d.Click(Id::RTxt1);
  d.Press(Key::A, app::kCtrl);
  d.Type("-45");
  d.Press(Key::Enter);  // tidied; the focus stays
  EXPECT_EQ(std::tuple(d.Text(Id::RTxt1), d.Focus()), std::tuple("45", Id::RTxt1));
  EXPECT_TRUE(d.Told().empty());
}

TYPED_TEST_P(Conformance, ARefusalIsSaidInTheErrorWindowAndChangesNothing) {
  Driver& d = this->d;
  d.Click(Id::RTxt3);
  d.Press(Key::A, app::kCtrl);
  d.Type("201");
  d.Click(Id::cbButton1);
  d.Settle();
  EXPECT_EQ(d.Told(), std::vector<std::string>{"Range Error|Ranges must be greater than zero but no greater than 100 Yards."});
  EXPECT_EQ(d.Text(Id::RTxt3), "201");  // left for the user to put right
  EXPECT_EQ(std::tuple(d.Phase(), d.Enabled(Id::cbButton1), d.Ended()), std::tuple(app::Phase::Idle, true, false));
}

TYPED_TEST_P(Conformance, CalculateFitsAndGivesTheFocusBack) {
  Driver& d = this->d;
  d.Click(Id::CTxt2);
  d.Click(Id::cbButton1);
  d.Turn();
  // The fit runs in slices between turns of the event loop: the window is fitting meanwhile.
  if (d.Phase() == app::Phase::Fitting) {
    EXPECT_FALSE(d.Enabled(Id::cbButton0) || d.Enabled(Id::RTxt0));
  }
  d.Settle();
  EXPECT_EQ(std::pair(d.Text(Id::ErrorInd5), d.Announced()),
            std::pair(std::string("(43)"), std::string("Complete: fit error 5.83; model clicks at 10, 20, 30, 40, 50 and "
                                                         "55 yards: 52, 0, -1, 12, 32 and 43.")));
  EXPECT_EQ(LastSentence(d.Heard(Id::RTxt5)), Said("Range 6", "Model clicks here: 43."));
  EXPECT_EQ(std::pair(d.Heard(Id::ClickList).first, d.Heard(Id::P0).first), Said("Range and click list", "Graph"));
  EXPECT_EQ(d.Heard(Id::P0).second, "Graph showing Clicks v. Range (Yard): the model's clicks, 52 at 10, -1 at 21, 1 at 32, "
                                    "18 at 43, 41 at 54; measured points, 52 at 10, 0 at 20, 0 at 30, 12 at 40, 28 at 50, 44 at 55.");
  EXPECT_EQ(d.Saved("R(0)"), d.SavesOnFit() ? "10" : "none");  // nothing saved before the window closes, or the fit's data
  EXPECT_EQ(std::pair(d.Enabled(Id::cbButton1), d.Visible(Id::Frame3)), std::pair(true, false));
  EXPECT_EQ(d.Focus(), Id::cbButton1);  // the pressed button keeps the focus
  d.Press(Key::Escape);
  d.Settle();
  EXPECT_TRUE(d.Ended());
  EXPECT_EQ(d.Saved("R(0)"), "10");
}

TYPED_TEST_P(Conformance, EscDuringTheFitEndsTheProgramWhateverHasTheFocus) {
  Driver& d = this->d;
  d.Click(Id::cbButton1);  // the pressed button is disabled by the fit: the focus goes to the window
  d.Press(Key::Escape);
  d.Settle();
  EXPECT_TRUE(d.Ended());
  EXPECT_EQ(d.Saved("R(0)"), "10");
}

TYPED_TEST_P(Conformance, ShiftWithARightClickOnTheCopyrightForgetsEverything) {
  Driver& d = this->d;
  d.RightClick(Id::Copyright, 0);  // not without Shift
  d.RightClick(Id::AppTitle1, app::kShift);  // nor elsewhere
  EXPECT_FALSE(d.Ended());
  d.RightClick(Id::Copyright, app::kShift);
  d.Settle();
  EXPECT_TRUE(d.Ended());
  EXPECT_EQ(d.Saved("R(0)"), "none");
}

TYPED_TEST_P(Conformance, TabWalksTheUsableControlsBothWays) {
  Driver& d = this->d;
  std::vector<Id> walk;
  for (int k = 0; k < 30; ++k) {
    d.Press(Key::Tab);
    walk.push_back(d.Focus().value_or(Id::frmMain));
  }
  const std::vector<Id> start{Id::cbButton5, Id::cbButton1, Id::cbButton4, Id::RTxt0, Id::CTxt0, Id::RTxt1};
  EXPECT_EQ(std::vector<Id>(walk.begin(), walk.begin() + 6), start);
  // Exit and 4 more buttons (not the unit in use), 12 fields, 6 ticks, the list: 24 stops, then round again.
  EXPECT_EQ(std::tuple(walk[23], walk[22], walk[21], walk[14], walk[15]), std::tuple(Id::cbButton0, Id::cbButton2, Id::ClickList, Id::CTxt5, Id::Ticked5));
  d.Press(Key::Tab, app::kShift);
  EXPECT_EQ(d.Focus(), walk[28]);
  d.Press(Key::Tab, app::kShift);
  EXPECT_EQ(d.Focus(), walk[27]);
}

TYPED_TEST_P(Conformance, SpaceMovesATickOnAndTheRowFollows) {
  Driver& d = this->d;
  const std::vector<uint32_t> unfocused = PixelsOf(d.Picture(), Id::Ticked2, d.Layout());
  d.Click(Id::Ticked2);
  d.Click(Id::Ticked2);  // ticked again, and focused: the focus shows
  EXPECT_NE(PixelsOf(d.Picture(), Id::Ticked2, d.Layout()), unfocused);
  d.Click(Id::Ticked2);
  EXPECT_EQ(std::tuple(d.Tick(Id::Ticked2), d.Enabled(Id::RTxt2), d.Focus()), std::tuple(0, false, Id::Ticked2));
  d.Press(Key::Space);
  EXPECT_EQ(std::pair(d.Tick(Id::Ticked2), d.Enabled(Id::RTxt2)), std::pair(1, true));
}

TYPED_TEST_P(Conformance, TheCloseBoxLightsUnderTheMouseAndRestsOffIt) {
  Driver& d = this->d;
  d.Hover(Id::btnControl);
  EXPECT_EQ(ColourAt(d.Picture(), Id::btnControl, d.Layout()), 0xFF0000u);  // kCloseBoxHover, &H000000FF
  d.Hover(Id::AppTitle1);
  EXPECT_EQ(ColourAt(d.Picture(), Id::btnControl, d.Layout()), 0x800000u);  // kCloseBoxRest, &H00000080
}

// The window picture as the window shows it. Each view's pictures after the
// start and after a fit are kept in the folder of the pictures (the build's,
// or VANTOREL_PICTURES; none when that is empty) and compared with another
// view's, where the build says they lie (the Win32 view's with the Qt view's,
// which make test runs first).
#ifndef VANTOREL_PICTURES
#define VANTOREL_PICTURES ""
#endif
#ifndef VANTOREL_COMPARE_WITH
#define VANTOREL_COMPARE_WITH ""
#endif
TYPED_TEST_P(Conformance, TheWindowPictureShowsTheWindowAsTheOtherViewsDo) {
  Driver& d = this->d;
  platform::Image picture = d.Picture();
  const app::WindowLayout& l = d.Layout();
  const int width = platform::TwipsToPixels(l.width), height = platform::TwipsToPixels(l.height);
  ASSERT_EQ(std::tuple(picture.height, picture.width >= width, picture.pixelRatio), std::tuple(height, true, 1.0));
  // Not one flat colour: the fields, the window's teal, the buttons, the outline just inside its edge.
  constexpr uint32_t kTeal = 0x004040;
  EXPECT_EQ(std::pair(ColourAt(picture, Id::RTxt0, l), ColourAt(picture, Id::Mode0, l)), std::pair(0xFFFFFFu, kTeal));
  EXPECT_NE(ColourAt(picture, Id::cbButton0, l), kTeal);
  // The 2-pixel outline on all four edges in the complement of the teal, teal inside it.
  for (auto [x, y, dx, dy] : {std::array{0, 200, 1, 0}, {300, 0, 0, 1}, {width - 1, 200, -1, 0}, {300, height - 1, 0, -1}})
    EXPECT_EQ(std::tuple(PixelAt(picture, x, y), PixelAt(picture, x + dx, y + dy), PixelAt(picture, x + 2 * dx, y + 2 * dy)), std::tuple(0xFFBFBFu, 0xFFBFBFu, kTeal)) << x << "," << y;
  if (&l != &app::MainWindowLayout()) return;  // the rest is the desktop arrangement's
  EXPECT_EQ(ColourAt(picture, Id::Copyright), 0xFFFFFFu);  // captions are transparent: the graph panel shows through
  // The clicks axis's title reads upwards along the graph panel's left edge, ending at 2100 twips.
  const auto [p0x, p0y, p0w, p0h] = PlaceOf(Id::P0);
  int inkTop = p0h, inkBottom = -1, inkLeft = 15, inkRight = -1;
  for (int y = 0; y < p0h; ++y)
    for (int x = 0; x < 15; ++x)
      if (PixelAt(picture, p0x + x, p0y + y) != 0xFFFFFF)
        inkTop = std::min(inkTop, y), inkBottom = std::max(inkBottom, y), inkLeft = std::min(inkLeft, x), inkRight = std::max(inkRight, x);
  EXPECT_TRUE(inkBottom - inkTop > 4 * (inkRight - inkLeft) && inkBottom <= 141 && inkBottom >= 137) << inkTop << "-" << inkBottom;

  const char* given = std::getenv("VANTOREL_PICTURES");
  const std::string folder = given ? given : VANTOREL_PICTURES, other = VANTOREL_COMPARE_WITH;
  if (folder.empty()) return;
  const std::string view = ::testing::UnitTest::GetInstance()->current_test_suite()->name();
  for (const std::string step : {"start", "fitted"}) {
    if (step == "fitted") d.Click(Id::cbButton1), d.Settle(), picture = d.Picture();
    WritePicture(picture, folder + "/" + view.substr(0, view.find('/')) + "-" + step + ".picture");
    if (other.empty()) continue;
    const std::optional<platform::Image> theirs = ReadPicture(other + "-" + step + ".picture");
    ASSERT_TRUE(theirs) << "no picture at " << other << "-" << step << ".picture (that view's conformance test writes it)";
    ASSERT_EQ(std::pair(picture.width, picture.height), std::pair(theirs->width, theirs->height));
    EXPECT_EQ(Differences(picture, *theirs), std::vector<std::string>{}) << step;
  }
}

TYPED_TEST_P(Conformance, TheUnitsSwitchAndTheFocusGoesToTheOtherUnit) {
  Driver& d = this->d;
  d.Click(Id::cbButton4);  // Metric
  d.Settle();
  EXPECT_EQ(d.Text(Id::RTxt2), "30");  // the numbers stay; the model is fitted again
  EXPECT_EQ(d.Text(Id::ClickList).substr(0, 16), "  R C  \n  m Clk\n");
  EXPECT_EQ(std::pair(d.Enabled(Id::cbButton4), d.Enabled(Id::cbButton3)), std::pair(false, true));
  EXPECT_EQ(d.Focus(), Id::cbButton3);
  d.Press(Key::Space);
  d.Settle();
  EXPECT_EQ(std::tuple(d.Text(Id::ClickList).substr(0, 16), d.Text(Id::ErrorInd5), d.Focus()), std::tuple("  R C  \n Yd Clk\n", "(43)", Id::cbButton4));
}

TYPED_TEST_P(Conformance, PrintListAsksForThePrinterOnceAndCtrlPPrintsTheWindowThere) {
  Driver& d = this->d;
  const std::string printer = d.ChooseNext(1);
  d.Click(Id::cbButton5);
  d.Settle();
  EXPECT_EQ(d.Printed(), "1 " + printer);
  d.Click(Id::RTxt0);
  d.Press(Key::P, app::kCtrl | app::kShift);  // not asked again
  d.Settle();
  EXPECT_EQ(d.Printed(), "2 " + printer);
  EXPECT_EQ(d.Text(Id::RTxt0), "10");
  EXPECT_TRUE(d.Told().empty());
}

TYPED_TEST_P(Conformance, SaveAsCsvSaysWhereItSaved) {
  Driver& d = this->d;
  d.Click(Id::cbButton2);
  d.Settle();
  EXPECT_EQ(d.Told(), std::vector<std::string>{"File Saved|File saved as\n" + d.Exported("VTL_0001.CSV")});
  EXPECT_EQ(d.Focus(), Id::cbButton2);
}

TYPED_TEST_P(Conformance, ASavedValueThatCannotBeUsedIsSaidOnceAndTheRestKept) {
  Driver& d = this->d;
  d.Restart({{"oBC", "0"}, {"R(0)", "12"}, {"Tick(1)", "x"}});
  EXPECT_EQ(d.Told(), std::vector<std::string>{"Saved Settings|The saved tick of data point 2 \"x\" cannot be used; the "
                                               "default 1 was used.\n\nThe saved ballistic coefficient \"0\" cannot be "
                                               "used; the default 0.033 was used."});
  EXPECT_EQ(d.Text(Id::RTxt0), "12");
  EXPECT_EQ(d.Tick(Id::Ticked1), 1);
}

REGISTER_TYPED_TEST_SUITE_P(Conformance, StartsWithTheDefaults, ARangeIsTidiedOnEnterAndWhenLeft,
                            ARefusalIsSaidInTheErrorWindowAndChangesNothing, CalculateFitsAndGivesTheFocusBack,
                            EscDuringTheFitEndsTheProgramWhateverHasTheFocus,
                            ShiftWithARightClickOnTheCopyrightForgetsEverything, TabWalksTheUsableControlsBothWays,
                            SpaceMovesATickOnAndTheRowFollows, TheCloseBoxLightsUnderTheMouseAndRestsOffIt,
                            TheWindowPictureShowsTheWindowAsTheOtherViewsDo, TheUnitsSwitchAndTheFocusGoesToTheOtherUnit,
                            PrintListAsksForThePrinterOnceAndCtrlPPrintsTheWindowThere, SaveAsCsvSaysWhereItSaved,
                            ASavedValueThatCannotBeUsedIsSaidOnceAndTheRestKept);

}  // namespace vantorel::conformance
