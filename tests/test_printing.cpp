// Printing through Qt: print jobs on a PDF page read back with poppler's
// tools, the printer chooser on the offscreen platform, and the two print
// commands with their printer-choice steps.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "model/clicktable.h"
#include "model/numtext.h"
#include "model/trajectory.h"
#include "output/printcommands.h"
#include "output/printlist.h"
#include "output/selectprinter.h"
#include "platform/modal.h"
#include "platform/printing.h"

using namespace vantorel;
namespace fs = std::filesystem;

namespace {

State Estimated() {
  State s = DefaultState();
  PseudoCalc(s);
  return s;
}

// Output of a command; fails the test when it does not run.
std::string Shell(const std::string& command) {
  std::string out;
  FILE* f = popen(command.c_str(), "r");
  if (!f) {
    ADD_FAILURE() << "cannot run " << command;
    return out;
  }
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), f)) > 0) out.append(buf.data(), n);
  const int status = pclose(f);
  EXPECT_EQ(status, 0) << command;
  return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\f') line.pop_back();
    lines.push_back(line);
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "vantorel-print-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    platform::SetModalTestMode(true);
  }
  void TearDown() override {
    platform::SetModalTestMode(false);
    fs::remove_all(dir);
  }
  std::string Pdf(const std::string& name = "page.pdf") const { return (dir / name).string(); }
  fs::path dir;
};

}  // namespace

// ---------------------------------------------------------------------------
// The list page on paper: the page read back with pdftotext, whose -fixed
// option maps x positions to columns of a fixed pitch (6 points for 10 pt
// Courier, 4.8 for 8 pt). The PDF page has quarter-inch margins.

using PrintedPage = TempDir;

TEST_F(PrintedPage, DefaultListLaidOutOnAPdfPage) {
  platform::PdfPrintService service({"Office"}, 0, Pdf());
  auto job = service.StartJob("Vantorel");
  ASSERT_EQ(Print_List(Estimated(), *job, "Vantorel"), std::nullopt);
  // The margin is 3 columns; 500 twips (25 points) add 4 before the title,
  // the headers and the rows; the legend starts at the margin. pdftotext
  // drops trailing blanks and shows the two empty 10 pt lines under the
  // 18 pt title as one.
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
  EXPECT_EQ(SplitLines(Shell("pdftotext -layout -fixed 6 '" + Pdf() + "' -")), expected);
  EXPECT_EQ(Shell("pdfinfo '" + Pdf() + "' | grep -E '^(Pages|Title):' | tr -s ' '"), "Title: Vantorel\nPages: 1\n");
  // Regular and bold faces of a fixed-pitch font.
  const std::string fonts = Shell("pdffonts '" + Pdf() + "'");
  EXPECT_NE(fonts.find("Mono "), std::string::npos) << fonts;
  EXPECT_NE(fonts.find("Mono-Bold"), std::string::npos) << fonts;
}

TEST_F(PrintedPage, FiftyRowListInEightPointOnOnePage) {
  State s = Estimated();
  s.DataRange[5] = 180;
  s.DataClicks[5] = 250;
  s.MetricUnits = true;
  PseudoCalc(s);
  ASSERT_GT(s.MaxDataRange, 100);
  platform::PdfPrintService service({"Office"}, 0, Pdf());
  auto job = service.StartJob("Vantorel");
  ASSERT_EQ(Print_List(s, *job, "Vantorel"), std::nullopt);
  const auto lines = SplitLines(Shell("pdftotext -layout -fixed 4.8 '" + Pdf() + "' -"));

  // 500 twips are 5 columns at 4.8 points; the margin 3.75. The smaller
  // body font leaves too little room above the headers for pdftotext to see
  // an empty line there.
  ASSERT_EQ(lines.size(), 1u + 2 + 1 + 50 + 2);
  EXPECT_EQ(lines[0], "         Vantorel");
  EXPECT_EQ(lines[1], std::string(9, ' ') + " Range   Clicks         Range   Clicks         Range   Clicks         Range   Clicks");
  EXPECT_EQ(lines[2], std::string(9, ' ') + "   (m)   (Clk)            (m)   (Clk)            (m)   (Clk)            (m)   (Clk)");
  EXPECT_EQ(lines[3], "");
  for (int n = 1; n <= 50; ++n) {
    const std::string& row = lines[static_cast<size_t>(3 + n)];
    EXPECT_EQ(row.substr(0, 15), std::string(15 - std::to_string(n).size(), ' ') + std::to_string(n)) << "row " << n;
    // Cell 3 starts 1 + 3 x 23 characters after the indent.
    EXPECT_EQ(row.substr(9 + 70, 7), Fancy(std::to_string(n + 150), 0) + " :") << "row " << n;
  }
  EXPECT_EQ(lines[4], "              1 : 350               51 : -2               101 : 9                151 : 29");
  EXPECT_EQ(lines[13], "             10 : 30   (52)         60 : -1               110 : 12               160 : 34");
  EXPECT_EQ(lines[54], "");
  EXPECT_EQ(lines[55], "           Calculated/(Entered) Data Point      Interpolated Result     Extrapolated Result");
  EXPECT_EQ(Shell("pdfinfo '" + Pdf() + "' | grep -E '^Pages:' | tr -s ' '"), "Pages: 1\n");
}

