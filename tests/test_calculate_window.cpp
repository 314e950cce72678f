// Data entry and the "Calculate" command in the window, on Qt's offscreen
// platform: normalisation, ticks, refusals, the unit switch, fits, and the
// window's state while the search runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "entry/commands.h"
#include "entry/rows.h"
#include "output/clicklistbox.h"
#include "platform/picturebox.h"
#include "shell/errorwindow.h"
#include "window_fixture.h"

using namespace vantorel;

namespace {

struct Shown {
  std::string title, body;
};

// Answers the next error window by reading it and pressing "Close".
void AnswerError(std::vector<Shown>& log) {
  platform::QueueModalAnswer([&log](QDialog& d) {
    auto* e = qobject_cast<frmError*>(&d);
    ASSERT_NE(e, nullptr);
    log.push_back({e->Title()->text().toStdString(), e->Body()->text().toStdString()});
    ExpectTextsFit(e);
    QTest::mouseClick(e->cbClose(), Qt::LeftButton);
  });
}

// The fitted model, as the search's loops accumulate it (within 1e-12).
void ExpectModel(const State& s, ModelParams want) {
  const ModelParams p = s.Params();
  for (auto [got, expected] : {std::pair{p.mv, want.mv}, {p.bc, want.bc}, {p.sh, want.sh}, {p.zr, want.zr}, {p.cpm, want.cpm}})
    EXPECT_NEAR(got, expected, 1e-12);
}

void Type(QLineEdit* field, const QString& text) {
  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, text);
}

}  // namespace

TEST_F(WindowTest, RangeFieldNormalisesOnEnterAndOnLeaving) {
  Start();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  Type(w->Rows->RTxt[0], "-45");
  QTest::keyClick(w->Rows->RTxt[0], Qt::Key_Return);
  EXPECT_EQ(w->Rows->RTxt[0]->text(), "45");
  for (QLabel* l : w->Rows->ErrorInd) EXPECT_EQ(l->text(), "(?)");

  Type(w->Rows->RTxt[1], "250");
  QTest::keyClick(w->Rows->RTxt[1], Qt::Key_Enter);
  EXPECT_EQ(w->Rows->RTxt[1]->text(), "250");

  Type(w->Rows->RTxt[2], "12.6abc");
  QTest::keyClick(w->Rows->RTxt[2], Qt::Key_Tab);  // leaving the field
  EXPECT_EQ(w->Rows->RTxt[2]->text(), "13");
  Type(w->Rows->RTxt[3], "99999999999999999999");
  QTest::keyClick(w->Rows->RTxt[3], Qt::Key_Return);
  EXPECT_EQ(w->Rows->RTxt[3]->text(), "99999999999999999999");  // too large: left as typed
  w->Rows->RTxt[4]->setText(QString::fromUtf8("\xd9\xa3"));  // a non-ASCII digit, as pasted
  QTest::keyClick(w->Rows->RTxt[4], Qt::Key_Return);
  EXPECT_EQ(w->Rows->RTxt[4]->text(), "0");

  Type(w->Rows->CTxt[0], "7");
  QTest::keyClick(w->Rows->CTxt[0], Qt::Key_Return);  // swallowed, nothing else
  EXPECT_EQ(w->Rows->CTxt[0]->text(), "7");
  EXPECT_EQ(platform::UnansweredModals(), 0);
}

TEST_F(WindowTest, UntickingAndTheThreeTickMinimum) {
  Start();
  w->Rows->Ticked[0]->click();
  EXPECT_FALSE(w->Rows->RTxt[0]->isEnabled());
  EXPECT_FALSE(w->Rows->CTxt[0]->isEnabled());
  EXPECT_FALSE(w->Rows->ErrorInd[0]->isVisible());
  EXPECT_EQ(w->Rows->RTxt[0]->text(), "10");
  w->Rows->Ticked[1]->click();
  w->Rows->Ticked[2]->click();  // three left: allowed
  EXPECT_EQ(w->state().TickedCount(), 3);

  std::vector<Shown> log;
  AnswerError(log);
  w->Rows->Ticked[3]->click();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].title, "More Ranges Needed");
  EXPECT_EQ(log[0].body, "Vantorel needs at least three enabled ranges to generate a list.");
  EXPECT_EQ(w->Rows->Ticked[3]->checkState(), Qt::Checked);
  EXPECT_TRUE(w->Rows->RTxt[3]->isEnabled());
  EXPECT_TRUE(w->Rows->CTxt[3]->isEnabled());
  EXPECT_FALSE(w->Rows->ErrorInd[3]->isHidden());
  EXPECT_EQ(w->state().TickedCount(), 3);

  w->Rows->Ticked[0]->click();  // ticking never complains
  EXPECT_EQ(log.size(), 1u);
  EXPECT_EQ(platform::UnansweredModals(), 0);
}

