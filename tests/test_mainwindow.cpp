// The main window on Qt's offscreen platform: layout, captions, the start-up
// estimate, the status blink, closing with its save, the reset gesture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "entry/commands.h"
#include "entry/rows.h"
#include "output/clicklistbox.h"
#include "platform/modal.h"
#include "platform/store.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "shell/mainwindow.h"
#include "shell/settings.h"
#include "tests/window_fixture.h"

using namespace vantorel;

namespace {

QRect TwipsRect(double l, double t, double w, double h) {
  return {platform::TwipsToPixels(l), platform::TwipsToPixels(t), platform::TwipsToPixels(w), platform::TwipsToPixels(h)};
}

}  // namespace

TEST_F(WindowTest, EveryControlStandsAtItsPlaceWithItsTexts) {
  Start();
  EXPECT_EQ(w->size(), QSize(574, 439));
  EXPECT_EQ(w->windowTitle(), "Vantorel V1.0.0");
  EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
  for (QLabel* t : w->AppTitle) {
    EXPECT_EQ(t->text(), "Vantorel V1.0.0");
    EXPECT_EQ(t->toolTip(), "Click here and drag to move the application");
  }
  EXPECT_EQ(w->AppTitle[0]->geometry(), TwipsRect(135, 75, 10110, 495));
  EXPECT_EQ(w->AppTitle[1]->geometry(), TwipsRect(105, 45, 10110, 495));
  EXPECT_EQ(w->Copyright->geometry(), TwipsRect(2835, 645, 3870, 165));
  EXPECT_EQ(w->Copyright->toolTip(), "Copyright Notice ");
  EXPECT_EQ(w->Copyright->text(), QString::fromUtf8("\xC2\xA9 2026 Morvale Services"));
  EXPECT_EQ(w->btnControl->geometry(), TwipsRect(8175, 90, 315, 315));
  EXPECT_EQ(w->btnControl->toolTip(), "Exit ");
  EXPECT_EQ(w->P0->geometry(), TwipsRect(60, 480, 6750, 3540));
  EXPECT_EQ(w->P5->geometry(), TwipsRect(690, 450, 5460, 2595));
  EXPECT_EQ(w->ClickList->geometry(), TwipsRect(6885, 480, 1635, 6000));
  EXPECT_EQ(w->Rows->geometry(), TwipsRect(60, 4020, 6765, 1665));
  EXPECT_EQ(w->Commands->geometry(), TwipsRect(60, 5715, 6765, 810));
  EXPECT_EQ(w->Frame3->geometry(), TwipsRect(9720, 4500, 3165, 1755));
  EXPECT_FALSE(w->Frame3->isVisible());
  EXPECT_EQ(w->Working->geometry(), TwipsRect(120, 630, 2970, 465));
  EXPECT_EQ(w->Working->toolTip(), "Current Status ");
  EXPECT_EQ(w->Timer1->interval(), 250);
  EXPECT_FALSE(w->Timer1->isActive());

  for (int i = 0; i < kRows; ++i) {
    SCOPED_TRACE(i);
    const auto k = static_cast<size_t>(i);
    const QString n = QString::number(i + 1);
    EXPECT_EQ(w->Rows->RFrm[k]->geometry(), TwipsRect(1131.0 * i, 0, 1110, 1620));
    EXPECT_EQ(w->Rows->Range[k]->geometry(), TwipsRect(120, 180, 525, 255));
    EXPECT_EQ(w->Rows->Range[k]->text(), "Range");
    EXPECT_EQ(w->Rows->RTxt[k]->geometry(), TwipsRect(120, 405, 525, 315));
    EXPECT_EQ(w->Rows->RTxt[k]->toolTip(), "Range #" + n);
    EXPECT_EQ(w->Rows->Clicks[k]->geometry(), TwipsRect(120, 885, 525, 255));
    EXPECT_EQ(w->Rows->CTxt[k]->geometry(), TwipsRect(120, i == 2 ? 1140 : 1125, 525, 315));
    EXPECT_EQ(w->Rows->CTxt[k]->toolTip(), "Clicks @ Range #" + n);
    EXPECT_EQ(w->Rows->Ticked[k]->geometry(), TwipsRect(840, 165, 210, 255));
    EXPECT_EQ(w->Rows->Ticked[k]->toolTip(), "Include Range #" + n + " if ticked ");
    EXPECT_EQ(w->Rows->ErrorInd[k]->geometry(), TwipsRect(675, 1200, 420, 240));
    EXPECT_EQ(w->Rows->ErrorInd[k]->toolTip(), "Calculated Clicks Error for Range #" + n);
    // Every control is found by its documented name.
    EXPECT_EQ(w->findChild<QLineEdit*>("RTxt(" + QString::number(i) + ")"), w->Rows->RTxt[k]);
    EXPECT_EQ(w->findChild<QLabel*>("ErrorInd(" + QString::number(i) + ")"), w->Rows->ErrorInd[k]);
  }

  struct Button { int index; const char* caption; const char* tip; QRect where; };
  const Button buttons[] = {
      {3, "Imperial", "Use Imperial Units (Yards, Inches) ", TwipsRect(105, 30, 840, 330)},
      {4, "Metric", "Use Metric Units (Metre, Centimetre)", TwipsRect(105, 390, 840, 330)},
      {1, "Calculate", "Calculate", TwipsRect(1395, 30, 1005, 555)},
      {5, "Print List", "Print Range/Click List ", TwipsRect(2850, 30, 1005, 555)},
      {2, "Save as CSV", "Save Range/Click List as CSV file", TwipsRect(4305, 30, 1005, 555)},
      {0, "Exit", "Exit ", TwipsRect(5760, 30, 1005, 555)},
  };
  for (const Button& b : buttons) {
    QPushButton* pb = w->findChild<QPushButton*>("cbButton(" + QString::number(b.index) + ")");
    ASSERT_NE(pb, nullptr);
    EXPECT_EQ(pb->text(), b.caption);
    EXPECT_EQ(pb->toolTip(), b.tip);
    EXPECT_EQ(pb->geometry(), b.where);
  }
}