// ---------------------------------------------------------------------------
// Print jobs: the page, the text model and the failures reported.

using Job = TempDir;

TEST_F(Job, PortraitPageInTwipsAndTheTextModel) {
  auto job = platform::PrintJob::ForPdfFile(Pdf(), "Vantorel");
  // A4 (595 by 842 points) less quarter-inch margins, 20 twips a point.
  EXPECT_EQ(job->ScaleWidth(), 559 * 20);
  EXPECT_EQ(job->ScaleHeight(), 806 * 20);
  EXPECT_EQ(job->DpiY(), 1440);
  EXPECT_FALSE(job->Open());

  platform::FontSpec f;
  f.name = "Courier New";
  f.size = 10;
  job->SetFont(f);
  // Ten characters of a 10 pt fixed-pitch face are 60 points wide.
  EXPECT_NEAR(job->TextWidth("0123456789"), 1200, 1);
  const double line = job->TextHeight("X");
  EXPECT_GT(line, 200);
  EXPECT_LT(line, 300);

  job->Print("");
  EXPECT_TRUE(job->Open());  // an empty line opens the document
  EXPECT_EQ(job->CurrentX(), 0);
  EXPECT_DOUBLE_EQ(job->CurrentY(), line);
  job->PSet(500, job->CurrentY(), platform::QBColor(15));
  EXPECT_EQ(job->CurrentX(), 500);
  EXPECT_DOUBLE_EQ(job->CurrentY(), line);
  job->Print("abc", false);
  EXPECT_NEAR(job->CurrentX(), 500 + 360, 1);
  EXPECT_DOUBLE_EQ(job->CurrentY(), line);
  job->Print("def");
  EXPECT_EQ(job->CurrentX(), 0);
  EXPECT_DOUBLE_EQ(job->CurrentY(), 2 * line);
  // Non-finite positions draw nothing and break nothing.
  job->PSet(std::nan(""), 0, 0);
  job->SetCurrentX(0);
  job->SetCurrentY(3 * line);
  job->Print("ghi");

  EXPECT_EQ(job->EndDoc(), std::nullopt);
  EXPECT_FALSE(job->Open());
  EXPECT_EQ(job->CurrentY(), 0);
  const std::string text = Shell("pdftotext -layout -fixed 6 '" + Pdf() + "' -");
  EXPECT_NE(text.find("abcdef"), std::string::npos) << text;
  EXPECT_NE(text.find("ghi"), std::string::npos) << text;
}

TEST_F(Job, NothingDrawnSendsNothing) {
  auto job = platform::PrintJob::ForPdfFile(Pdf(), "Vantorel");
  job->SetForeColor(platform::QBColor(4));
  EXPECT_EQ(job->EndDoc(), std::nullopt);
  EXPECT_FALSE(fs::exists(Pdf()));
}