TEST_F(WindowTest, RefusedDataPointsShowTheirMessageAndChangeNothing) {
  Start();
  const QString listBefore = w->ClickList->toPlainText();
  struct Case {
    int row;
    QString text;
    bool clicks;
    std::string title, body;
  };
  const Case cases[] = {
      {3, "201", false, "Range Error", "Ranges must be greater than zero but no greater than 100 Yards."},
      {3, "0", false, "Range Error", "Ranges must be greater than zero but no greater than 100 Yards."},
      {1, "10", false, "Same Ranges Specified", "Ranges must be be unique:\n(Range #1 = Range #2 ?)"},
      {3, "40000", false, "Range Error", "Ranges must be greater than zero but no greater than 100 Yards."},
      {2, "-40000", true, "Clicks Error", "Clicks must be whole numbers from -32768 to 32767:\n(Clicks @ Range #3 ?)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    Restart();
    QLineEdit* field = c.clicks ? w->Rows->CTxt[static_cast<size_t>(c.row)] : w->Rows->RTxt[static_cast<size_t>(c.row)];
    field->setText(c.text);
    std::vector<Shown> log;
    AnswerError(log);
    QTest::mouseClick(w->Commands->cbButton[kCalculate], Qt::LeftButton);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].title, c.title);
    EXPECT_EQ(log[0].body, c.body);
    EXPECT_EQ(w->ClickList->toPlainText(), listBefore);
    EXPECT_TRUE(w->Commands->cbButton[kCalculate]->isEnabled());
    EXPECT_FALSE(w->Timer1->isActive());
  }
  // Metric units name metres.
  Restart();
  w->state().MetricUnits = true;
  w->Rows->RTxt[0]->setText("");
  std::vector<Shown> log;
  AnswerError(log);
  w->cbButton_Click(kCalculate);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].body, "Ranges must be greater than zero but no greater than 100 Metres.");
}

TEST_F(WindowTest, CalculateReproducesTheDefaultFit) {
  Start();
  QTest::mouseClick(w->Commands->cbButton[kCalculate], Qt::LeftButton);
  ExpectModel(w->state(), {775, 0.034, 2.05, 31, 8});
  const char* labels[] = {"(52)", "(0)", "(-1)", "(12)", "(32)", "(43)"};
  for (size_t k = 0; k < kRows; ++k) EXPECT_EQ(w->Rows->ErrorInd[k]->text(), labels[k]);
  EXPECT_TRUE(w->ClickList->toPlainText().startsWith("  R C  \n Yd Clk\n\n 10:52  (52)\n"));
  EXPECT_FALSE(w->Frame3->isVisible());
  EXPECT_FALSE(w->Timer1->isActive());
  EXPECT_FALSE(w->Busy());
}

TEST_F(WindowTest, UnitSwitchRefitsWithoutConverting) {
  Start();
  QTest::mouseClick(w->Commands->cbButton[kMetric], Qt::LeftButton);
  EXPECT_TRUE(w->state().MetricUnits);
  EXPECT_EQ(w->Rows->RTxt[2]->text(), "30");
  EXPECT_FALSE(w->Commands->cbButton[kMetric]->isEnabled());
  EXPECT_TRUE(w->Commands->cbButton[kImperial]->isEnabled());
  ExpectModel(w->state(), {390, 0.009, 3.25, 30, 9.1});
  EXPECT_TRUE(w->ClickList->toPlainText().startsWith("  R C  \n  m Clk\n"));

  // Edits that no calculation has collected are replaced by the data
  // points when the units switch; collected ones stay.
  w->Rows->CTxt[1]->setText("1");
  w->Rows->CTxt[2]->setText("1");
  QTest::mouseClick(w->Commands->cbButton[kCalculate], Qt::LeftButton);
  w->Rows->CTxt[3]->setText("99");
  QTest::mouseClick(w->Commands->cbButton[kImperial], Qt::LeftButton);
  ExpectModel(w->state(), {820, 0.026, 1.95, 21, 8.1});
  EXPECT_FALSE(w->Commands->cbButton[kImperial]->isEnabled());
  EXPECT_EQ(w->Rows->CTxt[3]->text(), "12");
}

