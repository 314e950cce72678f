// Data entry and "Calculate" in the window on Qt's offscreen platform: the
// fields, the ticks, a refusal, the fit, the unit switch, and the window
// while the search runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "window_fixture.h"

using namespace vantorel;
using namespace vantorel::qtview;

namespace {

// The fitted model, as the search's loops accumulate it (within 1e-12).
void ExpectModel(const State& s, ModelParams w) {
  for (const ModelParams p = s.Params(); double d : {p.mv - w.mv, p.bc - w.bc, p.sh - w.sh, p.zr - w.zr, p.cpm - w.cpm})
    EXPECT_NEAR(d, 0, 1e-12);
}

}  // namespace

// Tidying a range: the user scenarios.
TEST_F(WindowTest, RangeFieldNormalisesOnEnterAndOnLeaving) {
  Start();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  Type(RangeField(4), QString::fromUtf8("\xd9\xa3"));  // a non-ASCII digit, pasted: not a digit of a range
  EXPECT_EQ(RangeField(4)->text(), "0");
  // A text wider than its field shows its start once the field is left or the program sets it.
  Type(ClicksField(1), "-1234", Qt::Key_Tab);
  for (QLineEdit* f : {ClicksField(1), RangeField(0), RangeField(3), ClicksField(5)}) EXPECT_EQ(f->cursorPosition(), 0) << f->text().toStdString();
}

// The model is fitted again in the other units; edits no calculation has
// collected give way to the data points when the units switch, collected
// ones stay (the buttons and the focus: the user scenarios).
TEST_F(WindowTest, UnitSwitchRefitsWithoutConverting) {
  Start();
  Press(kMetric);
  ExpectModel(w->state(), {390, 0.009, 3.25, 30, 9.1});
  ClicksField(1)->setText("1");
  ClicksField(2)->setText("1");
  Press(kCalculate);
  ClicksField(3)->setText("99");
  Press(kImperial);
  ExpectModel(w->state(), {820, 0.026, 1.95, 21, 8.1});
  EXPECT_EQ(ClicksField(3)->text(), "12");
}

// Every saved value unusable: one window, on the screen, names them all (the
// words, and the data kept: the user scenarios).
TEST_F(WindowTest, EveryUnusableSavedValueIsNamedInOneWindow) {
  QStringList names = {"Metric", "oMV", "oBC", "oSH", "oZR", "oCPM"};
  for (size_t k = 0; k < kRows; ++k) names << At("R", k) << At("C", k) << At("Tick", k);
  for (const QString& name : names) SaveRegSetting(store, BuildSettingsPath("Vantorel"), name.toStdString(), "Shooting_Club_Results_and_Range_Cards");
  told.clear(), Answer(), Start();
  EXPECT_TRUE(told.size() == 1 && told[0].count("cannot be used") == 24) << told.size();
}

// Esc, the window system's close or the reset gesture during the search:
// the search stops and the window ends at once, saving the best model so
// far (the reset saves nothing).
TEST_F(WindowTest, ClosingOrResettingDuringTheSearchStopsItAndEnds) {
  sliceMs = 0;  // a turn after every look at the clock: the search spans many turns on any machine
  for (const std::string how : {"esc", "close", "reset"}) {
    SCOPED_TRACE(how);
    Start();
    long turns = 0;
    QTimer tick;  // runs inside the search's event-loop turns
    QObject::connect(&tick, &QTimer::timeout, [&] {
      if (++turns != 3) return;
      if (how == "esc") QTest::keyClick(RangeField(0), Qt::Key_Escape);
      if (how == "close") w->close();
      if (how == "reset") QTest::mouseClick(Find("Copyright"), Qt::RightButton, Qt::ShiftModifier);
    });
    tick.start(0);
    w->state().SetParams({1, 1, 1, 1, 1});
    Press(kCalculate);
    EXPECT_TRUE(w->Ended());
    const std::string mv = Saved("oMV");  // the best model so far, not the finished fit
    EXPECT_TRUE(how == "reset" ? mv == "none" : mv != "1" && mv != "775" && mv != "none") << mv;
    ResetSettings(store, state.SettingsPath);
  }
}
