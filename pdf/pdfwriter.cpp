#include "pdf/pdfwriter.h"

#include <hpdf.h>
#include <hpdf_doc.h>  // the document's memory and object table, for MendToUnicode

#include <algorithm>
#include <cmath>
#include <ctime>
#include <iomanip>
#include <map>
#include <sstream>
#include <vector>

#include "pdf/fontfiles.h"
#include "model/utf8.h"
#include "platform/files.h"
#include "platform/pdf.h"

namespace vantorel::pdf {

namespace {

// A colour channel (0 to 255) as the PDF library takes it: 0 to 1.
float Unit(int channel) { return static_cast<float>(channel) / 255.0f; }

// A4 in whole points, and quarter-inch margins: the print jobs' PDF page.
constexpr double kPageWidth = 595;
constexpr double kPageHeight = 842;
constexpr double kMargin = 18;
constexpr double kTwipsPerPoint = 20;
constexpr double kTwipsPerPixel = 15;  // a screen pixel
constexpr int kTwipsPerInch = 1440;
// Far beyond the page, yet well inside the PDF library's single-precision numbers.
constexpr double kFarPoints = 1.0e6;
constexpr double kDefaultPoints = 8.25;

bool Finite(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

HPDF_REAL Real(double points) { return static_cast<HPDF_REAL>(std::clamp(points, -kFarPoints, kFarPoints)); }

// Page coordinates in points (origin bottom left, y upwards) of a position
// in twips on the printable area (origin top left, y downwards).
double PageX(double twips) { return kMargin + twips / kTwipsPerPoint; }
double PageY(double twips) { return kPageHeight - kMargin - twips / kTwipsPerPoint; }

// The text as the embedded fonts take it: valid UTF-8 of the basic
// multilingual plane, control characters (a NUL too) as blanks.
std::string PrintableUtf8(std::string_view text) {
  std::string out;
  for (char32_t cp : DecodeUtf8(text)) AppendUtf8(out, cp < 0x20 ? U' ' : cp > 0xFFFF ? U'\uFFFD' : cp);
  return out;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// libharu gives a font with the UTF-8 encoding its encoding map as the map
// from codes to characters, which readers cannot parse (pdftotext warns,
// copied text may come out wrong). The codes are the characters' own 16-bit
// values, so the map in its place is the identity over the basic
// multilingual plane, surrogates left out.
bool MendToUnicode(HPDF_Doc pdf, HPDF_Font font) {
  std::vector<int> blocks;  // high bytes of the 256-code ranges
  for (int high = 0; high < 256; ++high)
    if (high < 0xD8 || high > 0xDF) blocks.push_back(high);
  std::ostringstream map;
  map << std::hex << std::uppercase << std::setfill('0');
  map << "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
         "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
         "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
         "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  for (size_t at = 0; at < blocks.size(); at += 100) {  // at most 100 ranges a section
    const size_t end = std::min(blocks.size(), at + 100);
    map << std::dec << end - at << std::hex << " beginbfrange\n";
    for (size_t i = at; i < end; ++i)
      map << "<" << std::setw(2) << blocks[i] << "00> <" << std::setw(2) << blocks[i] << "FF> <" << std::setw(2)
          << blocks[i] << "00>\n";
    map << "endbfrange\n";
  }
  map << "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
  const std::string text = map.str();
  HPDF_Dict stream = HPDF_DictStream_New(pdf->mmgr, pdf->xref);
  if (!stream) return false;
  stream->filter = HPDF_STREAM_FILTER_FLATE_DECODE;
  return HPDF_Stream_Write(stream->stream, reinterpret_cast<const HPDF_BYTE*>(text.data()),
                           static_cast<HPDF_UINT>(text.size())) == HPDF_OK &&
         HPDF_Dict_Add(font, "ToUnicode", stream) == HPDF_OK;
}

}  // namespace

struct PdfDocument::Doc {
  HPDF_Doc pdf = nullptr;
  HPDF_Page page = nullptr;
  HPDF_STATUS failure = HPDF_OK;            // the PDF library's first error
  std::map<std::string, HPDF_Font> byFile;  // the fonts loaded, by file and face number
  std::map<std::string, HPDF_Font> byFace;  // and by the faces asked for

