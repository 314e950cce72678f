#include "output/printlist.h"

#include "model/numtext.h"
#include "model/trajectory.h"
#include "output/clicklist.h"

namespace vantorel {

namespace {

constexpr double kLeftEdge = 500;  // twips: title, header lines and table rows start here
constexpr int kCells = 4;

constexpr const char* kHeaderRange =
    " Range   Clicks         Range   Clicks         Range   Clicks         Range   Clicks";
constexpr const char* kHeaderMetric =
    "   (m)   (Clk)            (m)   (Clk)            (m)   (Clk)            (m)   (Clk)";
constexpr const char* kHeaderImperial =
    "  (Yd)   (Clk)           (Yd)   (Clk)           (Yd)   (Clk)           (Yd)   (Clk)";
constexpr const char* kNoMeasurement = "          ";  // ten spaces in place of "(52)      "

constexpr int kBlack = 0, kDarkRed = 4, kGrey = 8, kWhite = 15;

// Moves the print position to x = 500 on the current line by setting a white
// point there (white on white paper leaves no mark).
void MoveToLeftEdge(platform::PrinterSurface& p) { p.PSet(kLeftEdge, p.CurrentY(), platform::QBColor(kWhite)); }

void SetBold(platform::PrinterSurface& p, bool bold) {
  platform::FontSpec f = p.Font();
  f.bold = bold;
  p.SetFont(f);
}

void SetSize(platform::PrinterSurface& p, double points) {
  platform::FontSpec f = p.Font();
  f.size = points;
  p.SetFont(f);
}

// The first data point (0 to 5) whose range is r, ticked or not; -1 for none.
int DataPointAt(const State& s, int r) {
  for (int i = 0; i < kRows; ++i)
    if (s.DataRange[static_cast<size_t>(i)] == r) return i;
  return -1;
}

}  // namespace

std::string Fancy(std::string_view text, int mode) { return PadTo(text, 5, mode); }

int PrintedRows(const State& s) { return s.MaxDataRange <= 100 ? 25 : 50; }

std::optional<std::string> Print_List(const State& s, platform::PrinterSurface& p, std::string_view programName) {
  const int rows = PrintedRows(s);

  platform::FontSpec font = p.Font();
  font.name = "Courier New";
  font.size = 18;
  p.SetFont(font);

  // Title line.
  p.Print("");
  MoveToLeftEdge(p);
  p.Print(programName);

  // Column headers.
  SetSize(p, rows == 25 ? 10 : 8);
  p.Print("");
  p.Print("");
  MoveToLeftEdge(p);
  p.Print(kHeaderRange);
  MoveToLeftEdge(p);
  p.Print(s.MetricUnits ? kHeaderMetric : kHeaderImperial);
  p.Print("");

  // The table: cell k of row n is for range n + k * rows.
  const ModelParams params = s.Params();
  for (int n = 1; n <= rows; ++n) {
    MoveToLeftEdge(p);
    for (int k = 0; k < kCells; ++k) {
      const int r = n + k * rows;
      SetBold(p, false);
      p.SetForeColor(platform::QBColor(r > s.MaxDataRange || r < s.MinDataRange ? kGrey : kBlack));
      const int point = DataPointAt(s, r);
      if (point >= 0) {
        p.SetForeColor(platform::QBColor(kDarkRed));
        SetBold(p, true);
      }
      const double clicks = ClicksToDial(params, r, s.MetricUnits);
      std::string cell = k == 0 ? " " : "";
      cell += Fancy(FormatNumber(r, "0"), 0);
      cell += " : ";
      cell += Fancy(FormatNumber(clicks, "0"), 1);
      p.Print(cell, false);
      const bool lastCell = k == kCells - 1;
      if (point >= 0)
        p.Print(Fancy(FormatNumber(s.DataClicks[static_cast<size_t>(point)], "(0)"), 1) + Fancy(" ", 1), lastCell);
      else
        p.Print(kNoMeasurement, lastCell);
    }
  }

  // Colour legend, bold throughout, from the printer's left edge.
  p.Print("");
  SetBold(p, true);
  p.SetForeColor(platform::QBColor(kDarkRed));
  p.Print("       Calculated/(Entered) Data Point      ", false);
  p.SetForeColor(platform::QBColor(kBlack));
  p.Print("Interpolated Result     ", false);
  p.SetForeColor(platform::QBColor(kGrey));
  p.Print("Extrapolated Result");

  SetBold(p, false);
  return p.EndDoc();
}

}  // namespace vantorel
