// The main window on Qt's offscreen platform: layout, captions, the start-up
// estimate, the status blink, closing with its save, the reset gesture.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolTip>
#include <QSet>
#include <filesystem>

#include "entry/commands.h"
#include "entry/rows.h"
#include "output/clicklistbox.h"
#include "output/graph.h"
#include "platform/fonts.h"
#include "platform/modal.h"
#include "platform/store.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "shell/mainwindow.h"
#include "settings/settings.h"
#include "window_fixture.h"

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
  EXPECT_FALSE(w->Frame3->isVisible());
  EXPECT_EQ(w->Timer1->interval(), 250);
  EXPECT_FALSE(w->Timer1->isActive());

  // Every control by its documented name: place in twips, caption, tooltip.
  struct Control {
    QString name;
    QRect where;
    QString text, tip;
  };
  const QString title = "Vantorel V1.0.0", drag = "Click here and drag to move the application";
  std::vector<Control> controls = {
      {"AppTitle(0)", TwipsRect(135, 75, 10110, 495), title, drag},
      {"AppTitle(1)", TwipsRect(105, 45, 10110, 495), title, drag},
      {"Copyright", TwipsRect(2835, 645, 3870, 165), {}, "Copyright Notice "},
      {"btnControl", TwipsRect(8175, 90, 315, 315), {}, "Exit "},
      {"P0", TwipsRect(60, 480, 6750, 3540), {}, {}},
      {"P5", TwipsRect(690, 450, 5460, 2595), {}, {}},
      {"ClickList", TwipsRect(6885, 480, 1635, 6000), {}, "Range/Click List (1 - 100 Yard)"},
      {"Mode0", TwipsRect(60, 4020, 6765, 1665), {}, {}},
      {"Frame5", TwipsRect(60, 5715, 6765, 810), {}, {}},
      {"Frame3", TwipsRect(9720, 4500, 3165, 1755), {}, {}},
      {"Working", TwipsRect(120, 630, 2970, 465), "Working", "Current Status "},
      {"cbButton(3)", TwipsRect(105, 30, 840, 330), "Imperial", "Use Imperial Units (Yards, Inches) "},
      {"cbButton(4)", TwipsRect(105, 390, 840, 330), "Metric", "Use Metric Units (Metre, Centimetre)"},
      {"cbButton(1)", TwipsRect(1395, 30, 1005, 555), "Calculate", "Calculate"},
      {"cbButton(5)", TwipsRect(2850, 30, 1005, 555), "Print List", "Print Range/Click List "},
      {"cbButton(2)", TwipsRect(4305, 30, 1005, 555), "Save as CSV", "Save Range/Click List as CSV file"},
      {"cbButton(0)", TwipsRect(5760, 30, 1005, 555), "Exit", "Exit "},
  };
  for (int i = 0; i < kRows; ++i) {
    const QString k = "(" + QString::number(i) + ")", n = QString::number(i + 1);
    controls.push_back({"RFrm" + k, TwipsRect(1131.0 * i, 0, 1110, 1620), {}, {}});
    controls.push_back({"Range" + k, TwipsRect(120, 180, 525, 255), "Range", {}});
    controls.push_back({"RTxt" + k, TwipsRect(120, 405, 525, 315), {}, "Range #" + n});
    controls.push_back({"Clicks" + k, TwipsRect(120, 885, 525, 255), "Clicks", {}});
    controls.push_back({"CTxt" + k, TwipsRect(120, i == 2 ? 1140 : 1125, 525, 315), {}, "Clicks @ Range #" + n});
    controls.push_back({"Ticked" + k, TwipsRect(840, 165, 210, 255), {}, "Include Range #" + n + " if ticked "});
    controls.push_back({"ErrorInd" + k, TwipsRect(675, 1200, 420, 240), {}, "Calculated Clicks Error for Range #" + n});
  }
  for (const Control& c : controls) {
    SCOPED_TRACE(c.name.toStdString());
    QWidget* found = w->findChild<QWidget*>(c.name);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->geometry(), c.where);
    EXPECT_EQ(found->toolTip(), c.tip);
    if (c.text.isEmpty()) continue;
    if (auto* label = qobject_cast<QLabel*>(found)) {
      EXPECT_EQ(label->text(), c.text);
    }
    if (auto* button = qobject_cast<QPushButton*>(found)) {
      EXPECT_EQ(button->text(), c.text);
    }
  }
}