TEST_F(WindowTest, NothingCanBeStartedWhileTheSearchRuns) {
  Start();
  bool checked = false;
  // Runs inside one of the search's event-loop turns.
  QTimer::singleShot(0, w.get(), [&] {
    checked = true;
    EXPECT_TRUE(w->Busy());
    for (QPushButton* b : w->Commands->cbButton) EXPECT_FALSE(b->isEnabled());
    EXPECT_FALSE(w->btnControl->isEnabled());
    for (QFrame* f : w->Rows->RFrm) EXPECT_FALSE(f->isEnabled());
    for (QLabel* l : w->Rows->ErrorInd) EXPECT_EQ(l->text(), "(?)");
    EXPECT_TRUE(w->Frame3->isVisible());
    EXPECT_EQ(w->Frame3->geometry().center(), w->rect().center());
    EXPECT_TRUE(w->Timer1->isActive());
    w->cbButton_Click(kCalculate);  // a second calculation does not start
  });
  w->cbButton_Click(kCalculate);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(w->Ended());
  for (int i : {kExit, kCalculate, kMetric}) EXPECT_TRUE(w->Commands->cbButton[static_cast<size_t>(i)]->isEnabled());
  EXPECT_FALSE(w->Commands->cbButton[kImperial]->isEnabled());
  EXPECT_TRUE(w->btnControl->isEnabled());
  for (QFrame* f : w->Rows->RFrm) EXPECT_TRUE(f->isEnabled());
  ExpectModel(w->state(), {775, 0.034, 2.05, 31, 8});
}

// A saved model parameter the model cannot use is named once after the
// window shows; its default takes its place and the data are kept.
TEST_F(WindowTest, AnUnusableSavedModelIsReportedAndTheDataKept) {
  // Every model problem, with the longest numbers, fits the error window.
  using Settings = std::vector<std::pair<const char*, const char*>>;
  for (const Settings& saved : {Settings{{"oMV", "0"}}, Settings{{"oMV", "800"}, {"oZR", "0"}},
                                Settings{{"oZR", "1.7976931348623157e308"}, {"oBC", "1e-300"}}}) {
    for (auto [name, value] : saved) SaveRegSetting(BuildSettingsPath("Vantorel"), name, value);
    std::vector<Shown> shown;
    AnswerError(shown);
    Restart();
    EXPECT_EQ(shown.size(), saved.size() - (saved.size() == 2)) << saved.back().first;
  }
  SaveRegSetting(BuildSettingsPath("Vantorel"), "oMV", "800");
  SaveRegSetting(BuildSettingsPath("Vantorel"), "oZR", "30");
  SaveRegSetting(BuildSettingsPath("Vantorel"), "oBC", "0");
  SaveRegSetting(BuildSettingsPath("Vantorel"), "R(0)", "12");
  std::vector<Shown> log;
  AnswerError(log);
  Start();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].title, "Saved Settings");
  EXPECT_EQ(log[0].body, "The saved ballistic coefficient \"0\" cannot be used; the default 0.033 was used.");
  EXPECT_EQ(w->Rows->RTxt[0]->text(), "12");
  EXPECT_TRUE(w->ClickList->toPlainText().startsWith("  R C  \n Yd Clk\n\n 12:"));
  ExpectModel(w->state(), {800, 0.033, 2, 30, 8});
}

TEST_F(WindowTest, ClosingOrResettingDuringTheSearchStopsItAndEnds) {
  for (const char* how : {"esc", "close", "reset"}) {
    SCOPED_TRACE(how);
    Restart();
    long turns = 0;
    QTimer tick;  // runs inside the search's event-loop turns
    QObject::connect(&tick, &QTimer::timeout, [&] {
      if (++turns != 3) return;
      if (std::string(how) == "esc") QTest::keyClick(w->Rows->RTxt[0], Qt::Key_Escape);
      if (std::string(how) == "close") w->close();
      if (std::string(how) == "reset") QTest::mouseClick(w->Copyright, Qt::RightButton, Qt::ShiftModifier);
    });
    tick.start(0);
    w->state().SetParams({1, 1, 1, 1, 1});
    w->cbButton_Click(kCalculate);
    tick.stop();
    EXPECT_TRUE(w->Ended());
    EXPECT_FALSE(w->Busy());
    const std::string mv = GetRegSetting(state.SettingsPath, "oMV", "none");
    if (std::string(how) == "reset") {
      EXPECT_EQ(mv, "none");
    } else {  // saved at once: the best model so far, not the finished fit
      EXPECT_NE(mv, "1");
      EXPECT_NE(mv, "775");
    }
  }
}