  explicit Doc(const std::string& title) {
    pdf = HPDF_New(
        [](HPDF_STATUS error, HPDF_STATUS, void* self) {
          auto* doc = static_cast<Doc*>(self);
          if (doc->failure == HPDF_OK) doc->failure = error;
        },
        this);
    if (!pdf) return;
    HPDF_SetCompressionMode(pdf, HPDF_COMP_ALL);
    // Texts in UTF-8: the title is then written in UTF-16, as PDF readers take it.
    HPDF_UseUTFEncodings(pdf);
    HPDF_SetCurrentEncoder(pdf, "UTF-8");
    HPDF_SetInfoAttr(pdf, HPDF_INFO_TITLE, PrintableUtf8(title).c_str());
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    if (gmtime_r(&now, &utc))
      HPDF_SetInfoDateAttr(pdf, HPDF_INFO_CREATION_DATE,
                           {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, 'Z',
                            0, 0});
  }
  ~Doc() {
    if (pdf) HPDF_Free(pdf);
  }
  Doc(const Doc&) = delete;
  Doc& operator=(const Doc&) = delete;

  std::optional<std::string> Failure() const {
    if (!pdf) return "The PDF library could not start.";
    if (failure == HPDF_OK) return std::nullopt;
    std::ostringstream why;
    why << "The PDF page could not be made (error 0x" << std::hex << std::uppercase << failure << " of libharu).";
    return why.str();
  }

  std::optional<std::string> Finish(std::string& bytes) {
    if (HPDF_SaveToStream(pdf) != HPDF_OK) return Failure();
    bytes.clear();
    HPDF_ResetStream(pdf);
    for (;;) {
      HPDF_BYTE buf[16384];
      HPDF_UINT32 size = sizeof buf;
      const HPDF_STATUS s = HPDF_ReadFromStream(pdf, buf, &size);
      bytes.append(reinterpret_cast<const char*>(buf), size);
      if (s == HPDF_STREAM_EOF) break;
      if (s != HPDF_OK || size == 0) {
        bytes.clear();
        return Failure();
      }
    }
    return std::nullopt;
  }
};

struct PdfDocument::Face {
  HPDF_Font font = nullptr;
  double points = kDefaultPoints;
  bool underline = false;
  bool strikethru = false;