TEST_F(Job, FailuresComeBackAsMessages) {
  // A PDF file that cannot be created.
  {
    const std::string bad = (dir / "missing" / "page.pdf").string();
    platform::PdfPrintService service({"Office"}, 0, bad);
    auto job = service.StartJob("Vantorel");
    const auto error = Print_List(Estimated(), *job, "Vantorel");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, "The file \"" + bad + "\" cannot be written.");
    EXPECT_FALSE(job->Open());
  }
  // A printer that is not (or no longer) installed: nothing goes to another
  // printer instead.
  {
    auto job = platform::PrintJob::ForPrinter("Vantorel No Such Printer", "Vantorel");
    job->Print("");
    job->DrawPicture(QImage(10, 10, QImage::Format_RGB32), 0, 0, 150, 150);
    EXPECT_FALSE(job->Open());
    EXPECT_EQ(job->EndDoc(), "The printer \"Vantorel No Such Printer\" is no longer installed.");
    // The message is given once; the job can be tried again.
    EXPECT_EQ(job->EndDoc(), std::nullopt);
  }
  {
    auto job = platform::PrintJob::ForPrinter("", "Vantorel");
    job->Print("x");
    EXPECT_EQ(job->EndDoc(), "No printer is installed.");
  }
}

// ---------------------------------------------------------------------------
// The printer chooser.

namespace {

constexpr platform::Colour kTeal = 0x00404000;

class Chooser : public TempDir {
 protected:
  void SetUp() override {
    TempDir::SetUp();
    main.setGeometry(100, 100, 574, 439);  // 8610 by 6585 twips
    service = std::make_unique<platform::PdfPrintService>(std::vector<std::string>{"Alpha", "Bravo", "Charlie"}, 1, Pdf());
  }
  frmSelectPrinter& Window() { return SelectPrinterWindow(&main, *service, state, kTeal); }

  template <typename T>
  static T* Child(QDialog& d, const char* name) {
    T* w = d.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  static QListWidget* List(QDialog& d) { return Child<QListWidget>(d, "List1"); }
  static void Press(QDialog& d, const char* button) { Child<QPushButton>(d, button)->click(); }

  static void MouseMove(QWidget* w, QPoint at = {5, 5}, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
  }

  QWidget main;
  State state;
  std::unique_ptr<platform::PdfPrintService> service;
};

// A double-click as the window system delivers it to a widget: press,
// release, double-click, release.
void DoubleClick(QWidget* w, QPoint at) {
  const QPoint global = w->mapToGlobal(at);
  const std::pair<QEvent::Type, Qt::MouseButtons> steps[] = {{QEvent::MouseButtonPress, Qt::LeftButton},
                                                             {QEvent::MouseButtonRelease, Qt::NoButton},
                                                             {QEvent::MouseButtonDblClick, Qt::LeftButton},
                                                             {QEvent::MouseButtonRelease, Qt::NoButton}};
  for (const auto& [type, buttons] : steps) {
    QMouseEvent e(type, at, global, Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
  }
}

QColor Background(const QWidget* w) { return w->palette().color(QPalette::Window); }

}  // namespace

TEST_F(Chooser, ListsThePrintersWithTheCurrentOneSelected) {
  std::vector<QString> names;
  int selected = -2;
  platform::QueueModalAnswer([&](QDialog& d) {
    QListWidget* list = List(d);
    for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text());
    selected = list->currentRow();
    Press(d, "cbCancel");
  });
  frmSelectPrinter& w = Window();
  EXPECT_EQ(w.ShowModal(), QDialog::Rejected);
  EXPECT_EQ(names, (std::vector<QString>{"Alpha", "Bravo", "Charlie"}));
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(w.StartPrinterIndex(), 1);
  EXPECT_FALSE(state.PrinterChosen);

