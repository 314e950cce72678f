// Printing through Qt: pages from Qt's PDF output read back with poppler's
// tools, the printer chooser's window on the offscreen platform, and the
// print system.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "app/printcommands.h"
#include "qtview/printing.h"
#include "model/clicktable.h"
#include "output/printlist.h"
#include "qtview/modal.h"
#include "cups/queues.h"
#include "print_system.h"
#include "shell.h"
#include "qtview/selectprinter.h"

using namespace vantorel;
using namespace vantorel::qtview;
namespace fs = std::filesystem;

namespace {

// Modal windows answered by the test, a PDF file for the pages, and a 574 by
// 439 main window with three printers, the second one current.
class Printing : public ::testing::Test {
 protected:
  void SetUp() override {
    main.setGeometry(100, 100, 574, 439);
    qtview::SetModalTestMode(true);
  }
  void TearDown() override {
    qtview::SetModalTestMode(false);
    fs::remove(pdf);
    fs::remove(pdf + ".png");
  }
  const std::string pdf = ::testing::TempDir() + "vantorel-print-" + std::to_string(getpid()) + ".pdf";
  QWidget main;
  State state;
  qtview::PdfPrintService service{{"Alpha", "Bravo", "Charlie"}, 1, pdf};
  frmSelectPrinter& Chooser() { return SelectPrinterWindow(&main, service, state, 0x00404000); }
};

platform::Image Picture(int w, int h, double ratio = 1) {
  QImage picture(w, h, QImage::Format_RGB32);
  picture.setDevicePixelRatio(ratio);
  picture.fill(Qt::red);
  return qtview::FromQImage(picture);
}

QListWidget* List(QWidget& d) { return d.findChild<QListWidget*>("List1"); }
void Press(QWidget& d, const char* button) { d.findChild<QPushButton*>(button)->click(); }

}  // namespace

// On an A4 page with quarter-inch margins, 10 pt body in columns of 6 points:
// the margin is 3 columns, and 500 twips add 4 before the title, heads and rows.
TEST_F(Printing, DefaultListLaidOutOnAPdfPage) {
  State s = DefaultState();
  PseudoCalc(s);
  ASSERT_EQ(Print_List(s, *service.StartJob("Vantorel"), "Vantorel"), std::nullopt);
  EXPECT_EQ(Shell("pdfinfo '" + pdf + "' | grep -E '^(Title|Pages):' | tr -s ' '"), "Title: Vantorel\nPages: 1\n");
  std::istringstream in(Shell("pdftotext -layout -fixed 6 '" + pdf + "' - | tr -d '\\f'"));
  std::vector<std::string> lines;  // as laid out in columns of 6 points, less the trailing empty lines
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  while (lines.back().empty()) lines.pop_back();
  ASSERT_EQ(lines.size(), 5u + 25 + 2);
  const std::pair<size_t, std::string> rows[] = {
      {0, "       Vantorel"},
      {2, "        Range   Clicks         Range   Clicks         Range   Clicks         Range   Clicks"},
      {3, "         (Yd)   (Clk)           (Yd)   (Clk)           (Yd)   (Clk)           (Yd)   (Clk)"},
      {5, "            1 : 940               26 : -2                51 : 34                76 : 98"},
      {9, "            5 : 178               30 : 0    (0)          55 : 43   (44)         80 : 109"},
      {29, "           25 : -2                50 : 32   (28)         75 : 95               100 : 173"},
      {31, "          Calculated/(Entered) Data Point      Interpolated Result     Extrapolated Result"},
  };
  for (const auto& [i, text] : rows) EXPECT_EQ(lines[i], text) << i;
  // Regular and bold faces of a fixed-pitch font.
  const std::string fonts = Shell("pdffonts '" + pdf + "'");
  EXPECT_EQ(std::pair(fonts.find("Mono ") != fonts.npos, fonts.find("Mono-Bold") != fonts.npos), std::pair(true, true)) << fonts;
}

