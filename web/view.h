// The main window in a web page: the page builds its controls from the
// layouts this side hands it (LayoutJson), reports each event through the
// functions main.cpp exports, and does what the MainView calls ask. The
// event loop is the browser's: timers and turns are tasks the page queues,
// and modal windows are parts of the page that run a continuation when
// they close.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/mainwindow.h"
#include "web/canvas.h"

namespace vantorel::web {

// A window's layout as JSON for the page: its size and colour, and every
// control with its id, name, kind, parent, place in twips, caption, tooltip,
// font, colours, alignment, tab place and accessible name.
std::string LayoutJson(const app::WindowLayout& w);

class BrowserMeasure final : public platform::TextMeasure {
 public:
  int Width(const platform::FontSpec& font, std::string_view text) const override;
  int WrappedHeight(const platform::FontSpec& font, std::string_view text, int width) const override;
};

// The canvases the page keeps by number.
enum Canvas { kP0Canvas = 1, kP5Canvas = 2, kPageCanvas = 3 };

class PictureCanvas final : public CanvasSurface<platform::Surface> {
 public:
  explicit PictureCanvas(int canvas) : CanvasSurface(canvas, 1, true) {}
};

class WebMainView final : public app::MainView {
 public:
  // layout: the arrangement to build (the desktop's, or the portrait one).
  WebMainView(State& s, platform::Store& store, std::unique_ptr<platform::PrintService> printers,
              const app::WindowLayout& layout);
  ~WebMainView() override;

  void Form_Load(const std::string& decimalPoint);
  app::MainWindow& Logic() { return *logic_; }
  // What the page queued (a timer, a turn, a modal window closed) has come due.
  void Run(int token);

  void SetText(app::Id control, const std::string& text) override;
  std::string Text(app::Id control) const override;
  void SetLines(app::Id control, const std::vector<std::string>& lines) override;
  void SetToolTip(app::Id control, const std::string& text) override;
  void SetDescription(app::Id control, const std::string& text) override;
  void Announce(const std::string& text) override;
  void SetEnabled(app::Id control, bool on) override;
  void SetVisible(app::Id control, bool on) override;
  void SetTick(app::Id control, int value) override;
  bool SetFocus(app::Id control) override;
  std::optional<app::Id> Focused() const override;
  void SelectAll(app::Id field) override;
  void ShowStart(app::Id field) override;
  void Move(app::Id control, const app::Rect& where) override;
  void SetBackColour(app::Id control, platform::Colour colour) override;
  void Place(double, double) override {}  // the page places the window
  void ShowWindow() override;
  void HideWindow() override;
  void Flush() override {}
  void Repaint(app::Id) override {}  // the canvases show what is drawn at once
  void DrawOutline() override;
  const platform::TextMeasure& Measure() const override { return measure_; }
  void SetFont(app::Id control, const platform::FontSpec& font) override;
  void SetTimer1(bool on) override;
  void After(int ms, std::function<void()> then) override;
  void Turn(std::function<void()> then) override;
  void StartDrag() override {}  // the page does not move
  platform::Surface& P0() override { return p0_; }
  platform::Surface& P5() override { return p5_; }
  void ShowError(const std::string& title, const std::string& body, std::function<void()> then) override;
  void ShowBox(app::BoxKind kind, const std::string& title, const std::string& text,
               std::function<void()> then) override;
  platform::PrintService& Printers() override { return *printers_; }
  app::PrinterChooser& Chooser() override;
  platform::Image WindowPicture() override;
  void End(int status) override;

 private:
  int Queue(std::function<void()> then);

  State& s_;
  platform::Store& store_;
  const app::WindowLayout& layout_;
  std::unique_ptr<platform::PrintService> printers_;
  BrowserMeasure measure_;
  PictureCanvas p0_{kP0Canvas}, p5_{kP5Canvas};
  std::map<int, std::function<void()>> queued_;
  int nextToken_ = 1;
  std::unique_ptr<app::PrinterChooserView> chooserView_;
  std::unique_ptr<app::PrinterChooser> chooser_;
  std::unique_ptr<app::MainWindow> logic_;
};

}  // namespace vantorel::web
