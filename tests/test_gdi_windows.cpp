// The GDI picture box and printing under Wine (its drawing: the window
// picture compared with the Qt window's): Tahoma measures as Tahoma, the printed list goes through the spooler (also as a new file
// through a PDF printer), and a picture goes on the clipboard as a DIB.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "model/clicktable.h"
#include "output/printlist.h"
#include "windows/clipboard.h"
#include "windows/gdisurface.h"
#include "windows/pdf.h"
#include "windows/printing.h"

using namespace vantorel;
using windows::GdiPicture;

namespace {

struct WhiteBox : GdiPicture {
  WhiteBox(double left, double top, double w, double h) {
    SetBackColor(0xFFFFFF);
    SetForeColor(0);
    PlaceTwips(left, top, w, h);
  }
};

}  // namespace

TEST(GdiPicture, TahomaAndDensity) {
  // Wine's own Tahoma, 8.25 pt: 13 pixels a line at 96 dots per inch, "Scope Clicks" about 64 across.
  const WhiteBox box(0, 0, 1500, 1500);
  EXPECT_EQ(box.TextHeight("Scope Clicks"), 195.0);
  EXPECT_EQ(std::pair(box.TextWidth("Scope Clicks") >= 870, box.TextWidth("Scope Clicks") <= 1050), std::pair(true, true)) << box.TextWidth("Scope Clicks");
  // At 144 dots per inch the same twips take half as many pixels again, and text grows with them.
  GdiPicture dense(144);
  dense.PlaceTwips(690, 450, 5460, 2595);
  EXPECT_EQ(std::tuple(dense.Width(), dense.Height(), dense.OuterTwips().left, dense.DpiY()), std::tuple(546, 260, 690.0, 144));
  EXPECT_NEAR(dense.TextWidth("Scope Clicks"), box.TextWidth("Scope Clicks"), 60);
}

TEST(GdiPrinting, PrintedListGoesToAFileThroughTheSpooler) {
  State s = DefaultState();
  PseudoCalc(s);
  windows::SpoolerPrintService service;
  const std::vector<std::string> printers = service.Printers();
  EXPECT_EQ(std::pair(service.CountAsker()(), service.Unanswered()), std::pair(int(printers.size()), std::optional<std::string>()));
  // A printer that is not there prints nothing and says so (however long a
  // busy machine takes to say it).
  windows::GdiPrintJob gone("No Such Printer", "Vantorel", {}, 600000);
  EXPECT_EQ(Print_List(s, gone, "Vantorel"), "The printer \"No Such Printer\" is no longer installed.");
  if (printers.empty()) {  // no print system: nothing to print on, and the job says so
    EXPECT_EQ(std::pair(service.CurrentDeviceName(), Print_List(s, *service.StartJob("Vantorel"), "Vantorel")),
              std::pair(std::string(), std::optional<std::string>("No printer is installed.")));
    GTEST_SKIP() << "no printer: the page is not printed to a file";
  }
  // The page written into a file by the printer's driver, not sent to the printer.
  const std::filesystem::path out = std::filesystem::temp_directory_path() / "vantorel-printed-list.prn";
  std::filesystem::remove(out);
  windows::GdiPrintJob job(service.CurrentDeviceName(), "Vantorel", out.string(), 600000);
  EXPECT_EQ(std::pair(Print_List(s, job, "Vantorel"), job.Open()), std::pair(std::optional<std::string>(), false));
  std::ifstream in(out, std::ios::binary);
  const std::string page(std::istreambuf_iterator<char>(in), {});
  EXPECT_GT(page.size(), 1000u) << service.CurrentDeviceName();
  EXPECT_EQ(job.EndDoc(), std::nullopt);  // nothing more to send
}

// Under a print system that lists its printers and holds every job (print_wine.sh runs it), the page is
// given up after the print wait, and said.
TEST(GdiPrinting, AHeldJobIsGivenUpAndSaid) {
  if (!std::getenv("VANTOREL_JOBS_HELD")) GTEST_SKIP() << "needs the print system of tests/print/ipp_hold.py";
  windows::GdiPrintJob job("VantorelPDF", "Vantorel", {}, 600000);  // asked however long a busy machine takes
  EXPECT_EQ((job.Print("x"), job.SendWithin(3000), job.EndDoc()), "The print system did not answer within 3 seconds; the page for the printer \"VantorelPDF\" may not be printed.");
}