TEST_F(WindowTest, FontsTabOrderAndFirstFocus) {
  Start();
  EXPECT_TRUE(QFontInfo(w->ClickList->font()).fixedPitch());  // the list's columns line up

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
  // The 2-pixel outline from the very edge on all four sides, in the
  // complement of the teal, and the teal just inside it.
  const QColor outline(0xFF, 0xBF, 0xBF), teal(0, 0x40, 0x40);
  for (auto [x, y, dx, dy] : {std::array{0, 200, 1, 0}, {300, 0, 0, 1}, {573, 200, -1, 0}, {300, 438, 0, -1}}) {
    EXPECT_EQ(shot.pixelColor(x, y), outline) << x << "," << y;
    EXPECT_EQ(shot.pixelColor(x + dx, y + dy), outline) << x << "," << y;
    EXPECT_EQ(shot.pixelColor(x + 2 * dx, y + 2 * dy), teal) << x << "," << y;
  }
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
  EXPECT_EQ(w->grab().toImage().pixelColor(0, 200), outline);
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

// The window's place comes from the same read as the settings.
TEST_F(WindowTest, SavedPlaceIsUsed) {
  SaveRegSetting(BuildSettingsPath("Vantorel"), "ADKTop", "1500");
  SaveRegSetting(BuildSettingsPath("Vantorel"), "adkleft", "-750");
  Start();
  EXPECT_EQ(w->pos(), QPoint(-50, 100));
}

// A store the load could not read (locked past the wait) is not saved over:
// the close says why, names the file and ends with status 1.
TEST_F(WindowTest, AStoreTheLoadCouldNotReadIsNotSavedOver) {
  SaveRegSetting(BuildSettingsPath("Vantorel"), "R(0)", "12.4");  // a save would write 10 or 12
  platform::store::testing::CloseConnection();
  sqlite3* other = nullptr;  // another program holding the store
  ASSERT_EQ(sqlite3_open(platform::store::FilePath().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  platform::store::testing::SetLockWait(100);
  Start();
  platform::store::testing::SetLockWait(-1);
  EXPECT_EQ(w->state().DataRange[0], 10) << "the defaults";
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  QString notSaved;
  platform::QueueModalAnswer([&](QDialog& d) {
    notSaved = static_cast<QMessageBox&>(d).text();
    d.accept();
  });
  w->close();
  EXPECT_EQ(w->ExitStatus(), 1);
  EXPECT_TRUE(notSaved.contains(QString::fromStdString(platform::store::FilePath()))) << notSaved.toStdString();
  EXPECT_TRUE(notSaved.contains("locked")) << notSaved.toStdString();
  EXPECT_EQ(GetRegSetting(state.SettingsPath, "R(0)", "none"), "12.4");
}

TEST_F(WindowTest, EveryTextFitsItsControlAndTheCopyrightClearsTheGraphTitle) {
  Start();
  for (QLabel* l : w->Rows->ErrorInd) l->setText("(188)");  // the widest model clicks of a fit
  ExpectTextsFit(w.get());
  // The click list scrolls only up and down: a line with one measured point
  // fits, two points at one range wrap.
  w->state().DataRange = {10, 20, 30, 40, 150, 150};
  w->state().DataClicks = {52, 0, 0, 12, -123, -123};
  w->PseudoCalc();
  EXPECT_FALSE(w->ClickList->horizontalScrollBar()->isVisible());
  const QFontMetrics listFont(w->ClickList->font());
  const double room = w->ClickList->viewport()->width() - 2 * w->ClickList->document()->documentMargin() - 1;
  int lines = 0;
  for (const QString& line : w->ClickList->toPlainText().split('\n'))
    if (line.count('(') < 2) {
      EXPECT_LE(listFont.horizontalAdvance(line), room) << line.toStdString();
      ++lines;
    }
  EXPECT_EQ(lines, 3 + 150 - 10);
  // The copyright line reads name, version and notice, white on the window's
  // teal, and ends clear of the graph title that shares its height.
  const QString notice = w->Copyright->text();
  EXPECT_TRUE(notice.startsWith("Vantorel V1.0.0 ")) << notice.toStdString();
  EXPECT_TRUE(notice.contains(QString::fromUtf8("\xC2\xA9 2026 Morvale")));
  const int noticeLeft = w->Copyright->geometry().right() - QFontMetrics(w->Copyright->font()).horizontalAdvance(notice);
  const QFontMetrics graphFont(platform::MakeFont("Tahoma", 8.25));
  const double titleRight = w->P0->x() + platform::TwipsToPixelsF(690 + 5460 / 2.0) +
                            graphFont.horizontalAdvance(QString::fromStdString(GraphTitle(false))) / 2.0;
  EXPECT_GT(noticeLeft, titleRight + 4);
  const QImage band = w->grab(w->Copyright->geometry()).toImage();
  int white = 0, teal = 0;
  for (int y = 0; y < band.height(); ++y)
    for (int x = band.width() - (w->Copyright->geometry().right() - noticeLeft); x < band.width(); ++x) {
      white += band.pixelColor(x, y).lightness() > 160;
      teal += band.pixelColor(x, y) == QColor(0, 0x40, 0x40);
    }
  EXPECT_GT(white, 30);
  EXPECT_GT(teal, white);
  // Shift with a right click on the new line still resets.
  QTest::mouseClick(w->Copyright, Qt::RightButton, Qt::ShiftModifier, QPoint(w->Copyright->width() - 5, 5));
  EXPECT_TRUE(w->Ended());
}

TEST_F(WindowTest, TooltipsUseTheDesktopColours) {
  Start();
  const QPalette tip = QToolTip::palette();
  for (QWidget* c : w->findChildren<QWidget*>()) {
    if (c->toolTip().isEmpty() || c->objectName() == "ClickList") continue;
    SCOPED_TRACE(c->objectName().toStdString());
    QToolTip::showText(c->mapToGlobal(QPoint(2, 2)), c->toolTip(), c);
    QWidget* label = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (t->inherits("QTipLabel") && t->isVisible()) label = t;
    ASSERT_NE(label, nullptr);
    // Every pixel inside the frame is a blend of the tooltip's base and text colours.
    const QImage shot = label->grab().toImage();
    const QColor base = tip.color(QPalette::ToolTipBase), text = tip.color(QPalette::ToolTipText);
    int off = 0;
    for (int y = 3; y < shot.height() - 3; ++y)
      for (int x = 3; x < shot.width() - 3; ++x) {
        const QColor p = shot.pixelColor(x, y);
        const double t = (p.redF() - base.redF()) / (text.redF() - base.redF() + 1e-9);
        auto near = [t](double got, double a, double b) { return std::abs(got - (a + t * (b - a))) < 0.12; };
        if (!near(p.greenF(), base.greenF(), text.greenF()) || !near(p.blueF(), base.blueF(), text.blueF())) ++off;
      }
    EXPECT_EQ(off, 0);
    QToolTip::hideText();
  }
}

TEST_F(WindowTest, KeyboardAndScreenReaderUse) {
  Start();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  // Every control that takes the focus, and the close box, has a name of its own.
  QSet<QString> names;
  for (QWidget* c : w->findChildren<QWidget*>()) {
    if (!(c->focusPolicy() & Qt::TabFocus) && c != w->btnControl) continue;
    SCOPED_TRACE(c->objectName().toStdString());
    EXPECT_FALSE(c->accessibleName().isEmpty());
    names.insert(c->accessibleName());
  }
  EXPECT_TRUE(names.contains("Range 1") && names.contains("Clicks 6"));
  EXPECT_EQ(names.size(), 6 + 6 * 3 + 2);
  EXPECT_TRUE(w->P0->accessibleDescription().contains("52 at 10")) << w->P0->accessibleDescription().toStdString();
  // No length limit in the fields.
  w->Rows->CTxt[0]->setFocus();
  QTest::keyClicks(w->Rows->CTxt[0], QString(300, '1'));
  EXPECT_EQ(w->Rows->CTxt[0]->text().size(), 302);
  // The focus mark of a tick box shows.
  const QImage plain = w->Rows->Ticked[2]->grab().toImage();
  w->Rows->Ticked[2]->setFocus();
  const QImage marked = w->Rows->Ticked[2]->grab().toImage();
  int changed = 0;
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x) changed += plain.pixel(x, y) != marked.pixel(x, y) && marked.pixelColor(x, y) == Qt::white;
  EXPECT_GT(changed, 10);
  // The focus comes back after Calculate, and Enter acts on a focused
  // button: on Exit it ends the program, saving.
  w->Rows->CTxt[0]->setText("52");
  w->Commands->cbButton[kCalculate]->setFocus();
  QTest::keyClick(w->Commands->cbButton[kCalculate], Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), w->Commands->cbButton[kCalculate]);
  EXPECT_EQ(w->state().Params().mv, 775);
  Restart();
  w->state().DataRange[0] = 12;
  QTest::keyClick(w->Commands->cbButton[kExit], Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_TRUE(w->Ended());
  EXPECT_EQ(GetRegSetting(state.SettingsPath, "R(0)", "none"), "12");
}

TEST_F(WindowTest, TheTitleMovesTheWindowWithoutASystemMove) {
  Start();
  const QPoint start = w->pos();
  QLabel* title = w->AppTitle[0];
  auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent e(type, title->mapFromGlobal(at), title->mapFromGlobal(at), at,
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(title, &e);
  };
  const QPoint grip = title->mapToGlobal(QPoint(40, 10));
  send(QEvent::MouseButtonPress, grip, Qt::LeftButton);
  EXPECT_EQ(title->cursor().shape(), Qt::SizeAllCursor);
  send(QEvent::MouseMove, grip + QPoint(30, -20), Qt::LeftButton);
  EXPECT_EQ(w->pos(), start + QPoint(30, -20));
  send(QEvent::MouseButtonRelease, grip + QPoint(30, -20), Qt::NoButton);
  EXPECT_NE(title->cursor().shape(), Qt::SizeAllCursor);
  send(QEvent::MouseMove, grip + QPoint(90, 0), Qt::NoButton);
  EXPECT_EQ(w->pos(), start + QPoint(30, -20));
}
