// Printing through the real print system: CUPS with the virtual PDF printer
// that scripts/cups-setup.sh installs, whose backend (cups-pdf) writes every
// job it receives as a PDF file. Only that printer is ever printed on; on a
// machine whose print system cannot run, the tests say so and are skipped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <thread>
#include <unistd.h>

#include "model/clicktable.h"
#include "output/printcommands.h"
#include "platform/modal.h"
#include "platform/printing.h"

using namespace vantorel;
namespace fs = std::filesystem;

namespace {

constexpr const char* kPrinter = "VantorelPDF";

std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* f = popen(command.c_str(), "r");
  if (!f) return out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), f)) > 0) out.append(buf.data(), n);
  const int rc = pclose(f);
  if (status) *status = rc;
  return out;
}

// The folder cups-pdf writes into: its "Out" setting, with ${HOME} and
// ${USER} of the user who prints.
fs::path PdfFolder() {
  const passwd* pw = getpwuid(getuid());
  const std::string user = pw ? pw->pw_name : "root";
  const std::string home = pw ? pw->pw_dir : "/root";
  std::string out = "${HOME}/PDF";
  std::ifstream conf("/etc/cups/cups-pdf.conf");
  std::string line;
  while (std::getline(conf, line)) {
    if (line.rfind("Out ", 0) == 0) out = line.substr(4);
  }
  for (auto [var, value] : {std::pair<std::string, std::string>{"${HOME}", home}, {"${USER}", user}}) {
    for (size_t at; (at = out.find(var)) != std::string::npos;) out.replace(at, var.size(), value);
  }
  return out;
}

// A job name no earlier run has used.
std::string UniqueName(const char* what) {
  static int n = 0;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::string("Vtl") + what + std::to_string(getpid()) + "x" +
         std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) + "x" + std::to_string(++n);
}

// Waits (at most a minute) for a complete PDF whose name holds name.
std::optional<fs::path> AwaitPdf(const fs::path& folder, const std::string& name) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
      const std::string file = e.path().filename().string();
      if (file.find(name) == std::string::npos || e.path().extension() != ".pdf") continue;
      int status = -1;
      Shell("pdfinfo '" + e.path().string() + "' >/dev/null 2>&1", &status);
      if (status == 0) return e.path();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return std::nullopt;
}

// Pixels of the page's three text colours, rendered at 50 dots per inch.
struct Inks {
  int darkRed = 0, grey = 0, black = 0;
};
Inks InksOf(const fs::path& pdf) {
  const std::string png = pdf.string() + "-page";
  Shell("pdftoppm -r 50 -png -singlefile '" + pdf.string() + "' '" + png + "' 2>/dev/null");
  const QImage page(QString::fromStdString(png + ".png"));
  fs::remove(png + ".png");
  Inks inks;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x) {
      const QColor c = page.pixelColor(x, y);
      const int r = c.red(), g = c.green(), b = c.blue();
      if (r > 90 && r < 170 && g < 50 && b < 50) ++inks.darkRed;
      if (r > 100 && r < 160 && std::abs(r - g) < 12 && std::abs(g - b) < 12) ++inks.grey;
      if (r < 40 && g < 40 && b < 40) ++inks.black;
    }
  return inks;
}

class PrintSystem : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The project's own set-up: starts the scheduler and adds the printer
    // when needed, and returns at once when both are there.
    const std::string script = std::string(VANTOREL_SOURCE_DIR) + "/scripts/cups-setup.sh";
    setupOutput = Shell("bash '" + script + "' 2>&1", &setupStatus);
  }

  void SetUp() override {
    service = std::make_unique<platform::SystemPrintService>();
    const auto names = service->Printers();
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == kPrinter) index = static_cast<int>(i);
    if (index < 0) {
      GTEST_SKIP() << "The print system cannot run here, or has printers of its own and no " << kPrinter
                   << " (scripts/cups-setup.sh exited " << setupStatus << "): " << setupOutput;
    }
    folder = PdfFolder();
    platform::SetModalTestMode(true);
  }
  void TearDown() override { platform::SetModalTestMode(false); }

  static inline std::string setupOutput;
  static inline int setupStatus = -1;
  std::unique_ptr<platform::SystemPrintService> service;
  int index = -1;
  fs::path folder;
};

}  // namespace

TEST_F(PrintSystem, ListChosenInTheChooserArrivesAsAPdf) {
  State state = DefaultState();
  PseudoCalc(state);
  QWidget main;
  main.setGeometry(100, 100, 574, 439);
  const std::string name = UniqueName("List");

  // The user picks the virtual printer in the chooser.
  std::vector<std::string> listed;
  platform::QueueModalAnswer([&](QDialog& d) {
    auto* list = d.findChild<QListWidget*>("List1");
    for (int i = 0; i < list->count(); ++i) listed.push_back(list->item(i)->text().toStdString());
    list->setCurrentRow(index);
    d.findChild<QPushButton*>("cbOK")->click();
  });
  ASSERT_EQ(PrintListOnCurrentPrinter(state, *service, &main, name), std::nullopt);
  EXPECT_EQ(listed, service->Printers());
  EXPECT_TRUE(state.PrinterChosen);
  EXPECT_EQ(service->CurrentDeviceName(), kPrinter);
  EXPECT_EQ(platform::PendingModalAnswers(), 0);

  const auto pdf = AwaitPdf(folder, name);
  ASSERT_TRUE(pdf) << "no PDF named after " << name << " in " << folder;
  // The print system turns the text into glyph drawings, so the page is
  // checked by its title, its page count and its colours: dark red
  // data points, grey and black ranges.
  EXPECT_EQ(Shell("pdfinfo '" + pdf->string() + "' 2>/dev/null | grep -E '^(Title|Pages):' | tr -s ' '"),
            "Title: (" + name + ")\nPages: 1\n");
  const Inks inks = InksOf(*pdf);
  EXPECT_GT(inks.darkRed, 100);
  EXPECT_GT(inks.grey, 100);
  EXPECT_GT(inks.black, 100);
  fs::remove(*pdf);
}

TEST_F(PrintSystem, WindowPictureArrivesAsAPdf) {
  service->SetCurrent(index);
  const std::string name = UniqueName("Window");
  QImage picture(574, 439, QImage::Format_RGB32);
  picture.fill(QColor(0, 64, 64));
  {
    QPainter p(&picture);
    p.setPen(QPen(QColor(255, 191, 191), 2));
    p.drawRect(1, 1, 572, 437);
  }
  ASSERT_EQ(PrintWindowPicture(*service, picture, name), std::nullopt);
  const auto pdf = AwaitPdf(folder, name);
  ASSERT_TRUE(pdf) << "no PDF named after " << name << " in " << folder;
  // The page carries a picture.
  const std::string images = Shell("pdfimages -list '" + pdf->string() + "' 2>/dev/null | tail -n +3");
  EXPECT_FALSE(images.empty()) << images;
  fs::remove(*pdf);
}

TEST_F(PrintSystem, DefaultPrinterIsCurrentAtStart) {
  const std::string def = Shell("lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p'");
  if (def.empty()) GTEST_SKIP() << "the print system has no default printer";
  EXPECT_EQ(service->CurrentDeviceName() + "\n", def);
  EXPECT_GT(service->Count(), 0);
  // A position outside the collection changes nothing.
  service->SetCurrent(service->Count());
  EXPECT_EQ(service->CurrentDeviceName() + "\n", def);
}

int main(int argc, char** argv) {
  // Windows are never put on a screen, also when the test list is read at
  // build time.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
