// What the user gets out of the window: the error window itself, "Save as
// CSV", "Print List" and the printed picture of the window (Ctrl+P), with
// the printers replaced by PDF files, and on the print system's own printers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <filesystem>
#include <fstream>

#include "print_system.h"
#include "window_fixture.h"

using namespace vantorel;
using namespace vantorel::qtview;
namespace fs = std::filesystem;

TEST_F(WindowTest, ErrorWindowLooksRightAndClosesByButtonEscOrEnter) {
  Start();
  std::vector<QString> seen;
  for (int how = 0; how < 3; ++how)
    qtview::QueueModalAnswer([&, how](QDialog& d) {
      auto& e = static_cast<frmError&>(d);
      seen.push_back(e.windowTitle() + "|" + e.Body()->text());  // the title a task switcher shows
      EXPECT_EQ(d.size(), QSize(286, 178));
      d.show();
      // The 1-pixel outline on the edge of all four sides, teal inside it.
      const QImage shot = d.grab().toImage();
      for (auto [x, y, dx, dy] : {std::array{0, 100, 1, 0}, {285, 100, -1, 0}, {140, 0, 0, 1}, {140, 177, 0, -1}})
        EXPECT_EQ(std::pair(shot.pixelColor(x, y) == QColor(0xFF, 0xBF, 0xBF), shot.pixelColor(x + dx, y + dy) == QColor(0, 0x40, 0x40)), std::pair(true, true)) << x << "," << y;
      QTest::keyClick(&d, Qt::Key_A);  // other keys leave it open
      EXPECT_TRUE(d.isVisible());
      how == 0 ? QTest::mouseClick(e.cbClose(), Qt::LeftButton) : QTest::keyClick(e.cbClose(), how == 1 ? Qt::Key_Escape : Qt::Key_Return);
      EXPECT_FALSE(d.isVisible()) << how;
    });
  ShowError("First", "One\r\nTwo");
  ShowError("Second", "Three");
  ShowError("Third", "Four");
  EXPECT_EQ(seen, (std::vector<QString>{"First|One\nTwo", "Second|Three", "Third|Four"}));
  // Runs with no place to break (a file name, a long number) are broken anywhere and shown whole.
  const QString name = "/home/Range_Cards_Winter_League_2026.Shooting_Club_Results.CSV", digits = QString(90, 'W') + QString(3000, '9');
  for (const QString& body : {name, digits}) Answer(), ShowError("Long", body.toStdString());
  EXPECT_EQ(told, (std::vector<QString>{"Long|" + name, "Long|" + digits}));
}

// Where it saved: the user scenarios.
TEST_F(WindowTest, SaveAsCsvSaysWhyItDidNotSave) {
  Start();
  // A folder that does not exist, and no documents folder (a long name, a file) to fall back on.
  w->SetExportFolder((dir / "missing").string());
  const fs::path plain = dir / "Shooting_Club_Results_and_Range_Cards_Winter_League_2026";
  { std::ofstream(plain) << ""; }
  { std::ofstream(dir / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"" << plain.string() << "\"\n"; }
  Answer();
  Press(kSaveCsv);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(std::pair(told[0].startsWith("File Not Saved|"), told[0].contains(QString::fromStdString(plain.string()))), std::pair(true, true)) << told[0].toStdString();
  EXPECT_FALSE(fs::exists(dir / "missing") || w->Ended());
}

TEST_F(WindowTest, PrintListAndCtrlPGoToTheChosenPrinter) {
  const fs::path pdf = dir / "page.pdf";
  Start();
  // The chooser, centred over the window with the focus on the list: Enter takes the marked printer.
  qtview::QueueModalAnswer([this](QDialog& d) {
    d.show();
    EXPECT_LE((d.geometry().center() - w->geometry().center()).manhattanLength(), 1);
    auto* list = d.findChild<QListWidget*>("List1");
    EXPECT_EQ(d.focusWidget(), list);
    ExpectTextsFit(&d);
    const QImage shot = d.grab().toImage();  // the outline 2 pixels wide, teal inside
    EXPECT_EQ(std::pair(shot.pixelColor(1, 100) == QColor(0xFF, 0xBF, 0xBF), shot.pixelColor(d.width() - 2, 100) == QColor(0xFF, 0xBF, 0xBF)), std::pair(true, true));
    EXPECT_EQ(shot.pixelColor(2, 100), QColor(0, 0x40, 0x40));
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Return);
  });
  Press(kPrintList);
  ASSERT_EQ(std::pair(w->state().PrinterChosen, fs::remove(pdf)), std::pair(true, true));
  QTest::keyClick(RangeField(0), Qt::Key_P, Qt::ControlModifier);  // the window also goes on the clipboard
  EXPECT_EQ(std::pair(fs::exists(pdf), QGuiApplication::clipboard()->image().isNull()), std::pair(true, false));
}