TEST_F(Printing, FailuresComeBackAsMessages) {
  const std::string bad = pdf + ".missing/page.pdf";
  service.SetPdfPath(bad);
  const std::string cannotWrite = "The file \"" + bad + "\" cannot be written.";
  EXPECT_EQ(Print_List(DefaultState(), *service.StartJob("Vantorel"), "Vantorel"), cannotWrite);
  EXPECT_EQ(app::PrintWindowPicture(service, Picture(10, 10), "Vantorel"), cannotWrite);
  // A print system that is not there, or does not answer within a few seconds: nothing is printed.
  for (const bool hung : {false, true}) {
    const PrintSystemAt cups(pdf + ".cups", hung);
    const auto job = qtview::QtPrintJob::ForPrinter("VantorelPDF", "Vantorel");
    // A height no font can have keeps the font's own size (and is no overflow).
    EXPECT_EQ((job->PrintRotated("x", {}, 1e300, 900), job->EndDoc()), (hung ? "The print system did not answer within 3 seconds" : "The print system (CUPS at " + pdf +
              ".cups) cannot be reached") + std::string("; nothing was printed on \"VantorelPDF\"."));
    const cups::Sent sent = cups::SendWithin("VantorelPDF", "Vantorel", "%PDF-1.4", hung ? 0 : INT32_MAX);
    EXPECT_EQ(std::pair(sent.outcome, sent.server), hung ? std::pair(cups::Sent::Outcome::TimedOut, std::string())
                                                         : std::pair(cups::Sent::Outcome::Unreachable, pdf + ".cups"));
  }
}

// On the page, every pixel of a 400 by 300 window at 96 to the inch, on a screen of 1 or 2 device pixels to the pixel.
TEST_F(Printing, WindowPictureKeepsEveryPixel) {
  for (double ratio : {1.0, 2.0}) {
    const platform::Image picture = Picture(static_cast<int>(400 * ratio), static_cast<int>(300 * ratio), ratio);
    EXPECT_EQ(qtview::FromQImage(qtview::ToQImage(picture)).pixels, picture.pixels);
    ASSERT_EQ(app::PrintWindowPicture(service, picture, "Vantorel"), std::nullopt);
    EXPECT_EQ(Shell("pdfimages -list '" + pdf + "' | awk 'NR == 3 { print $4, $5, $13, $14 }'"),
              QString::asprintf("%g %g %g %g\n", 400 * ratio, 300 * ratio, 96 * ratio, 96 * ratio).toStdString());
  }
}

// The window's controls, keys and close all reach the chooser: the list shows
// the printers with the current one selected, and each way out hides it.
TEST_F(Printing, ChooserWindowOkCancelAndTheirKeys) {
  const std::tuple<const char*, void (*)(QDialog&), bool> ways[] = {
      {"OK", [](QDialog& d) { Press(d, "cbOK"); }, true},
      {"Enter", [](QDialog& d) { QTest::keyClick(List(d), Qt::Key_Return); }, true},
      {"double click", [](QDialog& d) {
         const QPoint at = List(d)->visualItemRect(List(d)->item(0)).center();
         QTest::mouseClick(List(d)->viewport(), Qt::LeftButton, {}, at);  // the first click of the two
         QTest::mouseDClick(List(d)->viewport(), Qt::LeftButton, {}, at);
       }, true},
      {"OK with nothing selected (said), then Cancel", [](QDialog& d) {
         qtview::QueueModalAnswer([](QDialog& box) { box.reject(); }), List(d)->clearSelection(), Press(d, "cbOK"), Press(d, "cbCancel"); }, false},
      {"Cancel", [](QDialog& d) { Press(d, "cbCancel"); }, false},
      {"Esc in the list", [](QDialog& d) { QTest::keyClick(List(d), Qt::Key_Escape); }, false},
      {"closed by the window system", [](QDialog& d) { d.close(); }, false},
      {"close box", [](QDialog& d) { QTest::mouseClick(d.findChild<QWidget*>("btnControl"), Qt::LeftButton); }, false},
  };
  for (const auto& [how, leave, chosen] : ways) {
    SCOPED_TRACE(how);
    service.SetCurrent(1);
    state.PrinterChosen = false;
    qtview::QueueModalAnswer([&, leave = leave](QDialog& d) {
      d.show();
      QStringList names;
      for (int i = 0; i < List(d)->count(); ++i) names << List(d)->item(i)->text();
      EXPECT_EQ(std::pair(names, List(d)->currentRow()), std::pair(QStringList({"Alpha", "Bravo", "Charlie"}), 1));
      // A screen reader tells the close box from the Cancel button.
      const auto named = [&d](const char* n) { return QAccessible::queryAccessibleInterface(d.findChild<QWidget*>(n))->text(QAccessible::Name); };
      EXPECT_EQ(std::pair(named("btnControl"), named("cbCancel")), std::pair(QString("Close"), QString("Cancel")));
      List(d)->setFocus();
      List(d)->setCurrentRow(0);
      leave(d);
    });
    std::optional<bool> ready;
    app::WhenPrinterReady(state, Chooser().Chooser(), {}, [&](bool ok) { ready = ok; });
    EXPECT_EQ(ready, chosen);
    // Nothing of the hidden chooser is left for a screen reader (its rows would read as shown and focused).
    EXPECT_EQ(std::tuple(service.CurrentIndex(), Chooser().isVisible(), QAccessible::queryAccessibleInterface(List(Chooser()))->childCount()),
              std::tuple(chosen ? 0 : 1, false, 0));
  }
  EXPECT_EQ(std::pair(qtview::UnansweredModals(), qtview::PendingModalAnswers()), std::pair(0, 0));
}