TEST_F(WindowTest, FontsTabOrderAndFirstFocus) {
  Start();
  EXPECT_TRUE(QFontInfo(w->ClickList->font()).fixedPitch());
  EXPECT_TRUE(w->ClickList->font().bold());
  EXPECT_NEAR(w->ClickList->font().pointSizeF(), 8.25, 0.01);
  EXPECT_NEAR(w->AppTitle[0]->font().pointSizeF(), 14.25, 0.01);
  EXPECT_NEAR(w->Copyright->font().pointSizeF(), 6.75, 0.01);
  EXPECT_NEAR(w->Working->font().pointSizeF(), 18, 0.01);

  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  EXPECT_EQ(QApplication::focusWidget(), w->Commands->cbButton[kExit]);
  std::vector<QWidget*> expected = {w->Commands->cbButton[kExit], w->Commands->cbButton[kPrintList],
                                    w->Commands->cbButton[kCalculate], w->Commands->cbButton[kMetric],
                                    w->Commands->cbButton[kImperial]};
  for (size_t k = 0; k < kRows; ++k) {
    expected.push_back(w->Rows->RTxt[k]);
    expected.push_back(w->Rows->CTxt[k]);
  }
  for (size_t k = kRows; k-- > 0;) expected.push_back(w->Rows->Ticked[k]);
  expected.push_back(w->ClickList);
  expected.push_back(w->Commands->cbButton[kSaveCsv]);
  QWidget* at = expected.front();
  for (size_t k = 1; k < expected.size(); ++k) {
    do at = at->nextInFocusChain();
    while (!(at->focusPolicy() & Qt::TabFocus) || !at->isVisible());
    EXPECT_EQ(at, expected[k]) << k << " got " << at->objectName().toStdString() << " (" << at->metaObject()->className() << ") want " << expected[k]->objectName().toStdString();
  }
}