  // Equal device names: the last one is taken for the current printer.
  platform::PdfPrintService twins({"Lab", "Desk", "Lab"}, 0, Pdf());
  State s2;
  QWidget main2;
  frmSelectPrinter& w2 = SelectPrinterWindow(&main2, twins, s2, kTeal);
  w2.Form_Activate();
  EXPECT_EQ(List(w2)->currentRow(), 2);
  EXPECT_EQ(w2.StartPrinterIndex(), 2);
}

TEST_F(Chooser, OkAndDoubleClickMakeTheSelectedPrinterCurrent) {
  platform::QueueModalAnswer([](QDialog& d) {
    List(d)->setCurrentRow(2);
    Press(d, "cbOK");
  });
  frmSelectPrinter& w = Window();
  EXPECT_EQ(w.ShowModal(), QDialog::Accepted);
  EXPECT_TRUE(state.PrinterChosen);
  EXPECT_EQ(service->CurrentIndex(), 2);
  EXPECT_FALSE(w.isVisible());

  // A double-click on an entry does what selecting it and OK do.
  State fresh;
  QWidget main2;
  platform::PdfPrintService s2({"Alpha", "Bravo", "Charlie"}, 1, Pdf());
  frmSelectPrinter& w2 = SelectPrinterWindow(&main2, s2, fresh, kTeal);
  platform::QueueModalAnswer([](QDialog& d) {
    d.show();
    QListWidget* list = List(d);
    list->doItemsLayout();
    const QPoint at = list->visualItemRect(list->item(0)).center();
    DoubleClick(list->viewport(), at);
  });
  EXPECT_EQ(w2.ShowModal(), QDialog::Accepted);
  EXPECT_TRUE(fresh.PrinterChosen);
  EXPECT_EQ(s2.CurrentIndex(), 0);
  EXPECT_FALSE(w2.isVisible());
  EXPECT_EQ(platform::UnansweredModals(), 0);
}

TEST_F(Chooser, CancelCloseBoxEscAndAnUnansweredShowingChooseNothing) {
  using Leave = std::function<void(QDialog&)>;
  const std::vector<std::pair<const char*, Leave>> ways = {
      {"Cancel", [](QDialog& d) { Press(d, "cbCancel"); }},
      {"close box", [](QDialog& d) { QTest::mouseClick(Child<QLabel>(d, "btnControl"), Qt::LeftButton); }},
      {"Esc on the window", [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
      {"Esc in the list", [](QDialog& d) {
         d.show();
         List(d)->setFocus();
         QTest::keyClick(List(d), Qt::Key_Escape);
       }},
  };
  frmSelectPrinter& w = Window();
  for (const auto& [how, leave] : ways) {
    service->SetCurrent(1);
    platform::QueueModalAnswer([&, leave = leave](QDialog& d) {
      // The user picks another entry, and meanwhile the current printer
      // changes; leaving without OK puts back the one current at the start.
      List(d)->setCurrentRow(0);
      service->SetCurrent(2);
      d.show();
      leave(d);
    });
    EXPECT_EQ(w.ShowModal(), QDialog::Rejected) << how;
    EXPECT_FALSE(state.PrinterChosen) << how;
    EXPECT_EQ(service->CurrentIndex(), 1) << how;
    EXPECT_FALSE(w.isVisible()) << how;
  }
  // A showing that no answer was queued for is rejected like Cancel.
  service->SetCurrent(1);
  w.Form_Activate();
  service->SetCurrent(0);
  EXPECT_EQ(platform::ExecModal(w), QDialog::Rejected);
  EXPECT_EQ(platform::UnansweredModals(), 1);
  EXPECT_EQ(service->CurrentIndex(), 1);
  EXPECT_FALSE(state.PrinterChosen);
}

TEST_F(Chooser, OkWithoutASelectionAsksForOneAndStaysOpen) {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool openAfterOops = false;
  platform::QueueModalAnswer([&](QDialog& d) {
    d.show();
    List(d)->clearSelection();
    Press(d, "cbOK");
    openAfterOops = d.isVisible();
    Press(d, "cbCancel");
  });
  platform::QueueModalAnswer([&](QDialog& d) {
    auto& box = dynamic_cast<QMessageBox&>(d);
    title = box.windowTitle();
    text = box.text();
    icon = box.icon();
    buttons = box.standardButtons();
    box.accept();
  });
  EXPECT_EQ(Window().ShowModal(), QDialog::Rejected);
  EXPECT_EQ(title, "Oops ...");
  EXPECT_EQ(text, "Select a Printer");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(buttons, QMessageBox::Ok);
  EXPECT_TRUE(openAfterOops);
  EXPECT_FALSE(state.PrinterChosen);
  EXPECT_EQ(platform::PendingModalAnswers(), 0);

}

TEST_F(Chooser, ControlsTextsTooltipsAndPlacesInTwips) {
  frmSelectPrinter& w = Window();
  EXPECT_EQ(w.objectName(), "frmSelectPrinter");
  EXPECT_EQ(w.windowTitle(), "Select Printer");
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::Dialog));
  EXPECT_EQ(w.size(), QSize(292, 189));  // 4380 by 2835 twips
  EXPECT_EQ(w.parentWidget(), &main);
  // Centred over the main window.
  EXPECT_EQ(w.pos(), QPoint(100 + (574 - 292) / 2, 100 + (439 - 189) / 2));
  EXPECT_EQ(Background(&w), QColor(0, 64, 64));

  struct Expect {
    const char* name;
    QString text, tip;
    QRect place;  // twips / 15
  };
  const std::vector<Expect> controls = {
      {"Title", "Printer Objects Detected.....", "Printers detected on this system ", QRect(7, 7, 294, 31)},
      {"btnControl", "", "Exit Printer Selector ", QRect(265, 6, 21, 21)},
      {"List1", "", "Double-click on Printer to select it ", QRect(6, 32, 281, 110)},
      {"cbCancel", "Cancel", "Cancel Selecting Printer", QRect(7, 150, 72, 31)},
      {"cbOK", "OK", "Use Selected Printer", QRect(214, 150, 72, 31)},
  };
  for (const Expect& c : controls) {
    QWidget* widget = w.findChild<QWidget*>(c.name);
    ASSERT_NE(widget, nullptr) << c.name;
    EXPECT_EQ(widget->toolTip(), c.tip) << c.name;
    EXPECT_EQ(widget->geometry(), c.place) << c.name;
    if (auto* b = qobject_cast<QPushButton*>(widget)) {
      EXPECT_EQ(b->text(), c.text) << c.name;
    }
    if (auto* l = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(l->text(), c.text) << c.name;
    }
  }
  auto* title = w.findChild<QLabel*>("Title");
  EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(w.findChild<QListWidget*>("List1")->font().families().value(0), "Trebuchet MS");
  auto* closeBox = w.findChild<QLabel*>("btnControl");
  EXPECT_EQ(closeBox->pixmap().size(), QSize(21, 21));
  EXPECT_EQ(Background(closeBox), QColor(128, 0, 0));
  // The close box lies over the title's end and is the one the mouse finds.
  EXPECT_EQ(w.childAt(QPoint(275, 15)), closeBox);

  // Made once: a later request gets the same window.
  EXPECT_EQ(&SelectPrinterWindow(&main, *service, state, kTeal), &w);
}

TEST_F(Chooser, CloseBoxTurnsBrightRedUnderTheMouseAndBackElsewhere) {
  frmSelectPrinter& w = Window();
  auto* closeBox = w.findChild<QLabel*>("btnControl");
  const std::vector<std::pair<const char*, QWidget*>> elsewhere = {
      {"list", w.findChild<QListWidget*>("List1")->viewport()},
      {"title", w.findChild<QLabel*>("Title")},
      {"window", &w},
  };
  for (const auto& [where, widget] : elsewhere) {
    MouseMove(closeBox);
    EXPECT_EQ(w.CloseBoxColour(), 0x0000FFu) << where;
    EXPECT_EQ(Background(closeBox), QColor(255, 0, 0)) << where;
    MouseMove(widget, {40, 10});
    EXPECT_EQ(w.CloseBoxColour(), 0x000080u) << where;
    EXPECT_EQ(Background(closeBox), QColor(128, 0, 0)) << where;
  }
  // The buttons are neither: the colour stays.
  MouseMove(closeBox);
  MouseMove(w.findChild<QPushButton*>("cbOK"));
  EXPECT_EQ(w.CloseBoxColour(), 0x0000FFu);
}

TEST_F(Chooser, DraggedByItsTitleWithTheMoveArrow) {
  frmSelectPrinter& w = Window();
  w.show();
  auto* title = w.findChild<QLabel*>("Title");
  const QPoint start = w.pos();
  QTest::mousePress(title, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
  EXPECT_EQ(title->cursor().shape(), Qt::SizeAllCursor);
  // Where the window system takes the move over, it moves the window
  // itself; elsewhere (as offscreen) the window follows the pointer.
  MouseMove(title, QPoint(50, 30), Qt::LeftButton);
  EXPECT_EQ(w.pos(), start + QPoint(30, 20));
  EXPECT_EQ(title->cursor().shape(), Qt::SizeAllCursor);
  QTest::mouseRelease(title, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
  EXPECT_EQ(title->cursor().shape(), Qt::BitmapCursor);  // the program's own pointer
  // Without a button held the title only resets the pointer.
  MouseMove(title, QPoint(60, 12));
  EXPECT_EQ(w.pos(), start + QPoint(30, 20));
  // Right button: no drag.
  QTest::mousePress(title, Qt::RightButton, Qt::NoModifier, QPoint(20, 10));
  EXPECT_EQ(title->cursor().shape(), Qt::BitmapCursor);
  QTest::mouseRelease(title, Qt::RightButton, Qt::NoModifier, QPoint(20, 10));
  w.hide();
}

TEST_F(Chooser, OutlineInTheComplementColourInsideTheEdge) {
  frmSelectPrinter& w = Window();
  const QImage img = w.grab().toImage();
  ASSERT_EQ(img.size(), QSize(292, 189));
  const QColor outline(255, 191, 191);  // complement of the dark teal
  const QColor teal(0, 64, 64);
  // From (8, 8) to (4364, 2819) twips: about 0.5 to 291 by 188 pixels.
  EXPECT_EQ(img.pixelColor(0, 90), outline);
  EXPECT_EQ(img.pixelColor(291, 90), outline);
  EXPECT_EQ(img.pixelColor(100, 0), outline);
  EXPECT_EQ(img.pixelColor(100, 188), outline);
  EXPECT_EQ(img.pixelColor(3, 90), teal);
  EXPECT_EQ(img.pixelColor(288, 90), teal);
  EXPECT_EQ(img.pixelColor(100, 185), teal);
}

// ---------------------------------------------------------------------------
// The print commands and their printer-choice steps.

using Commands = Chooser;

TEST_F(Commands, NothingPrintedWithoutAPrinterOrAChoice) {
  // No printer installed: no chooser, no job.
  platform::PdfPrintService none({}, -1, Pdf());
  EXPECT_EQ(PrintListOnCurrentPrinter(state, none, &main, "Vantorel", kTeal), std::nullopt);
  EXPECT_EQ(none.JobsStarted(), 0);
  EXPECT_EQ(platform::UnansweredModals(), 0);
  // The chooser cancelled: no job.
  platform::QueueModalAnswer([](QDialog& d) { Press(d, "cbCancel"); });
  EXPECT_EQ(PrintListOnCurrentPrinter(state, *service, &main, "Vantorel", kTeal), std::nullopt);
  EXPECT_FALSE(state.PrinterChosen);
  EXPECT_EQ(service->JobsStarted(), 0);
  EXPECT_EQ(platform::PendingModalAnswers(), 0);
  EXPECT_FALSE(fs::exists(Pdf()));
}

TEST_F(Commands, ChooserOnlyBeforeTheFirstConfirmedChoice) {
  platform::QueueModalAnswer([](QDialog& d) {
    List(d)->setCurrentRow(2);
    Press(d, "cbOK");
  });
  EXPECT_EQ(PrintListOnCurrentPrinter(state, *service, &main, "Vantorel", kTeal), std::nullopt);
  EXPECT_TRUE(state.PrinterChosen);
  EXPECT_EQ(service->CurrentDeviceName(), "Charlie");
  EXPECT_EQ(service->JobsStarted(), 1);
  ASSERT_TRUE(fs::exists(Pdf()));
  EXPECT_FALSE(SelectPrinterWindow(&main, *service, state, kTeal).isVisible());

  // Later prints go straight to the chosen printer.
  fs::remove(Pdf());
  EXPECT_EQ(PrintListOnCurrentPrinter(state, *service, &main, "Vantorel", kTeal), std::nullopt);
  EXPECT_EQ(service->JobsStarted(), 2);
  EXPECT_TRUE(fs::exists(Pdf()));
  EXPECT_TRUE(PrinterReady(state, *service, &main, kTeal));
  EXPECT_EQ(platform::UnansweredModals(), 0);
}

TEST(WindowPicture, PlacedCentredAtItsOwnSizeOrAtThePageWidth) {
  // Smaller than the page, or exactly as wide: its own size, centred.
  auto p = PlaceWindowPicture(11000, 15000, 8610, 6585);
  ASSERT_TRUE(p);
  EXPECT_EQ(std::vector<double>({p->x, p->y, p->w, p->h}), std::vector<double>({1195, 4207.5, 8610, 6585}));
  EXPECT_EQ(PlaceWindowPicture(8610, 15000, 8610, 6585)->w, 8610);
  // Wider: the page width, proportions kept, height rounded to whole twips.
  p = PlaceWindowPicture(11000, 15000, 15000, 10000);
  ASSERT_TRUE(p);
  EXPECT_EQ(std::vector<double>({p->x, p->y, p->w, p->h}), std::vector<double>({0, 3833.5, 11000, 7333}));
  EXPECT_EQ(PlaceWindowPicture(11000.4, 15000, 22000, 1001)->h, 501);  // 500.52
  // Nothing sensible to place.
  EXPECT_FALSE(PlaceWindowPicture(0, 15000, 100, 100));
  EXPECT_FALSE(PlaceWindowPicture(11000, 15000, 100, std::nan("")));
  EXPECT_FALSE(PlaceWindowPicture(INFINITY, 15000, 100, 100));
}

namespace {

// The bounding box of the red pixels of page 1 rendered at 72 dots per inch
// (one pixel a point).
QRect RedArea(const std::string& pdf, const fs::path& dir) {
  Shell("pdftoppm -r 72 -png -singlefile '" + pdf + "' '" + (dir / "page").string() + "'");
  QImage page((dir / "page.png").string().c_str());
  EXPECT_FALSE(page.isNull());
  QRect box;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x) {
      const QColor c = page.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 60 && c.blue() < 60) box |= QRect(x, y, 1, 1);
    }
  return box;
}

QImage Filled(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(QColor(255, 0, 0));
  return img;
}

}  // namespace

using PicturePrint = TempDir;

TEST_F(PicturePrint, CentredAtItsOwnSizeOrScaledToThePageWidth) {
  // The printable area is 559 by 806 points, 18 points from the page's edge.
  QImage dense = Filled(800, 600);
  dense.setDevicePixelRatio(2.0);  // a 400 by 300 window on a dense screen
  struct Case {
    const char* what;
    QImage picture;
    QRectF expected;  // points
  } cases[] = {
      // 400 by 300 pixels: 6000 by 4500 twips, 300 by 225 points.
      {"smaller", Filled(400, 300), {18 + (559 - 300) / 2.0, 18 + (806 - 225) / 2.0, 300, 225}},
      {"dense", dense, {18 + (559 - 300) / 2.0, 18 + (806 - 225) / 2.0, 300, 225}},
      // 1000 by 500 pixels: 15000 twips, wider than the page's 11180.
      {"wider", Filled(1000, 500), {18, 18 + (806 - 279.5) / 2, 559, 279.5}},
  };
  for (const Case& c : cases) {
    const std::string pdf = Pdf(std::string(c.what) + ".pdf");
    platform::PdfPrintService service({"Office"}, 0, pdf);
    ASSERT_EQ(PrintWindowPicture(service, c.picture, "Vantorel"), std::nullopt) << c.what;
    const QRect box = RedArea(pdf, dir);
    EXPECT_NEAR(box.left(), c.expected.left(), 1.5) << c.what;
    EXPECT_NEAR(box.top(), c.expected.top(), 1.5) << c.what;
    EXPECT_NEAR(box.width(), c.expected.width(), 1.5) << c.what;
    EXPECT_NEAR(box.height(), c.expected.height(), 1.5) << c.what;
  }
}

TEST_F(PicturePrint, NoPictureNoPage) {
  platform::PdfPrintService service({"Office"}, 0, Pdf());
  EXPECT_EQ(PrintWindowPicture(service, QImage(), "Vantorel"), "There is no picture of the window to print.");
  EXPECT_FALSE(fs::exists(Pdf()));
  EXPECT_EQ(service.JobsStarted(), 0);
  // A failing printer is reported, not fatal.
  platform::PdfPrintService broken({"Office"}, 0, (dir / "no" / "such.pdf").string());
  const auto error = PrintWindowPicture(broken, Filled(10, 10), "Vantorel");
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("cannot be written"), std::string::npos);
}

int main(int argc, char** argv) {
  // Windows are never put on a screen, also when the test list is read at
  // build time.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