// The print system end to end: the virtual PDF printer that
// scripts/cups-setup.sh installs writes every job as a PDF file into
// /var/spool/cups-pdf/vantorel. Where the print system cannot run, the test skips.
TEST(PrintSystem, TheListArrivesAsAPdf) {
  const int status = std::system("bash '" VANTOREL_SOURCE_DIR "/scripts/cups-setup.sh'");
  qtview::SystemPrintService service;
  const std::vector<std::string> printers = service.Printers();
  const auto index = std::find(printers.begin(), printers.end(), "VantorelPDF") - printers.begin();
  if (status != 0 || index == std::ssize(printers))
    GTEST_SKIP() << "No VantorelPDF to print on; scripts/cups-setup.sh exited " << status;
  const std::string list = "VtlList" + std::to_string(getpid()) + "x" + std::to_string(time(nullptr));  // a new job name
  // The chooser starts at the print system's default printer; the user picks the virtual one.
  qtview::SetModalTestMode(true);
  qtview::QueueModalAnswer([&](QDialog& d) {
    EXPECT_EQ(List(d)->currentItem()->text().toStdString() + "\n",
              Shell("lpstat -d | sed -n 's/^system default destination: //p'"));
    List(d)->setCurrentRow(static_cast<int>(index));
    Press(d, "cbOK");
  });
  State state = DefaultState();
  PseudoCalc(state);
  QWidget main;
  frmSelectPrinter& chooser = SelectPrinterWindow(&main, service, state, 0x00404000);
  std::optional<std::string> printed = "not printed";
  app::WhenPrinterReady(state, chooser.Chooser(), {}, [&](bool ok) {
    if (ok) printed = app::PrintListOnCurrentPrinter(state, service, list);
  });
  EXPECT_EQ(printed, std::nullopt);
  qtview::SetModalTestMode(false);
  EXPECT_EQ(service.CurrentDeviceName(), "VantorelPDF");
  // A printer the print system does not know: nothing goes to another one.
  const auto job = qtview::QtPrintJob::ForPrinter("Vantorel No Such Printer", "Vantorel");
  EXPECT_EQ((job->Print("x"), job->EndDoc()), "The printer \"Vantorel No Such Printer\" is no longer installed.");
  // The print system holds the job once the page is made: given up after the wait, and said.
  const auto held = qtview::QtPrintJob::ForPrinter("VantorelPDF", "Vantorel", 600000);
  held->Print("x"), held->SendWithin(3000);
  const PrintSystemAt silent(fs::temp_directory_path() / ("vantorel-held-" + std::to_string(getpid())), true);
  EXPECT_EQ(held->EndDoc(), "The print system did not answer within 3 seconds; nothing was printed on \"VantorelPDF\".");
  // The complete PDF, waited for at most a minute.
  const std::string pdf = Shell("for i in $(seq 300); do f=$(ls /var/spool/cups-pdf/vantorel/*" + list +
                                "*.pdf 2>/dev/null | head -n 1) && pdfinfo \"$f\" >/dev/null 2>&1 && printf %s \"$f\" && break;"
                                " sleep 0.2; done");
  ASSERT_FALSE(pdf.empty()) << "no PDF for " << list;
  EXPECT_EQ(Shell("pdfinfo '" + pdf + "' | grep -E '^(Title|Pages):' | tr -s ' '"), "Title: (" + list + ")\nPages: 1\n");
  fs::remove(pdf);
}
