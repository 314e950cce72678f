// What the user gets out of the window: the error window itself, "Save as
// CSV", "Print List" and the printed picture of the window (Ctrl+P), with
// the printers replaced by PDF files.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "entry/commands.h"
#include "entry/rows.h"
#include "output/csvexport.h"
#include "platform/printing.h"
#include "shell/errorwindow.h"
#include "window_fixture.h"

using namespace vantorel;
namespace fs = std::filesystem;

namespace {

// Picks the printer at position row in the chooser and presses OK.
void ChoosePrinter(int row) {
  platform::QueueModalAnswer([row](QDialog& d) {
    d.findChild<QListWidget*>("List1")->setCurrentRow(row);
    QTest::mouseClick(d.findChild<QPushButton*>("cbOK"), Qt::LeftButton);
  });
}

}  // namespace

TEST_F(WindowTest, ErrorWindowLooksAndClosesAsDocumented) {
  Start();
  std::vector<std::string> seen;
  for (const char* key : {"esc", "close", "enter"}) {
    platform::QueueModalAnswer([&, key](QDialog& d) {
      auto& e = static_cast<frmError&>(d);
      seen.push_back(e.Title()->text().toStdString() + "|" + e.Body()->text().toStdString());
      EXPECT_EQ(d.size(), QSize(286, 178));  // 4290 by 2670 twips
      EXPECT_EQ(e.Title()->geometry(), QRect(15, 13, 258, 26));
      EXPECT_EQ(e.Body()->geometry(), QRect(25, 46, 242, 73));
      EXPECT_EQ(e.cbClose()->geometry(), QRect(108, 134, 84, 36));
      EXPECT_EQ(e.cbClose()->text(), "Close");
      d.show();
      const QImage shot = d.grab().toImage();
      // The 1-pixel outline on the edge pixels of all four sides.
      for (QPoint at : {QPoint(0, 100), QPoint(285, 100), QPoint(140, 0), QPoint(140, 177)})
        EXPECT_EQ(shot.pixelColor(at), QColor(0xFF, 0xBF, 0xBF)) << at.x() << "," << at.y();
      for (QPoint at : {QPoint(1, 100), QPoint(284, 100), QPoint(140, 1), QPoint(140, 176)})
        EXPECT_EQ(shot.pixelColor(at), QColor(0, 0x40, 0x40)) << at.x() << "," << at.y();
      QTest::keyClick(&d, Qt::Key_A);  // other keys leave it open
      EXPECT_TRUE(d.isVisible());
      if (std::string(key) == "esc")
        QTest::keyClick(&d, Qt::Key_Escape);
      else if (std::string(key) == "enter")
        QTest::keyClick(e.cbClose(), Qt::Key_Return);
      else
        QTest::mouseClick(e.cbClose(), Qt::LeftButton);
      EXPECT_FALSE(d.isVisible());
    });
  }
  ShowError("First", "One\r\nTwo");
  ShowError("Second", "Three");
  ShowError("Third", "Four");
  EXPECT_EQ(seen, (std::vector<std::string>{"First|One\nTwo", "Second|Three", "Third|Four"}));
  EXPECT_EQ(platform::UnansweredModals(), 0);
}

TEST_F(WindowTest, SaveAsCsvWritesNumberedFilesAndSaysWhere) {
  Start();
  w->SetExportFolder(dir.string());
  std::vector<QString> told;
  for (int k = 0; k < 2; ++k)
    platform::QueueModalAnswer([&](QDialog& d) {
      auto& box = static_cast<QMessageBox&>(d);
      told.push_back(box.windowTitle() + "|" + box.text());
      EXPECT_EQ(box.icon(), QMessageBox::Information);
      box.accept();
    });
  w->cbButton_Click(kSaveCsv);
  w->cbButton_Click(kSaveCsv);
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[0], "File Saved|File saved as\n" + QString::fromStdString((dir / "VTL_0001.CSV").string()));
  EXPECT_EQ(told[1], "File Saved|File saved as\n" + QString::fromStdString((dir / "VTL_0002.CSV").string()));
  std::ifstream in(dir / "VTL_0001.CSV", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), CsvText(w->state()));
}