TEST_F(WindowTest, FirstStartShowsTheDefaultsAndTheirEstimate) {
  Start();
  const char* ranges[] = {"10", "20", "30", "40", "50", "55"};
  const char* clicks[] = {"52", "0", "0", "12", "28", "44"};
  const char* labels[] = {"(52)", "(1)", "(0)", "(13)", "(32)", "(43)"};
  for (size_t k = 0; k < kRows; ++k) {
    EXPECT_EQ(w->Rows->RTxt[k]->text(), ranges[k]);
    EXPECT_EQ(w->Rows->CTxt[k]->text(), clicks[k]);
    EXPECT_EQ(w->Rows->Ticked[k]->checkState(), Qt::Checked);
    EXPECT_EQ(w->Rows->ErrorInd[k]->text(), labels[k]);
  }
  EXPECT_TRUE(w->ClickList->toPlainText().startsWith("  R C  \n Yd Clk\n\n 10:52  (52)\n 11:41 \n"));
  EXPECT_EQ(w->ClickList->toolTip(), "Range/Click List (1 - 100 Yard)");
  EXPECT_FALSE(w->Commands->cbButton[kImperial]->isEnabled());
  EXPECT_TRUE(w->Commands->cbButton[kMetric]->isEnabled());
  EXPECT_EQ(w->Graph().GraphXMax, 65);
  EXPECT_EQ(w->Graph().GraphYMax, 70);
  EXPECT_EQ(w->Graph().GraphYMin, -20);
  EXPECT_EQ(platform::UnansweredModals(), 0);
}

TEST_F(WindowTest, OutlineAndGraphArePaintedAndKept) {
  Start();
  const QImage shot = w->grab().toImage();
  // The 2-pixel outline 15 twips inside the edge, in the complement of the teal.
  const QColor outline(0xFF, 0xBF, 0xBF);
  EXPECT_EQ(shot.pixelColor(1, 200), outline);
  EXPECT_EQ(shot.pixelColor(300, 1), outline);
  EXPECT_EQ(shot.pixelColor(572, 200), outline);
  EXPECT_EQ(shot.pixelColor(300, 437), outline);
  EXPECT_EQ(shot.pixelColor(3, 200), QColor(0, 0x40, 0x40));  // the window's teal just inside
  // The red zero-click line across the plotting box.
  const GraphScale& g = w->Graph();
  const int zeroY = static_cast<int>(platform::TwipsToPixelsF(w->P5->ScaleHeight() - (0 - g.GraphYMin) * g.GraphYScale));
  const QImage p5 = w->P5->grab().toImage();
  int red = 0;
  for (int dy = -1; dy <= 1; ++dy)
    if (p5.pixelColor(100, 1 + zeroY + dy) == QColor(255, 0, 0)) ++red;
  EXPECT_GE(red, 1);
  // Covered and shown again: the drawing is still there.
  w->hide();
  w->show();
  EXPECT_EQ(w->grab().toImage().pixelColor(1, 200), outline);
}

TEST_F(WindowTest, WorkingLabelBlinksOnTheTimer) {
  Start();
  w->Working->setVisible(true);
  w->Timer1_Timer();
  EXPECT_TRUE(w->Working->isHidden());
  w->Timer1_Timer();
  EXPECT_FALSE(w->Working->isHidden());
}

TEST_F(WindowTest, CloseBoxHoverColours) {
  Start();
  EXPECT_EQ(w->btnControl->BackColor(), frmMain::kCloseBoxRest);
  QTest::mouseMove(w->btnControl, QPoint(5, 5));
  EXPECT_EQ(w->btnControl->BackColor(), frmMain::kCloseBoxHover);
  QTest::mouseMove(w->AppTitle[0], QPoint(50, 10));
  EXPECT_EQ(w->btnControl->BackColor(), frmMain::kCloseBoxRest);
  w->btnControl_MouseMove();
  QTest::mouseRelease(w->Surface, Qt::LeftButton, {}, QPoint(300, 30));
  EXPECT_EQ(w->btnControl->BackColor(), frmMain::kCloseBoxRest);
}

TEST_F(WindowTest, ClosingSavesAndASecondStartRestores) {
  Start();
  w->Rows->Ticked[4]->setCheckState(Qt::Unchecked);
  w->state().DataRange[0] = 12;
  w->state().SetParams({800, 0.031, 2.25, 28, 7.5});
  w->state().MetricUnits = true;
  QTest::keyClick(w->Rows->RTxt[0], Qt::Key_Escape);  // Esc in a range field closes
  EXPECT_TRUE(w->Ended());
  EXPECT_EQ(w->ExitStatus(), 0);
  EXPECT_FALSE(w->isVisible());

  Restart();
  EXPECT_EQ(w->Rows->RTxt[0]->text(), "12");
  EXPECT_EQ(w->Rows->Ticked[4]->checkState(), Qt::Unchecked);
  EXPECT_FALSE(w->Rows->RTxt[4]->isEnabled());
  EXPECT_FALSE(w->Rows->ErrorInd[4]->isVisible());
  EXPECT_EQ(w->state().Params().bc, 0.031);
  EXPECT_EQ(w->state().ModelBC.text(), "0.031");
  EXPECT_TRUE(w->state().MetricUnits);
  EXPECT_TRUE(w->Commands->cbButton[kImperial]->isEnabled());
  EXPECT_FALSE(w->Commands->cbButton[kMetric]->isEnabled());
  EXPECT_TRUE(w->ClickList->toPlainText().startsWith("  R C  \n  m Clk\n"));
}

