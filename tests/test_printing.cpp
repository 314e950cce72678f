// Printing through Qt: pages from Qt's PDF output read back with poppler's
// tools, the printer chooser on the offscreen platform, and "Print List" with
// its printer-choice step.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "model/clicktable.h"
#include "output/printcommands.h"
#include "output/printlist.h"
#include "output/selectprinter.h"
#include "platform/modal.h"

using namespace vantorel;
namespace fs = std::filesystem;

namespace {

// What a command writes; fails the test when the command fails.
std::string Shell(const std::string& command) {
  std::string out;
  char buf[4096];
  FILE* f = popen(command.c_str(), "r");
  for (size_t n; f && (n = fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
  EXPECT_TRUE(f && pclose(f) == 0) << command;
  return out;
}

// Modal windows answered by the test, a PDF file for the pages, and a 574 by
// 439 main window with three printers, the second one current.
class Printing : public ::testing::Test {
 protected:
  void SetUp() override {
    main.setGeometry(100, 100, 574, 439);
    platform::SetModalTestMode(true);
  }
  void TearDown() override {
    platform::SetModalTestMode(false);
    fs::remove(pdf);
    fs::remove(pdf + ".png");
  }
  frmSelectPrinter& Window() { return SelectPrinterWindow(&main, service, state); }

  // The list for s printed and read back: its text as pdftotext lays it out in
  // columns of the given pitch (points), less the form feed and empty lines.
  std::vector<std::string> PrintedList(const State& s, const std::string& pitch) {
    EXPECT_EQ(Print_List(s, *service.StartJob("Vantorel"), "Vantorel"), std::nullopt);
    EXPECT_EQ(Shell("pdfinfo '" + pdf + "' | grep -E '^(Title|Pages):' | tr -s ' '"), "Title: Vantorel\nPages: 1\n");
    std::istringstream in(Shell("pdftotext -layout -fixed " + pitch + " '" + pdf + "' -"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\f')));
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
  }

  const std::string pdf = ::testing::TempDir() + "vantorel-print-" + std::to_string(getpid()) + ".pdf";
  QWidget main;
  State state;
  platform::PdfPrintService service{{"Alpha", "Bravo", "Charlie"}, 1, pdf};
};
using PrintedPage = Printing;
using Chooser = Printing;

QWidget* Child(QWidget& d, const char* name) { return d.findChild<QWidget*>(name); }
QListWidget* List(QWidget& d) { return d.findChild<QListWidget*>("List1"); }
void Press(QWidget& d, const char* button) { d.findChild<QPushButton*>(button)->click(); }
QColor Background(const QWidget* w) { return w->palette().color(QPalette::Window); }

// A mouse event as the window system delivers it, with the left button.
void Mouse(QWidget* w, QEvent::Type type, QPoint at = {5, 5}) {
  const bool down = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
  QMouseEvent e(type, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

void DoubleClickTheThirdEntry(QDialog& d) {
  List(d)->doItemsLayout();
  const QPoint at = List(d)->visualItemRect(List(d)->item(2)).center();
  for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                    QEvent::MouseButtonRelease})
    Mouse(List(d)->viewport(), type, at);
}

}  // namespace

// The list on an A4 page with quarter-inch margins, in columns of 6 points for
// the 10 pt body: the margin is 3 columns, and 500 twips add 4 before the title,
// the headers and the rows. The two empty lines under the title show as one.
TEST_F(PrintedPage, DefaultListLaidOutOnAPdfPage) {
  State s = DefaultState();
  PseudoCalc(s);
  const std::vector<std::string> expected = {
      "       Vantorel",
      "",
      "        Range   Clicks         Range   Clicks         Range   Clicks         Range   Clicks",
      "         (Yd)   (Clk)           (Yd)   (Clk)           (Yd)   (Clk)           (Yd)   (Clk)",
      "",
      "            1 : 940               26 : -2                51 : 34                76 : 98",
      "            2 : 519               27 : -2                52 : 36                77 : 100",
      "            3 : 339               28 : -1                53 : 38                78 : 103",
      "            4 : 240               29 : -1                54 : 41                79 : 106",
      "            5 : 178               30 : 0    (0)          55 : 43   (44)         80 : 109",
      "            6 : 136               31 : 1                 56 : 45                81 : 112",
      "            7 : 106               32 : 2                 57 : 47                82 : 115",
      "            8 : 83                33 : 3                 58 : 50                83 : 118",
      "            9 : 66                34 : 4                 59 : 52                84 : 121",
      "           10 : 52   (52)         35 : 5                 60 : 55                85 : 124",
      "           11 : 41                36 : 7                 61 : 57                86 : 127",
      "           12 : 32                37 : 8                 62 : 60                87 : 130",
      "           13 : 25                38 : 9                 63 : 62                88 : 134",
      "           14 : 19                39 : 11                64 : 65                89 : 137",
      "           15 : 15                40 : 13   (12)         65 : 67                90 : 140",
      "           16 : 11                41 : 14                66 : 70                91 : 143",
      "           17 : 7                 42 : 16                67 : 73                92 : 146",
      "           18 : 5                 43 : 18                68 : 75                93 : 150",
      "           19 : 3                 44 : 20                69 : 78                94 : 153",
      "           20 : 1    (0)          45 : 22                70 : 81                95 : 156",
      "           21 : 0                 46 : 24                71 : 83                96 : 159",
      "           22 : -1                47 : 25                72 : 86                97 : 163",
      "           23 : -2                48 : 28                73 : 89                98 : 166",
      "           24 : -2                49 : 30                74 : 92                99 : 169",
      "           25 : -2                50 : 32   (28)         75 : 95               100 : 173",
      "",
      "          Calculated/(Entered) Data Point      Interpolated Result     Extrapolated Result",
  };
  EXPECT_EQ(PrintedList(s, "6"), expected);
  // Regular and bold faces of a fixed-pitch font.
  const std::string fonts = Shell("pdffonts '" + pdf + "'");
  EXPECT_TRUE(fonts.find("Mono ") != fonts.npos && fonts.find("Mono-Bold") != fonts.npos) << fonts;
}

TEST_F(PrintedPage, FiftyRowListInEightPointOnOnePage) {
  State s = DefaultState();
  s.DataRange[5] = 180;
  s.DataClicks[5] = 250;
  s.MetricUnits = true;
  PseudoCalc(s);
  // Columns of 4.8 points: the margin is 3.75 of them, 500 twips 5. No empty
  // line shows above the headers in the smaller body.
  const auto lines = PrintedList(s, "4.8");
  ASSERT_EQ(lines.size(), 1u + 2 + 1 + 50 + 2);
  const std::string indent(9, ' ');
  EXPECT_EQ(lines[0], indent + "Vantorel");
  EXPECT_EQ(lines[1], indent + " Range   Clicks         Range   Clicks         Range   Clicks         Range   Clicks");
  EXPECT_EQ(lines[2], indent + "   (m)   (Clk)            (m)   (Clk)            (m)   (Clk)            (m)   (Clk)");
  // Row n holds ranges n, n + 50, n + 100 and n + 150, 23 characters apart.
  for (int n = 1; n <= 50; ++n)
    for (int k = 0; k < 4; ++k)
      EXPECT_EQ(lines[3 + n].substr(10 + 23 * k, 7), Fancy(std::to_string(n + 50 * k), 0) + " :") << n << " " << k;
  EXPECT_EQ(lines[13], indent + "    10 : 30   (52)         60 : -1               110 : 12               160 : 34");
  EXPECT_EQ(lines[33],
            indent + "    30 : 0    (0)          80 : 3                130 : 20               180 : 44   (250)");
  EXPECT_EQ(lines[55], "           Calculated/(Entered) Data Point      Interpolated Result     Extrapolated Result");
}

TEST_F(PrintedPage, FailuresComeBackAsMessages) {
  const std::string bad = pdf + ".missing/page.pdf";
  service.SetPdfPath(bad);
  const std::string cannotWrite = "The file \"" + bad + "\" cannot be written.";
  EXPECT_EQ(Print_List(DefaultState(), *service.StartJob("Vantorel"), "Vantorel"), cannotWrite);
  EXPECT_EQ(PrintWindowPicture(service, QImage(10, 10, QImage::Format_RGB32), "Vantorel"), cannotWrite);

  // A printer no longer installed: nothing goes to another one.
  auto job = platform::PrintJob::ForPrinter("Vantorel No Such Printer", "Vantorel");
  job->Print("x");
  EXPECT_FALSE(job->Open());
  EXPECT_EQ(job->EndDoc(), "The printer \"Vantorel No Such Printer\" is no longer installed.");
}

TEST_F(PrintedPage, WindowPictureCentredAtItsOwnSizeOrScaledToThePageWidth) {
  // The printable area is 559 by 806 points, 18 points from the page's edge.
  const auto Red = [](int w, int h) { QImage img(w, h, QImage::Format_RGB32); img.fill(Qt::red); return img; };
  QImage dense = Red(800, 600);
  dense.setDevicePixelRatio(2.0);  // a 400 by 300 window on a dense screen
  const std::tuple<const char*, QImage, QRectF> cases[] = {
      // 400 by 300 pixels: 6000 by 4500 twips, 300 by 225 points.
      {"smaller", Red(400, 300), {18 + (559 - 300) / 2.0, 18 + (806 - 225) / 2.0, 300, 225}},
      {"dense", dense, {18 + (559 - 300) / 2.0, 18 + (806 - 225) / 2.0, 300, 225}},
      // 1000 by 500 pixels: 15000 twips, wider than the page's 11180.
      {"wider", Red(1000, 500), {18, 18 + (806 - 279.5) / 2, 559, 279.5}},
  };
  for (const auto& [what, picture, points] : cases) {
    ASSERT_EQ(PrintWindowPicture(service, picture, "Vantorel"), std::nullopt) << what;
    // The red pixels of the page rendered at one pixel a point.
    Shell("pdftoppm -r 72 -png -singlefile '" + pdf + "' '" + pdf + "'");
    const QImage page(QString::fromStdString(pdf + ".png"));
    QRect red;
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x)
        if (page.pixelColor(x, y).red() > 200 && page.pixelColor(x, y).green() < 60) red |= QRect(x, y, 1, 1);
    for (auto [got, expected] : {std::pair(red.left(), points.left()), {red.top(), points.top()},
                                 {red.width(), points.width()}, {red.height(), points.height()}})
      EXPECT_NEAR(got, expected, 1.5) << what;
  }
  EXPECT_FALSE(PlaceWindowPicture(0, 15000, 100, 100));  // a printer with no page size
}

TEST_F(Chooser, PrintListPrintsOnceOkOrDoubleClickHasChosenAPrinter) {
  const std::tuple<const char*, void (*)(QDialog&), int> ways[] = {
      // The selected entry becomes the current printer.
      {"OK", [](QDialog& d) { Press(d, "cbOK"); }, 0},
      {"double-click", DoubleClickTheThirdEntry, 2},
      // The printer current at the start is put back.
      {"Cancel", [](QDialog& d) { Press(d, "cbCancel"); }, 1},
      {"close box", [](QDialog& d) { QTest::mouseClick(Child(d, "btnControl"), Qt::LeftButton); }, 1},
      {"Esc", [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, 1},
      {"Esc in the list", [](QDialog& d) { List(d)->setFocus(), QTest::keyClick(List(d), Qt::Key_Escape); }, 1},
      {"closed by the window system", [](QDialog& d) { d.close(); }, 1},
  };
  for (const auto& [how, leave, current] : ways) {
    service.SetCurrent(1);
    state.PrinterChosen = false;
    platform::QueueModalAnswer([&, how = how, leave = leave](QDialog& d) {
      d.show();
      QStringList names;
      for (int i = 0; i < List(d)->count(); ++i) names << List(d)->item(i)->text();
      EXPECT_EQ(names, QStringList({"Alpha", "Bravo", "Charlie"})) << how;
      EXPECT_EQ(List(d)->currentRow(), 1) << how;
      // The user selects the first entry; meanwhile the current printer changes.
      List(d)->setCurrentRow(0);
      service.SetCurrent(2);
      leave(d);
    });
    const bool chosen = current != 1;
    EXPECT_EQ(PrintListOnCurrentPrinter(state, service, &main, "Vantorel"), std::nullopt) << how;
    EXPECT_EQ(state.PrinterChosen, chosen) << how;
    EXPECT_EQ(service.CurrentIndex(), current) << how;
    EXPECT_EQ(fs::remove(pdf), chosen) << how;  // printed only on a choice
    EXPECT_FALSE(Window().isVisible()) << how;
    if (chosen) {  // later prints go straight to the chosen printer, no chooser shown
      EXPECT_EQ(PrintListOnCurrentPrinter(state, service, &main, "Vantorel"), std::nullopt) << how;
      EXPECT_TRUE(fs::remove(pdf)) << how;
    }
  }
  EXPECT_EQ(platform::UnansweredModals(), 0);
}

TEST_F(Chooser, OkWithoutASelectionAsksForOneAndStaysOpen) {
  platform::QueueModalAnswer([](QDialog& d) {
    d.show();
    List(d)->clearSelection();
    Press(d, "cbOK");
    EXPECT_TRUE(d.isVisible());
    Press(d, "cbCancel");
  });
  platform::QueueModalAnswer([](QDialog& d) {
    auto& box = dynamic_cast<QMessageBox&>(d);
    EXPECT_EQ(box.windowTitle(), "Oops ...");
    EXPECT_EQ(box.text(), "Select a Printer");
    EXPECT_EQ(box.icon(), QMessageBox::Warning);
    EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
    box.accept();
  });
  EXPECT_EQ(Window().ShowModal(), QDialog::Rejected);
  EXPECT_EQ(platform::PendingModalAnswers(), 0);  // the message was shown
}

TEST_F(Chooser, ControlsTextsTooltipsPlacesAndTheCloseBoxUnderTheMouse) {
  frmSelectPrinter& w = Window();
  EXPECT_EQ(w.objectName(), "frmSelectPrinter");
  EXPECT_EQ(w.windowTitle(), "Select Printer");
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(w.geometry(), QRect(100 + (574 - 292) / 2, 100 + (439 - 189) / 2, 292, 189));  // centred
  EXPECT_EQ(Background(&w), QColor(0, 64, 64));
  const std::tuple<const char*, QString, QString, QRect> controls[] = {  // places: twips / 15
      {"Title", "Printer Objects Detected.....", "Printers detected on this system ", {7, 7, 294, 31}},
      {"btnControl", "", "Exit Printer Selector ", {265, 6, 21, 21}},
      {"List1", "", "Double-click on Printer to select it ", {6, 32, 281, 110}},
      {"cbCancel", "Cancel", "Cancel Selecting Printer", {7, 150, 72, 31}},
      {"cbOK", "OK", "Use Selected Printer", {214, 150, 72, 31}},
  };
  for (const auto& [name, text, tip, place] : controls) {
    QWidget* c = Child(w, name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->property("text").toString(), text) << name;
    EXPECT_EQ(c->toolTip(), tip) << name;
    EXPECT_EQ(c->geometry(), place) << name;
  }
  QWidget* closeBox = Child(w, "btnControl");
  EXPECT_EQ(w.childAt(275, 15), closeBox);  // over the title's end

  // The close box: bright red under the mouse, dark red elsewhere but the buttons.
  const QColor darkRed(128, 0, 0), brightRed(255, 0, 0);
  EXPECT_EQ(Background(closeBox), darkRed);
  for (auto [elsewhere, after] : {std::pair<QWidget*, QColor>(List(w)->viewport(), darkRed),
                                  {Child(w, "Title"), darkRed}, {&w, darkRed}, {Child(w, "cbOK"), brightRed}}) {
    Mouse(closeBox, QEvent::MouseMove);
    EXPECT_EQ(Background(closeBox), brightRed);
    Mouse(elsewhere, QEvent::MouseMove, {40, 10});
    EXPECT_EQ(Background(closeBox), after) << elsewhere->objectName().toStdString();
  }
}
