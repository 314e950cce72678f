// Printing through CUPS on the virtual PDF printer that scripts/cups-setup.sh
// installs: cups-pdf writes every job it receives as a PDF file into the
// folder that script sets. Where the print system cannot run, the test skips.
#include <gtest/gtest.h>

#include <QDialog>
#include <QImage>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

#include "model/clicktable.h"
#include "output/printcommands.h"
#include "platform/modal.h"

using namespace vantorel;

namespace {

std::string Shell(const std::string& command) {
  std::string out;
  char buf[4096];
  FILE* f = popen(command.c_str(), "r");
  for (size_t n; f && (n = fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
  if (f) pclose(f);
  return out;
}

// The complete PDF that cups-pdf wrote for the job, waited for at most a
// minute; empty when none came.
std::string AwaitPdf(const std::string& job) {
  return Shell("for i in $(seq 300); do f=$(ls /var/spool/cups-pdf/vantorel/*" + job +
               "*.pdf 2>/dev/null | head -n 1) && pdfinfo \"$f\" >/dev/null 2>&1 && printf %s \"$f\" && break;"
               " sleep 0.2; done");
}

}  // namespace

TEST(PrintSystem, ListAndWindowPictureArriveAsPdfs) {
  // The project's set-up starts the scheduler and adds the printer if needed.
  const int status = std::system("bash '" VANTOREL_SOURCE_DIR "/scripts/cups-setup.sh'");
  platform::SystemPrintService service;
  const std::vector<std::string> printers = service.Printers();
  const auto index = std::find(printers.begin(), printers.end(), "VantorelPDF") - printers.begin();
  if (status != 0 || index == std::ssize(printers))
    GTEST_SKIP() << "No VantorelPDF to print on; scripts/cups-setup.sh exited " << status;
  const std::string stamp = std::to_string(getpid()) + "x" + std::to_string(time(nullptr));
  const std::string list = "VtlList" + stamp, window = "VtlWindow" + stamp;  // new job names

  // The chooser starts at the print system's default printer; the user picks
  // the virtual one.
  platform::SetModalTestMode(true);
  platform::QueueModalAnswer([&](QDialog& d) {
    auto* names = d.findChild<QListWidget*>("List1");
    EXPECT_EQ(names->currentItem()->text().toStdString() + "\n",
              Shell("lpstat -d | sed -n 's/^system default destination: //p'"));
    names->setCurrentRow(static_cast<int>(index));
    d.findChild<QPushButton*>("cbOK")->click();
  });
  State state = DefaultState();
  PseudoCalc(state);
  QWidget main;
  EXPECT_EQ(PrintListOnCurrentPrinter(state, service, &main, list), std::nullopt);
  platform::SetModalTestMode(false);
  EXPECT_EQ(service.CurrentDeviceName(), "VantorelPDF");
  QImage picture(574, 439, QImage::Format_RGB32);
  picture.fill(QColor(0, 64, 64));
  EXPECT_EQ(PrintWindowPicture(service, picture, window), std::nullopt);

  const std::string listPdf = AwaitPdf(list), windowPdf = AwaitPdf(window);
  ASSERT_FALSE(listPdf.empty() || windowPdf.empty()) << "no PDF for " << list << " or " << window;
  EXPECT_EQ(Shell("pdfinfo '" + listPdf + "' | grep -E '^(Title|Pages):' | tr -s ' '"),
            "Title: (" + list + ")\nPages: 1\n");
  EXPECT_NE(Shell("pdfimages -list '" + windowPdf + "' | tail -n +3"), "");  // the page carries a picture
  std::remove(listPdf.c_str());
  std::remove(windowPdf.c_str());
}