TEST_F(WindowTest, CloseBoxAndExitButtonEndTheProgram) {
  Start();
  QTest::mouseClick(w->btnControl, Qt::LeftButton);
  EXPECT_TRUE(w->Ended());
  Restart();
  QTest::mouseClick(w->Commands->cbButton[kExit], Qt::LeftButton);
  EXPECT_TRUE(w->Ended());
  Restart();
  w->close();  // the window system's close
  EXPECT_TRUE(w->Ended());
}

TEST_F(WindowTest, ResetGestureDeletesTheSettingsWithoutSaving) {
  Start();
  w->state().DataRange[0] = 12;
  QTest::mouseClick(w->Copyright, Qt::RightButton, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::mouseClick(w->Copyright, Qt::RightButton);
  QTest::mouseClick(w->Copyright, Qt::LeftButton, Qt::ShiftModifier);
  EXPECT_FALSE(w->Ended());
  w->close();  // saves 12
  Restart();
  ASSERT_EQ(w->Rows->RTxt[0]->text(), "12");
  QTest::mouseClick(w->Copyright, Qt::RightButton, Qt::ShiftModifier);
  EXPECT_TRUE(w->Ended());
  EXPECT_EQ(w->ExitStatus(), 0);
  EXPECT_EQ(GetRegSetting(w->state().SettingsPath, "R(0)", "none"), "none");
  Restart();
  EXPECT_EQ(w->Rows->RTxt[0]->text(), "10");
}

TEST_F(WindowTest, AStoreThatRefusesTheSaveEndsWithItsMessage) {
  Start();
  QString shown;
  platform::QueueModalAnswer([&](QDialog& d) {
    shown = static_cast<QMessageBox&>(d).text();
    d.accept();
  });
  platform::store::testing::OpenReadOnlyAfterWrites(3);  // R(0), C(0), Tick(0) go through
  w->close();
  platform::store::testing::OpenReadOnlyAfterWrites(-1);
  EXPECT_TRUE(w->Ended());
  EXPECT_EQ(w->ExitStatus(), 1);
  EXPECT_TRUE(shown.startsWith("Run-time error '26001':")) << shown.toStdString();  // the key cannot be opened for writing
  EXPECT_TRUE(shown.contains("Failed to set registry value Key: '-2147483646',Section: "
                             "'Software\\Morvale Services\\Vantorel\\',Key: 'R(1)' to value: '20'"))
      << shown.toStdString();
  EXPECT_TRUE(shown.contains(".cRegistry"));
  platform::store::testing::CloseConnection();
  EXPECT_EQ(GetRegSetting(state.SettingsPath, "Tick(0)", "none"), "1");  // written before the failure
  EXPECT_EQ(GetRegSetting(state.SettingsPath, "R(1)", "none"), "none");
}

TEST_F(WindowTest, AStoreThatRefusesTheResetEndsWithItsMessage) {
  Start();
  w->close();
  Restart();
  QString shown;
  platform::QueueModalAnswer([&](QDialog& d) {
    shown = static_cast<QMessageBox&>(d).text();
    d.accept();
  });
  platform::store::testing::OpenReadOnlyAfterWrites(0);
  QTest::mouseClick(w->Copyright, Qt::RightButton, Qt::ShiftModifier);
  platform::store::testing::OpenReadOnlyAfterWrites(-1);
  EXPECT_EQ(w->ExitStatus(), 1);
  EXPECT_TRUE(shown.startsWith("Run-time error ")) << shown.toStdString();
  platform::store::testing::CloseConnection();
  EXPECT_EQ(GetRegSetting(state.SettingsPath, "R(0)", "none"), "10");  // nothing was deleted
}
