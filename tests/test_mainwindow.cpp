// The main window on Qt's offscreen platform: layout, tab order, painting, closing with its save, the settings key and the reset gesture,
// the store's refusals, text room and keyboard use (the title drag is tried
// under Xvfb, where no window manager moves the window).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolTip>
#include <QSet>
#include <ranges>

#include "output/graph.h"
#include "qtview/fonts.h"
#include "platform/store.h"
#include "window_fixture.h"

using namespace vantorel;
using namespace vantorel::qtview;

TEST_F(WindowTest, EveryControlLiesInsideItsParentClearOfItsSiblings) {
  Start();
  EXPECT_EQ(std::tuple(w->width(), w->height(), w->windowFlags().testFlag(Qt::FramelessWindowHint)), std::tuple(574, 439, true));
  QStringList names = {"Copyright", "btnControl", "P0", "P5", "ClickList", "Mode0", "Frame5", "Working"};
  // Overlaps that belong: the notice on the graph panel, each caption just over its field.
  const QStringList together = {"CopyrightP0", "RTxtRange", "CTxtClicks"};
  for (size_t k = 0; k < kRows; ++k)
    for (const char* n : {"RFrm", "Range", "RTxt", "Clicks", "CTxt", "Ticked", "ErrorInd", "cbButton"}) names << WindowTest::At(n, k);
  for (const QString& name : names) {
    QWidget* c = Find(name);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry())) << name.toStdString();
    for (QWidget* s : c->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      const QString a = name.section('(', 0, 0), b = s->objectName().section('(', 0, 0);
      if (s == c || s->isHidden() || b == "AppTitle" || b == "frmMainSurface" || together.contains(std::min(a, b) + std::max(a, b)))
        continue;
      EXPECT_FALSE(c->geometry().intersects(s->geometry())) << (name + " " + s->objectName()).toStdString();
    }
  }
  // The title's text ends before the close box, whose cross is symmetric.
  auto* title = Find<QLabel>("AppTitle(0)");
  QWidget* box = Find("btnControl");
  EXPECT_LT(title->x() + QFontMetrics(title->font()).horizontalAdvance(title->text()), box->x());
  const QImage cross = box->grab().toImage();
  EXPECT_EQ(cross, cross.mirrored(true, false));
  // The program's pointer: a cross in a ring, its hot spot in the middle.
  const QImage mask = box->cursor().mask().toImage();
  EXPECT_EQ(std::tuple(box->cursor().hotSpot().x(), box->cursor().hotSpot().y(), mask.pixelColor(20, 20) == Qt::black,
                       mask.pixelColor(18, 18) == Qt::white, mask.pixelColor(15, 26) == Qt::black), std::tuple(15, 15, true, true, true));
}

// Every way of closing saves (the close box, Exit, the window system, Esc in a
// field); the next start restores what was saved, with a saved placement and
// a greyed tick that a click clears.
TEST_F(WindowTest, EveryWayOfClosingSavesAndTheNextStartRestores) {
  for (int how = 0; how < 4; ++how) {
    Start();
    w->state().DataClicks[0] = 53 + how;
    QAccessibleActionInterface* box = QAccessible::queryAccessibleInterface(Find("btnControl"))->actionInterface();
    how == 0 ? QTest::mouseClick(Find("btnControl"), Qt::LeftButton) : how == 1 ? Press(kExit) : how == 2 ? void(w->close())
             : box ? box->doAction(QAccessibleActionInterface::pressAction()) : void();  // a screen reader's press
    EXPECT_EQ(std::pair(w->Ended(), Saved("C(0)")), std::pair(true, std::to_string(53 + how))) << how;
  }
  QLocale::setDefault(QLocale("de_DE"));  // numbers are saved with the locale's decimal point
  Start();
  Tick(4)->click();
  w->state().DataRange[0] = 12;
  w->state().SetParams({800, 0.031, 2.25, 28, 7.5});
  w->state().MetricUnits = true;
  QTest::keyClick(RangeField(0), Qt::Key_Escape);
  QLocale::setDefault(QLocale::system());
  EXPECT_EQ(std::tuple(w->Ended(), w->ExitStatus(), w->isVisible()), std::tuple(true, 0, false));
  for (auto [name, value] : {std::pair{"ADKTop", "1500"}, {"adkleft", "-750"}, {"Tick(2)", "2"}})
    SaveRegSetting(store, BuildSettingsPath("Vantorel"), name, value);
  store.DeleteValue(platform::store::kLocalMachine, BuildSettingsPath("Vantorel"), "Check");  // edited by hand, check and all
  Start();
  EXPECT_EQ(RangeField(0)->text().toStdString() + w->state().ModelBC.text(), "120,031");
  EXPECT_FALSE(RangeField(4)->isEnabled() || Find("ErrorInd(4)")->isVisible() || Button(kMetric)->isEnabled());
  EXPECT_TRUE(List().startsWith("  R C  \n  m Clk\n"));
  // A saved place partly off the screen is moved back onto it.
  EXPECT_EQ(std::tuple(w->pos().x(), w->pos().y(), Tick(2)->checkState()), std::tuple(0, 100, Qt::PartiallyChecked)) << w->pos().x();
  QTest::mouseClick(Tick(2), Qt::LeftButton);
  EXPECT_EQ(std::pair(Tick(2)->checkState(), RangeField(2)->isEnabled()), std::pair(Qt::Unchecked, false));
}