TEST(GdiPrinting, PdfThroughAPrinterIsANewFileOrNothing) {
  State s = DefaultState();
  PseudoCalc(s);
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "vantorel-pdf-test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string pdf = (folder / "list.pdf").string();
  int drawn = 0;
  double across = 0, paper = 0;
  POINT origin{-1, -1}, quarter{0, 0};
  const platform::DrawDocument list = [&](platform::PrinterSurface& page) {
    ++drawn;
    page.Print("");
    if (const auto* job = dynamic_cast<const windows::GdiPrintJob*>(&page); job && job->Caps()) {
      across = page.ScaleWidth(), paper = job->Caps()->paperWidth * 1440.0 / job->DpiX();
      origin = {job->Area().left, job->Area().top};
      quarter = {job->DpiX() / 4 - job->Caps()->offsetX, job->DpiY() / 4 - job->Caps()->offsetY};
    }
    return Print_List(s, page, "Vantorel");
  };
  // No such printer: said by name, nothing drawn, no file.
  EXPECT_EQ(windows::WriteNewPdfOn("Vantorel Test PDF", pdf, "Vantorel", list, 600000),
            "Cannot make " + pdf + ": PDF files are made by the printer \"Vantorel Test PDF\", and it is not installed.");
  EXPECT_EQ(std::pair(drawn, fs::is_empty(folder)), std::pair(0, true));
  const std::vector<std::string> printers = windows::SpoolerPrinters(600000).names;
  if (std::ranges::find(printers, "VantorelPDF") == printers.end())
    GTEST_SKIP() << "no printer VantorelPDF (scripts/cups-setup.sh makes it)";

  // The page as the printer's driver writes it, a quarter inch of paper kept on each side.
  EXPECT_EQ(windows::WriteNewPdfOn("VantorelPDF", pdf, "Vantorel", list, 600000), std::nullopt);
  EXPECT_EQ(std::pair(across > 0, across <= paper - 720), std::pair(true, true)) << across << " of " << paper;
  EXPECT_EQ(std::pair(origin.x, origin.y), std::pair(std::max(0L, quarter.x), std::max(0L, quarter.y)));
  ASSERT_TRUE(fs::exists(pdf));
  const auto size = fs::file_size(pdf);
  EXPECT_GT(size, 1000u);
  // Never over an existing file, and a failed document leaves nothing behind.
  EXPECT_EQ(windows::WriteNewPdfOn("VantorelPDF", pdf, "Vantorel", list, 600000), "The file " + pdf + " already exists.");
  const std::string other = (folder / "other.pdf").string();
  EXPECT_EQ(windows::WriteNewPdfOn("VantorelPDF", other, "Vantorel", [](platform::PrinterSurface& page) {
              page.Print("half a page");
              return std::optional<std::string>("The page went wrong.");
            }, 600000),
            "Cannot make " + other + ": The page went wrong.");
  EXPECT_EQ(std::pair(fs::file_size(pdf), std::distance(fs::directory_iterator(folder), {})), std::pair(size, decltype(std::distance(fs::directory_iterator(), {}))(1)));
  fs::remove_all(folder);
}

TEST(Clipboard, PictureGoesAsABottomUpDib) {
  // Three by two: the top row red, green, blue; the bottom row white, black, grey.
  const platform::Image picture{3, 2, 1.0, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF808080}};
  const auto check = [](HGLOBAL block) {
    ASSERT_TRUE(block);
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(block));
    ASSERT_TRUE(bytes);
    BITMAPINFOHEADER h;
    std::memcpy(&h, bytes, sizeof h);
    EXPECT_EQ(std::tuple(h.biSize, h.biWidth, h.biHeight, h.biBitCount, h.biCompression, h.biSizeImage),
              std::tuple(DWORD(sizeof h), 3L, 2L, WORD(24), DWORD(BI_RGB), DWORD(24)));
    // Rows of 12 bytes (9 and padding), the bottom row first; each pixel blue, green, red.
    const std::vector<uint8_t> rows(bytes + sizeof h, bytes + sizeof h + 24);
    EXPECT_EQ(rows, std::vector<uint8_t>({255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0,
                                          0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}));
    GlobalUnlock(block);
  };
  HGLOBAL own = windows::PackedDib(picture);
  check(own);
  GlobalFree(own);
  EXPECT_EQ(windows::PackedDib(platform::Image{}), nullptr);

  // Through the clipboard, where the block then belongs.
  HWND owner = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(owner);
  ASSERT_TRUE(windows::CopyToClipboard(owner, picture));
  ASSERT_TRUE(OpenClipboard(owner));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  check(GetClipboardData(CF_DIB));
  CloseClipboard();
  DestroyWindow(owner);
}