TEST_F(WindowTest, SaveAsCsvFailureIsReportedAndNothingIsWritten) {
  Start();
  w->SetExportFolder((dir / "missing").string());
  // Nor can it fall back on the documents folder.
  { std::ofstream(dir / "plain") << ""; }
  { std::ofstream(dir / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"" << (dir / "plain").string() << "\"\n"; }
  std::string title;
  platform::QueueModalAnswer([&](QDialog& d) {
    title = static_cast<frmError&>(d).Title()->text().toStdString();
    d.reject();
  });
  w->cbButton_Click(kSaveCsv);
  EXPECT_EQ(title, "File Not Saved");
  EXPECT_FALSE(fs::exists(dir / "missing"));
  EXPECT_FALSE(w->Ended());
}

TEST_F(WindowTest, PrintListAndWindowPictureGoToTheChosenPrinter) {
  const fs::path pdf = dir / "page.pdf";
  auto service = std::make_unique<platform::PdfPrintService>(std::vector<std::string>{"Alpha", "Bravo"}, 0, pdf.string());
  auto* printers = service.get();
  // Installed before the load, as the window would find the system's printers.
  state = State{};
  state.SettingsPath = BuildSettingsPath("Vantorel");
  w = std::make_unique<frmMain>(state, "Vantorel");
  w->SetCompletePause(0);
  w->SetPrintService(std::move(service));
  w->Form_Load();
  EXPECT_FALSE(w->Commands->cbButton[kPrintList]->isEnabled());  // until the printer count arrives
  EXPECT_TRUE(QTest::qWaitFor([&] { return w->Commands->cbButton[kPrintList]->isEnabled(); }));
  EXPECT_TRUE(w->Commands->cbButton[kSaveCsv]->isEnabled());

  // Cancelling the chooser prints nothing.
  platform::QueueModalAnswer([](QDialog& d) { QTest::mouseClick(d.findChild<QPushButton*>("cbCancel"), Qt::LeftButton); });
  w->cbButton_Click(kPrintList);
  EXPECT_EQ(printers->JobsStarted(), 0);
  EXPECT_FALSE(w->state().PrinterChosen);

  ChoosePrinter(1);
  w->cbButton_Click(kPrintList);
  EXPECT_TRUE(w->state().PrinterChosen);
  EXPECT_EQ(printers->CurrentIndex(), 1);
  EXPECT_EQ(printers->JobsStarted(), 1);
  ASSERT_TRUE(fs::exists(pdf));
  fs::remove(pdf);

  // Ctrl+P, also with Shift: the chooser is not asked again.
  QTest::keyClick(w->Rows->RTxt[0], Qt::Key_P, Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier));
  EXPECT_EQ(printers->JobsStarted(), 2);
  EXPECT_TRUE(fs::exists(pdf));
  EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull());
  EXPECT_EQ(w->Rows->RTxt[0]->text(), "10");
  QTest::keyClick(w->Rows->RTxt[0], Qt::Key_P);  // P alone is typed
  EXPECT_EQ(w->Rows->RTxt[0]->text(), "10p");
  EXPECT_EQ(printers->JobsStarted(), 2);
  EXPECT_EQ(platform::UnansweredModals(), 0);
}

TEST_F(WindowTest, WithoutPrintersTheCommandsStayDisabled) {
  state = State{};
  state.SettingsPath = BuildSettingsPath("Vantorel");
  w = std::make_unique<frmMain>(state, "Vantorel");
  auto service = std::make_unique<platform::PdfPrintService>(std::vector<std::string>{}, -1, (dir / "x.pdf").string());
  auto* printers = service.get();
  w->SetPrintService(std::move(service));
  w->Form_Load();
  EXPECT_FALSE(w->Commands->cbButton[kPrintList]->isEnabled());
  EXPECT_FALSE(w->Commands->cbButton[kSaveCsv]->isEnabled());
  EXPECT_TRUE(w->Commands->cbButton[kCalculate]->isEnabled());
  QTest::keyClick(w.get(), Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(printers->JobsStarted(), 0);
  EXPECT_EQ(platform::UnansweredModals(), 0);
  // After a fit the two stay as the load left them.
  w->cbButton_Click(kCalculate);
  EXPECT_FALSE(w->Commands->cbButton[kPrintList]->isEnabled());
}

TEST_F(WindowTest, PrinterChooserTakesEnterAsOkAndEscAsCancel) {
  state = State{};
  state.SettingsPath = BuildSettingsPath("Vantorel");
  w = std::make_unique<frmMain>(state, "Vantorel");
  auto service = std::make_unique<platform::PdfPrintService>(std::vector<std::string>{"A", "B"}, 0, (dir / "p.pdf").string());
  auto* printers = service.get();
  w->SetPrintService(std::move(service));
  w->Form_Load();
  // The printer count arrives after the window shows.
  ASSERT_TRUE(QTest::qWaitFor([&] { return w->Commands->cbButton[kPrintList]->isEnabled(); }));
  for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
    platform::QueueModalAnswer([key](QDialog& d) {
      d.show();
      auto* list = d.findChild<QListWidget*>("List1");
      EXPECT_EQ(d.focusWidget(), list);
      ExpectTextsFit(&d);
      list->setCurrentRow(1);
      // The chooser's outline: 2 pixels from the edge, teal inside.
      const QImage shot = d.grab().toImage();
      EXPECT_EQ(shot.pixelColor(1, 100), QColor(0xFF, 0xBF, 0xBF));
      EXPECT_EQ(shot.pixelColor(d.width() - 2, 100), QColor(0xFF, 0xBF, 0xBF));
      EXPECT_EQ(shot.pixelColor(2, 100), QColor(0, 0x40, 0x40));
      QTest::keyClick(list, static_cast<Qt::Key>(key));
    });
    w->cbButton_Click(kPrintList);
    EXPECT_EQ(state.PrinterChosen, key == Qt::Key_Return);
  }
  EXPECT_EQ(printers->CurrentDeviceName(), "B");
  EXPECT_EQ(printers->JobsStarted(), 1);
}