// A save the store refuses writes nothing and names the first value, the
// file and the reason; a reset that cannot write deletes nothing.
TEST_F(WindowTest, AStoreThatRefusesTheSaveOrTheResetEndsWithItsMessage) {
  auto refused = [&](int writes, const std::function<void()>& act) {
    Start();
    Answer();
    store.FailWritesAfter(writes);
    act();
    store.FailWritesAfter(-1);
    store.CloseConnection();
    EXPECT_EQ(w->ExitStatus(), 1);
    return told.empty() ? QString() : told.back();
  };
  const QString save = refused(3, [&] { w->close(); });  // R(0), C(0), Tick(0) go through, then R(1) fails
  EXPECT_EQ(std::tuple(save.contains("Run-time error '26001':"), save.contains("Key: 'R(1)' to value: '20'"),
                       save.contains(QString::fromStdString(store.Location()) + " could not be written: attempt to write a readonly database.")),
            std::tuple(true, true, true)) << save.toStdString();
  EXPECT_EQ(Saved("R(0)") + Saved("Tick(0)"), "nonenone") << "nothing of a refused save is written";
  const QString reset = refused(0, [&] { QTest::mouseClick(Find("Copyright"), Qt::RightButton, Qt::ShiftModifier); });
  EXPECT_TRUE(reset.startsWith("Vantorel|Run-time error ")) << reset.toStdString();
}

// A store another program holds locked: the window shows at once with its
// controls at rest and "Waiting" in the status panel, and takes the settings
// as soon as the lock goes. Held past the wait, the lock is said at once;
// the window runs on the defaults, and its close does not save over the
// store, says why and ends with status 1.
TEST_F(WindowTest, ALockedStoreIsWaitedForWithTheWindowShownAndNeverSavedOverUnread) {
  SaveRegSetting(store, BuildSettingsPath("Vantorel"), "R(0)", "12.4");
  store.CloseConnection();
  store.SetLockWait(1500);
  sqlite3* other = nullptr;  // another program holding the store
  auto lock = [&] { return sqlite3_open(store.Location().c_str(), &other) == SQLITE_OK &&
                           sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK; };
  ASSERT_TRUE(lock());
  Start("Vantorel", {"Alpha"}, false);
  EXPECT_EQ(std::tuple(w->isVisible(), Button(kCalculate)->isEnabled(), RangeField(0)->isEnabled(), Find<QLabel>("Working")->text().toStdString()),
            std::tuple(true, false, false, "Waiting"));
  QTest::qWait(300);
  sqlite3_close(std::exchange(other, nullptr));  // the lock goes
  EXPECT_TRUE(QTest::qWaitFor([&] { return RangeField(0)->text() == "12"; }, 1000));
  EXPECT_EQ((std::pair{QTest::qWaitFor([&] { return Button(kPrintList)->isEnabled(); }), Button(kCalculate)->isEnabled()}), std::pair(true, true));  // braced: evaluated in order
  EXPECT_TRUE(told.empty());

  ASSERT_TRUE(lock());
  Answer(), Answer();
  Start("Vantorel", {"Alpha"}, false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !told.empty(); }, 3000));
  EXPECT_EQ(std::pair(RangeField(0)->text().toStdString(), Button(kCalculate)->isEnabled()), std::pair(std::string("10"), true));  // the defaults
  w->close();
  sqlite3_close(std::exchange(other, nullptr)), store.SetLockWait(-1);
  EXPECT_EQ(w->ExitStatus(), 1);
  ASSERT_EQ(told.size(), 2u);
  const QString file = QString::fromStdString(store.Location());
  EXPECT_EQ(std::tuple(told[0].startsWith("Saved Settings|The saved settings could not be read from"), told[0].contains(file),
                       told[0].contains("locked for more than 1500 milliseconds)")), std::tuple(true, true, true)) << told[0].toStdString();
  EXPECT_EQ(std::pair(told[1].contains("were not saved"), told[1].contains(file)), std::pair(true, true)) << told[1].toStdString();
  EXPECT_EQ(Saved("R(0)"), "12.4");
}

