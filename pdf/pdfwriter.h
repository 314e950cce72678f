// A printer surface that makes a PDF document in memory with libharu: one A4
// page with quarter-inch margins, as the print jobs' PDF pages have, its
// faces embedded from the TrueType files fontconfig finds for them
// (pdf/fontfiles.h) and measured in those files' own widths. Needs no
// window system and no print system.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/printer.h"

namespace vantorel::pdf {

class PdfDocument final : public platform::PrinterSurface {
 public:
  explicit PdfDocument(std::string title);
  ~PdfDocument() override;
  PdfDocument(const PdfDocument&) = delete;
  PdfDocument& operator=(const PdfDocument&) = delete;

  // The printable area of the page in twips.
  double ScaleWidth() const override;
  double ScaleHeight() const override;

  // Paper cannot be wiped: the current position goes back to the top left.
  void Cls() override;

  // Pen width in screen pixels (15 twips each), so lines keep their on-screen
  // weight on paper.
  void SetDrawWidth(int pixels) override;

  void Line(double x1, double y1, double x2, double y2, platform::Colour c) override;
  void Box(double x1, double y1, double x2, double y2, platform::Colour c) override;
  void PSet(double x, double y, platform::Colour c) override;
  void Circle(double x, double y, double radius, platform::Colour c) override;

  double TextWidth(std::string_view text) const override;
  // The height of one printed line in the current font.
  double TextHeight(std::string_view text) const override;

  void Print(std::string_view text, bool endLine = true) override;
  // pixelHeight counts screen pixels (15 twips each).
  void PrintRotated(std::string_view text, const platform::FontSpec& font, double pixelHeight,
                    int angleTenths) override;

  // A page in twips: 1440 dots per inch.
  int DpiY() const override;

  // Finishes the document; Bytes() then holds it, and what is drawn next
  // begins a new one. Returns what went wrong (no font for a face, the PDF
  // library failed); nullopt also when nothing had been drawn.
  std::optional<std::string> EndDoc() override;

  // True while a document is open (something has been drawn since the last
  // EndDoc).
  bool Open() const;

  // The PDF file the last EndDoc finished; empty before.
  const std::string& Bytes() const { return bytes_; }

 private:
  struct Doc;
  struct Face;
  // The open page, begun on the first thing drawn; nullptr after a failure.
  Doc* Page();
  // The font and size for a face; nullopt (and the reason kept) when there is none.
  std::optional<Face> FaceFor(const platform::FontSpec& want) const;
  void Stroke(platform::Colour c, double width, bool roundEnds);
  void Text(std::string_view text, const Face& face, double x, double y, int angleTenths);

  std::string title_;
  mutable std::unique_ptr<Doc> doc_;  // made for measuring too
  mutable std::optional<std::string> error_;
  std::string bytes_;
};

}  // namespace vantorel::pdf