  double Ascent() const { return HPDF_Font_GetAscent(font) * points / 1000; }
  double LineSpacing() const { return (HPDF_Font_GetAscent(font) - HPDF_Font_GetDescent(font)) * points / 1000; }
  double Width(std::string_view text) const {
    double units = 0;
    for (char32_t cp : DecodeUtf8(PrintableUtf8(text)))
      units += HPDF_Font_GetUnicodeWidth(font, static_cast<HPDF_UNICODE>(cp));
    return units * points / 1000;
  }
};

PdfDocument::PdfDocument(std::string title) : title_(std::move(title)) {
  surfaceFont_.name = "Courier New";
  surfaceFont_.size = 10;
}

PdfDocument::~PdfDocument() = default;

bool PdfDocument::Open() const { return doc_ && doc_->page; }

PdfDocument::Doc* PdfDocument::Page() {
  if (error_) return nullptr;
  if (!doc_) doc_ = std::make_unique<Doc>(title_);
  if (!doc_->page && doc_->pdf) {
    doc_->page = HPDF_AddPage(doc_->pdf);
    if (doc_->page) {
      HPDF_Page_SetWidth(doc_->page, kPageWidth);
      HPDF_Page_SetHeight(doc_->page, kPageHeight);
    }
  }
  if (auto failure = doc_->Failure()) {
    error_ = failure;
    return nullptr;
  }
  return doc_.get();
}

std::optional<PdfDocument::Face> PdfDocument::FaceFor(const platform::FontSpec& want) const {
  if (!doc_) doc_ = std::make_unique<Doc>(title_);
  Doc& d = *doc_;
  if (!d.pdf) return std::nullopt;
  Face face;
  face.points = std::isfinite(want.size) && want.size > 0 ? std::min(want.size, double{HPDF_MAX_FONTSIZE})
                                                          : kDefaultPoints;
  face.underline = want.underline;
  face.strikethru = want.strikethru;
  platform::FontSpec kind = want;
  kind.size = face.points;
  std::string key = (want.bold ? "b" : "") + std::string(want.italic ? "i" : "");
  for (const std::string& family : FamiliesFor(kind)) key += "|" + family;
  if (auto known = d.byFace.find(key); known != d.byFace.end()) {
    face.font = known->second;
    return face;
  }
  const std::optional<FontFile> file = FindFontFile(kind);
  if (!file) {
    if (!error_) error_ = "No TrueType font for " + Quoted(want.name) + " is installed.";
    return std::nullopt;
  }
  const std::string fileKey = file->path + "#" + std::to_string(file->index);
  HPDF_Font& font = d.byFile[fileKey];
  if (!font) {
    const char* name = file->index > 0 || file->path.ends_with(".ttc")
                           ? HPDF_LoadTTFontFromFile2(d.pdf, file->path.c_str(), file->index, HPDF_TRUE)
                           : HPDF_LoadTTFontFromFile(d.pdf, file->path.c_str(), HPDF_TRUE);
    font = name ? HPDF_GetFont(d.pdf, name, "UTF-8") : nullptr;
    if (font && !MendToUnicode(d.pdf, font)) font = nullptr;
  }
  if (!font) {
    d.byFile.erase(fileKey);
    if (!error_) error_ = "The font file " + Quoted(file->path) + " cannot be used.";
    return std::nullopt;
  }
  d.byFace[key] = font;
  face.font = font;
  return face;
}

double PdfDocument::ScaleWidth() const { return (kPageWidth - 2 * kMargin) * kTwipsPerPoint; }

double PdfDocument::ScaleHeight() const { return (kPageHeight - 2 * kMargin) * kTwipsPerPoint; }

void PdfDocument::Cls() {
  curX_ = 0;
  curY_ = 0;
}

void PdfDocument::SetDrawWidth(int pixels) { drawWidth_ = pixels < 1 ? 1 : pixels; }

void PdfDocument::Stroke(platform::Colour c, double width, bool roundEnds) {
  HPDF_Page page = doc_->page;
  HPDF_Page_SetRGBStroke(page, Unit(platform::RedOf(c)), Unit(platform::GreenOf(c)), Unit(platform::BlueOf(c)));
  HPDF_Page_SetLineWidth(page, Real(std::min(width, double{HPDF_MAX_LINEWIDTH})));
  HPDF_Page_SetLineCap(page, roundEnds ? HPDF_ROUND_END : HPDF_PROJECTING_SCUARE_END);
  HPDF_Page_SetLineJoin(page, roundEnds ? HPDF_ROUND_JOIN : HPDF_MITER_JOIN);
}

void PdfDocument::Line(double x1, double y1, double x2, double y2, platform::Colour c) {
  if (Finite({x1, y1, x2, y2}) && Page()) {
    Stroke(c, drawWidth_ * kTwipsPerPixel / kTwipsPerPoint, true);
    HPDF_Page_MoveTo(doc_->page, Real(PageX(x1)), Real(PageY(y1)));
    HPDF_Page_LineTo(doc_->page, Real(PageX(x2)), Real(PageY(y2)));
    HPDF_Page_Stroke(doc_->page);
  }
  curX_ = x2;
  curY_ = y2;
}

void PdfDocument::Box(double x1, double y1, double x2, double y2, platform::Colour c) {
  if (Finite({x1, y1, x2, y2}) && Page()) {
    Stroke(c, drawWidth_ * kTwipsPerPixel / kTwipsPerPoint, false);
    const double left = PageX(std::min(x1, x2)), bottom = PageY(std::max(y1, y2));
    HPDF_Page_Rectangle(doc_->page, Real(left), Real(bottom), Real(std::abs(x2 - x1) / kTwipsPerPoint),
                        Real(std::abs(y2 - y1) / kTwipsPerPoint));
    HPDF_Page_Stroke(doc_->page);
  }
  curX_ = x2;
  curY_ = y2;
}

void PdfDocument::PSet(double x, double y, platform::Colour c) {
  if (Finite({x, y}) && Page()) {
    const double d = drawWidth_ * kTwipsPerPixel / kTwipsPerPoint;
    HPDF_Page_SetRGBFill(doc_->page, Unit(platform::RedOf(c)), Unit(platform::GreenOf(c)), Unit(platform::BlueOf(c)));
    HPDF_Page_Rectangle(doc_->page, Real(PageX(x) - d / 2), Real(PageY(y) - d / 2), Real(d), Real(d));
    HPDF_Page_Fill(doc_->page);
  }
  curX_ = x;
  curY_ = y;
}

void PdfDocument::Circle(double x, double y, double radius, platform::Colour c) {
  if (Finite({x, y, radius}) && Page()) {
    Stroke(c, drawWidth_ * kTwipsPerPixel / kTwipsPerPoint, false);
    HPDF_Page_Circle(doc_->page, Real(PageX(x)), Real(PageY(y)), Real(std::abs(radius) / kTwipsPerPoint));
    HPDF_Page_Stroke(doc_->page);
  }
  curX_ = x;
  curY_ = y;
}

double PdfDocument::TextWidth(std::string_view text) const {
  const auto face = FaceFor(surfaceFont_);
  return face ? face->Width(text) * kTwipsPerPoint : 0;
}

double PdfDocument::TextHeight(std::string_view) const {
  const auto face = FaceFor(surfaceFont_);
  return face ? face->LineSpacing() * kTwipsPerPoint : 0;
}

// The text with its top left at (x, y) twips, turned angleTenths tenths of a
// degree counter-clockwise about that corner.
void PdfDocument::Text(std::string_view text, const Face& face, double x, double y, int angleTenths) {
  const std::string utf8 = PrintableUtf8(text);
  if (utf8.empty() || !Finite({x, y}) || !Page()) return;
  const double turn = angleTenths / 10.0 * std::acos(-1.0) / 180;
  const double cosA = std::cos(turn), sinA = std::sin(turn);
  // The baseline starts an ascent below the top left, across the turned line.
  const double ascent = face.Ascent();
  const double baseX = PageX(x) + ascent * sinA, baseY = PageY(y) - ascent * cosA;
  HPDF_Page page = doc_->page;
  HPDF_Page_SetRGBFill(page, Unit(platform::RedOf(fore_)), Unit(platform::GreenOf(fore_)),
                       Unit(platform::BlueOf(fore_)));
  HPDF_Page_BeginText(page);
  HPDF_Page_SetFontAndSize(page, face.font, Real(face.points));
  HPDF_Page_SetTextMatrix(page, Real(cosA), Real(sinA), Real(-sinA), Real(cosA), Real(baseX), Real(baseY));
  HPDF_Page_ShowText(page, utf8.c_str());
  HPDF_Page_EndText(page);
  // Underline and strike-through: strokes along the baseline, below it and
  // through the middle of the small letters.
  const double width = face.Width(utf8);
  for (const auto& [on, rise] :
       {std::pair{face.underline, -face.points / 8}, std::pair{face.strikethru, face.points / 4}}) {
    if (!on) continue;
    HPDF_Page_SetRGBStroke(page, Unit(platform::RedOf(fore_)), Unit(platform::GreenOf(fore_)),
                           Unit(platform::BlueOf(fore_)));
    HPDF_Page_SetLineWidth(page, Real(face.points / 16));
    HPDF_Page_SetLineCap(page, HPDF_BUTT_END);
    const double fromX = baseX - rise * sinA, fromY = baseY + rise * cosA;
    HPDF_Page_MoveTo(page, Real(fromX), Real(fromY));
    HPDF_Page_LineTo(page, Real(fromX + width * cosA), Real(fromY + width * sinA));
    HPDF_Page_Stroke(page);
  }
}

void PdfDocument::Print(std::string_view text, bool endLine) {
  const auto face = FaceFor(surfaceFont_);
  // Printing anything, even an empty line, opens the document.
  if (!face || !Page()) return;
  Text(text, *face, curX_, curY_, 0);
  if (endLine) {
    curX_ = 0;
    curY_ += face->LineSpacing() * kTwipsPerPoint;
  } else {
    curX_ += face->Width(text) * kTwipsPerPoint;
  }
}

void PdfDocument::PrintRotated(std::string_view text, const platform::FontSpec& font, double pixelHeight,
                               int angleTenths) {
  auto face = FaceFor(font);
  if (!face || !Page()) return;
  // The height in whole dots of the page (one twip each); anything outside 1
  // to 10000 keeps the font's point size.
  const double dots = pixelHeight * kTwipsPerPixel;
  if (std::isfinite(dots) && dots >= 1 && dots <= 10000) face->points = std::floor(dots + 0.5) / kTwipsPerPoint;
  Text(text, *face, curX_, curY_, angleTenths);
  curX_ = 0;
  curY_ += face->LineSpacing() * kTwipsPerPoint;
}

int PdfDocument::DpiY() const { return kTwipsPerInch; }

std::optional<std::string> PdfDocument::EndDoc() {
  curX_ = 0;
  curY_ = 0;
  std::optional<std::string> problem = std::move(error_);
  error_.reset();
  if (!problem && Open()) problem = doc_->Failure();
  if (!problem && Open()) problem = doc_->Finish(bytes_);
  if (problem || Open()) doc_.reset();
  return problem;
}

}  // namespace vantorel::pdf

std::optional<std::string> vantorel::platform::WriteNewPdf(const std::string& path, const std::string& documentName,
                                                           const platform::DrawDocument& draw) {
  if (platform::NameTaken(path)) return "The file " + path + " already exists.";
  pdf::PdfDocument document(documentName);
  if (auto problem = draw(document)) return "Cannot make " + path + ": " + *problem;
  // A document left open is ended as it stands.
  if (document.Open())
    if (auto problem = document.EndDoc()) return "Cannot make " + path + ": " + *problem;
  if (document.Bytes().empty()) return "Cannot make " + path + ": nothing was drawn.";
  const WriteResult w = platform::WriteNewFile(path, document.Bytes());
  if (w.status != WriteStatus::Ok) return w.message;
  return std::nullopt;
}