// A damaged store met at start: what could be read of it is shown, and
// one message says what was wrong, what was recovered and where the old
// file went; the close saves into the fresh store.
TEST_F(WindowTest, ADamagedStoreIsRecoveredAndSaidAtStart) {
  SaveRegSetting(store, BuildSettingsPath("Vantorel"), "R(0)", "11");
  SaveRegSetting(store, BuildSettingsPath("Vantorel"), "C(0)", "x");
  store.CloseConnection();
  sqlite3* db = nullptr;  // another application's id: not this program's store any more
  ASSERT_EQ(sqlite3_open(store.Location().c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "PRAGMA application_id = 7", nullptr, nullptr, nullptr), sqlite3_close(db);
  Answer();
  Start();
  EXPECT_EQ(RangeField(0)->text(), "11");
  ASSERT_EQ(told.size(), 1u);  // with the value that cannot be used
  EXPECT_EQ(std::tuple(told[0].startsWith("Saved Settings|The settings file"), told[0].contains("another program (application id 0x00000007)"),
                       told[0].contains("2 of 24 saved settings were recovered;"), told[0].contains("registry.sqlite3.corrupt-"),
                       told[0].endsWith("\n\nThe saved clicks of data point 1 \"x\" cannot be used; the default 52 was used.")),
            std::tuple(true, true, true, true, true)) << told[0].toStdString();
  w->state().DataRange[1] = 21;
  w->close();
  EXPECT_EQ(Saved("R(0)") + Saved("R(1)") + std::to_string(w->ExitStatus()), "11210");
}

TEST_F(WindowTest, EveryTextFitsItsControlAndTheCopyrightClearsTheGraphTitle) {
  // The list's longest lines (metric, the largest clicks): the model's clicks
  // fit; three points at one range stay on their one line, cut at the edge,
  // the whole line in its tooltip and in the list's accessible text.
  for (auto [name, value] : {std::pair{"Metric", "1"}, {"R(3)", "150"}, {"R(4)", "150"}, {"R(5)", "150"}, {"C(3)", "-32768"},
                             {"C(4)", "-32768"}, {"C(5)", "-32768"}, {"C(2)", "-32768"}})
    SaveRegSetting(store, BuildSettingsPath("Vantorel"), name, value);
  Start();
  for (size_t k = 0; k < kRows; ++k) Find<QLabel>(At("ErrorInd", k))->setText("(188)");  // the widest of a fit
  ExpectTextsFit(w.get());
  auto* list = Find<QPlainTextEdit>("ClickList");
  EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
  const double room = list->viewport()->width() - 2 * list->document()->documentMargin() - 1;
  const QStringList lines = List().split('\n');
  ASSERT_EQ(lines.size(), 3 + 150 - 10 + 1);
  for (QTextBlock line = list->document()->begin(); line.isValid(); line = line.next()) {
    list->document()->documentLayout()->blockBoundingRect(line);  // laid out as when scrolled to
    EXPECT_EQ(line.layout()->lineCount(), 1) << line.text().toStdString();
    EXPECT_LE(line.text().contains('(') ? 0 : QFontMetrics(list->font()).horizontalAdvance(line.text()), room) << line.text().toStdString();
  }
  EXPECT_EQ(std::pair(lines.back().startsWith("150:"), lines.back().endsWith("(-32768) (-32768) (-32768)")), std::pair(true, true)) << lines.back().toStdString();
  for (int n : {13, static_cast<int>(lines.size()) - 1}) {  // a line that fits, the cut one
    const QTextCursor at(list->document()->findBlockByNumber(n));
    list->setTextCursor(at), list->ensureCursorVisible();
    QHelpEvent e(QEvent::ToolTip, list->cursorRect(at).center(), {});
    QApplication::sendEvent(list->viewport(), &e);
    EXPECT_EQ(QToolTip::text().toStdString(), n == 13 ? "Range/Click List (1 - 100 m)" : lines.back().toStdString());
  }
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(list)->text(QAccessible::Value).endsWith("\n" + lines.back()));
  QToolTip::hideText();
  // The copyright line: white on teal, clear of the graph title at its height.
  auto* notice = Find<QLabel>("Copyright");
  EXPECT_TRUE(notice->text().startsWith("Vantorel V1.0.0 ")) << notice->text().toStdString();
  const int noticeLeft = notice->geometry().right() - QFontMetrics(notice->font()).horizontalAdvance(notice->text());
  QWidget* plot = Find("P5");
  const double titleRight = plot->mapTo(w.get(), QPoint(plot->width() / 2, 0)).x() +
      QFontMetrics(qtview::MakeFont("Tahoma", 8.25)).horizontalAdvance(QString::fromStdString(GraphTitle(false))) / 2.0;
  EXPECT_GT(noticeLeft, titleRight + 4);
  const QImage band = w->grab(QRect(noticeLeft, notice->y(), notice->geometry().right() - noticeLeft, notice->height()))
                          .toImage().convertToFormat(QImage::Format_RGB32);
  const std::span<const QRgb> pixels(reinterpret_cast<const QRgb*>(band.constBits()), static_cast<size_t>(band.sizeInBytes() / 4));
  EXPECT_EQ(std::pair(std::ranges::count_if(pixels, [](QRgb p) { return qGray(p) > 160; }) > 30,  // white on teal
                      std::ranges::count(pixels, qRgb(0, 0x40, 0x40)) > std::ssize(pixels) / 2), std::pair(true, true));
}