// CUPS_SERVER names first a print system that is not there, then a hung one
// that takes connections and never answers: nothing waits for it, and the
// PDF printer, then the only one, saves each page as the next free
// VTL_nnnn.PDF in the documents folder's Vantorel/ and says where.
TEST_F(WindowTest, WithoutAnAnsweringPrintSystemNothingWaitsAndPagesGoToPdfFiles) {
  const fs::path out = dir / "docs/Vantorel";
  { std::ofstream(dir / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"" << (dir / "docs").string() << "\"\n"; }
  const auto read = [](const fs::path& f) { std::ifstream in(f); return std::string(std::istreambuf_iterator<char>(in), {}); };
  std::string first;  // VTL_0001.PDF as first written
  systemPrinters = true;
  for (const bool hung : {false, true}) {
    SCOPED_TRACE(hung);
    const PrintSystemAt cups((dir / "cups").string(), hung);
    // Asked with no time limit, the hung print system would hold a closing that waited for it for ever.
    printWaitMs = hung ? INT32_MAX : platform::kPrintSystemWaitMs;
    Start("Vantorel", {}, false);
    if (hung) {
      Press(kCalculate);  // the fit ends and hands its controls back while the printer count is not in
      EXPECT_EQ(std::tuple(Button(kCalculate)->isEnabled(), RangeField(0)->isEnabled(), Label(0) != "(?)"), std::tuple(true, true, true));
      QTest::keyClick(w.get(), Qt::Key_P, Qt::ControlModifier);  // no printer count yet: nothing happens
      QTest::keyClick(w.get(), Qt::Key_Escape);
      EXPECT_TRUE(w->Ended());
      printWaitMs = platform::kPrintSystemWaitMs;
      Start("Vantorel", {}, false);
      Answer();  // before the chooser: why only the PDF printer is in it
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return Button(kPrintList)->isEnabled() && Button(kSaveCsv)->isEnabled(); }, 8000));
    qtview::QueueModalAnswer([](QDialog& d) {
      auto* list = d.findChild<QListWidget*>("List1");
      EXPECT_EQ(std::pair(list->count(), list->currentItem()->text()), std::pair(1, QString("Print to PDF file")));
      d.findChild<QPushButton*>("cbOK")->click();
    });
    Answer(), Press(kPrintList);
    Answer(), QTest::keyClick(w.get(), Qt::Key_P, Qt::ControlModifier);  // straight to the chosen printer
    const QString saved = "File Saved|File saved as\n" + QString::fromStdString(out.string()) + "/VTL_000%1.PDF";
    std::vector<QString> said{saved.arg(hung ? 3 : 1), saved.arg(hung ? 4 : 2)};
    if (hung) said.insert(said.begin(), "Print System|The print system did not answer within 3 seconds; only \"Print to PDF file\" is listed.");
    EXPECT_EQ(told, said);
    told.clear();
    if (first.empty()) first = read(out / "VTL_0001.PDF");
  }
  EXPECT_EQ(std::tuple(first.starts_with("%PDF-"), read(out / "VTL_0001.PDF") == first, read(out / "VTL_0004.PDF").starts_with("%PDF-")), std::tuple(true, true, true));
  EXPECT_EQ(fs::status(out).permissions(), fs::perms::owner_all);
}

// A queue of the print system that refuses jobs (cupsreject): the error window names it and the print system's reason.
TEST_F(WindowTest, APageThePrintSystemRefusesIsSaidSo) {
  const bool setUp = std::system("bash '" VANTOREL_SOURCE_DIR "/scripts/cups-setup.sh'") == 0;
  if (!setUp || !std::ranges::count(qtview::SystemPrintService().Printers(), "VantorelPDF")) GTEST_SKIP() << "no VantorelPDF";
  const struct Accepting { ~Accepting() { EXPECT_EQ(std::system("cupsaccept VantorelPDF"), 0); } } again;
  ASSERT_EQ(std::system("cupsreject VantorelPDF"), 0);
  systemPrinters = true;
  Start();
  qtview::QueueModalAnswer([](QDialog& d) {
    auto* list = d.findChild<QListWidget*>("List1");
    list->setCurrentItem(list->findItems("VantorelPDF", Qt::MatchExactly).value(0));
    d.findChild<QPushButton*>("cbOK")->click();
  });
  Answer(), Press(kPrintList);
  EXPECT_EQ(told, std::vector<QString>{"Printing Failed|The print system did not accept the page for the printer "
                                       "\"VantorelPDF\": Destination \"VantorelPDF\" is not accepting jobs."});
}