// Every control that takes the focus has a name of its own; a screen reader finds the window by
// its caption, the close box as a button, the rows by number, the title
// once; Enter acts on the focused button.
TEST_F(WindowTest, KeyboardAndScreenReaderUse) {
  Start();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  EXPECT_TRUE(QFontInfo(Find("ClickList")->font()).fixedPitch());  // the list's columns line up
  QSet<QString> names;
  for (QWidget* c : w->findChildren<QWidget*>()) if (c->focusPolicy() & Qt::TabFocus) names << c->accessibleName();
  EXPECT_EQ(std::tuple(names.contains("Range 1"), names.contains("Clicks 6"), names.contains("")), std::tuple(true, true, false));
  EXPECT_EQ(names.size(), 6 + 6 * 3 + 1);
  const std::tuple<QString, QAccessible::Role, QString> table[] = {{"frmMain", QAccessible::Window, "Vantorel V1.0.0"},
      {"AppTitle(0)", QAccessible::StaticText, "Vantorel V1.0.0"}, {"btnControl", QAccessible::Button, "Close"},
      {"RFrm(0)", QAccessible::Grouping, "Data point 1"}, {"RFrm(5)", QAccessible::Grouping, "Data point 6"}};
  for (const auto& [name, role, text] : table) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(name == "frmMain" ? w.get() : Find(name));
    EXPECT_EQ(std::pair(a->role(), a->text(QAccessible::Name).toStdString()), std::pair(role, text.toStdString())) << name.toStdString();
  }
  QAccessibleInterface* top = QAccessible::queryAccessibleInterface(w.get());
  QStringList parts;
  for (int i = 0; i < top->childCount(); ++i) parts << top->child(i)->object()->objectName();
  EXPECT_EQ(parts.join(" ").toStdString(), "AppTitle(0) P0 ClickList Mode0 Frame5 Frame3 btnControl Announcement Copyright");
  EXPECT_EQ(top->indexOfChild(QAccessible::queryAccessibleInterface(Find("btnControl"))), 6);
  ClicksField(0)->setFocus();  // no length limit in the fields
  QTest::keyClicks(ClicksField(0), QString(300, '1'));
  EXPECT_EQ(ClicksField(0)->text().size(), 302);
  // Enter (the keypad's) on a focused Exit ends the program, saving.
  w->state().DataClicks[0] = 53;
  Button(kExit)->setFocus();
  QTest::keyClick(Button(kExit), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(std::pair(w->Ended(), Saved("C(0)")), std::pair(true, std::string("53")));
}
