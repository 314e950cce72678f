#include "web/view.h"

#include <cmath>
#include <cstdio>

#include "app/textfit.h"
#include "platform/look.h"
#include "platform/twips.h"

namespace vantorel::web {

using app::Id;

namespace {

void Quote(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", u);
      out += esc;
    } else {
      out += c;
    }
  }
  out += '"';
}

void Field(std::string& out, const char* name, std::string_view text) {
  out += ",\"";
  out += name;
  out += "\":";
  Quote(out, text);
}

void Field(std::string& out, const char* name, double v) {
  char num[32];
  std::snprintf(num, sizeof num, "%.17g", std::isfinite(v) ? v : 0.0);
  out += ",\"";
  out += name;
  out += "\":";
  out += num;
}

const char* KindName(app::ControlKind k) {
  using enum app::ControlKind;
  switch (k) {
    case Label: return "label";
    case TextBox: return "field";
    case CheckBox: return "tick";
    case Button: return "button";
    case ListBox: return "list";
    case PictureBox: return "picture";
    case Frame: return "frame";
    case CloseBox: return "close";
  }
  return "label";
}

const char* AlignName(app::Align a) {
  return a == app::Align::Left ? "left" : a == app::Align::Right ? "right" : "center";
}

// The printer chooser in a browser, which has its own print dialog.
class BrowserChooserView final : public app::PrinterChooserView {
 public:
  explicit BrowserChooserView(std::function<void()> confirm) : confirm_(std::move(confirm)) {}
  void ShowPrinters(const std::vector<std::string>&, int selected) override { selected_ = selected; }
  int SelectedPrinter() const override { return selected_; }
  void Warn(const std::string&, const std::string&) override {}
  void SetCloseBoxColour(platform::Colour) override {}
  // The browser's own print dialog is where a printer is chosen: the one
  // printer there is confirmed at once.
  void Open() override { confirm_(); }
  void Hide() override {}

 private:
  std::function<void()> confirm_;
  int selected_ = -1;
};

}  // namespace

std::string LayoutJson(const app::WindowLayout& w) {
  std::string out = "{\"id\":" + std::to_string(app::Index(w.id));
  Field(out, "name", w.name);
  Field(out, "caption", w.caption);
  Field(out, "width", w.width);
  Field(out, "height", w.height);
  Field(out, "back", w.backColour);
  out += ",\"controls\":[";
  bool first = true;
  for (const app::ControlLayout& c : w.controls) {
    if (!first) out += ',';
    first = false;
    out += "{\"id\":" + std::to_string(app::Index(c.id));
    Field(out, "name", c.name);
    Field(out, "kind", KindName(c.kind));
    Field(out, "parent", app::Index(c.parent));
    Field(out, "left", c.left);
    Field(out, "top", c.top);
    Field(out, "width", c.width);
    Field(out, "height", c.height);
    Field(out, "caption", c.caption);
    Field(out, "tip", c.toolTip);
    Field(out, "font", c.font.name);
    Field(out, "points", c.font.size);
    Field(out, "bold", c.font.bold ? 1 : 0);
    Field(out, "fore", c.foreColour);
    Field(out, "back", c.backColour);
    Field(out, "transparent", c.transparent ? 1 : 0);
    Field(out, "align", AlignName(c.align));
    Field(out, "middle", c.middle ? 1 : 0);
    Field(out, "tab", c.tabIndex);
    Field(out, "reader", c.accessibleName.empty() ? c.caption : c.accessibleName);
    Field(out, "visible", c.visible ? 1 : 0);
    Field(out, "hidden", c.hiddenFromReaders ? 1 : 0);
    Field(out, "border", c.border ? 1 : 0);
    out += '}';
  }
  out += "]}";
  return out;
}

int BrowserMeasure::Width(const platform::FontSpec& font, std::string_view text) const {
  const double w =
      vtjs_text_width(font.name.c_str(), FontPixels(font, 1), font.bold, font.italic, std::string(text).c_str());
  return platform::ClampRound(std::ceil(w), 0, 1000000);
}

int BrowserMeasure::WrappedHeight(const platform::FontSpec& font, std::string_view text, int width) const {
  return vtjs_wrapped_height(font.name.c_str(), FontPixels(font, 1), font.bold, std::string(text).c_str(), width);
}

WebMainView::WebMainView(State& s, platform::Store& store, std::unique_ptr<platform::PrintService> printers,
                         const app::WindowLayout& layout)
    : s_(s), store_(store), layout_(layout), printers_(std::move(printers)) {
  vtjs_layout(LayoutJson(layout_).c_str());
  vtjs_layout(LayoutJson(app::ErrorWindowLayout()).c_str());
  const app::WindowLayout& main = layout_;
  const app::ControlLayout& p0 = main.Control(Id::P0);
  const app::ControlLayout& p5 = main.Control(Id::P5);
  p0_.Resize(platform::TwipsToPixels(p0.width), platform::TwipsToPixels(p0.height));
  const int border = p5.border ? 2 : 0;
  p5_.Resize(platform::TwipsToPixels(p5.width) - border, platform::TwipsToPixels(p5.height) - border);
  p0_.SetBackColor(p0.backColour);
  p5_.SetBackColor(p5.backColour);
  p0_.SetFont(p0.font);
  p5_.SetFont(p5.font);
  p0_.SetForeColor(p0.foreColour);
  p5_.SetForeColor(p5.foreColour);
}

WebMainView::~WebMainView() = default;

void WebMainView::Form_Load(const std::string& decimalPoint) {
  app::MainWindow::Setup setup = app::MainWindow::ProgramSetup("Vantorel");
  setup.lockWaitMs = 0;
  setup.decimalPoint = decimalPoint;
  setup.layout = &layout_;
  setup.saveOnFit = true;
  // The browser's print dialog is the printer chooser.
  s_.PrinterChosen = true;
  logic_ = std::make_unique<app::MainWindow>(s_, store_, *this, setup);
  logic_->Form_Load();
}

void WebMainView::Run(int token) {
  const auto it = queued_.find(token);
  if (it == queued_.end()) return;
  const std::function<void()> then = std::move(it->second);
  queued_.erase(it);
  if (then) then();
}

int WebMainView::Queue(std::function<void()> then) {
  const int token = nextToken_++;
  if (nextToken_ == 0x7FFFFFFF) nextToken_ = 1;
  queued_[token] = std::move(then);
  return token;
}

void WebMainView::SetText(Id control, const std::string& text) {
  vtjs_set_text(static_cast<int>(control), text.c_str());
}
std::string WebMainView::Text(Id control) const { return Taken(vtjs_text(static_cast<int>(control))); }
void WebMainView::SetLines(Id control, const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) joined += line + "\n";
  vtjs_set_lines(static_cast<int>(control), joined.c_str());
}
void WebMainView::SetToolTip(Id control, const std::string& text) {
  vtjs_set_tooltip(static_cast<int>(control), text.c_str());
}
void WebMainView::SetDescription(Id control, const std::string& text) {
  vtjs_set_description(static_cast<int>(control), text.c_str());
}
void WebMainView::Announce(const std::string& text) { vtjs_announce(text.c_str()); }
void WebMainView::SetEnabled(Id control, bool on) { vtjs_set_enabled(static_cast<int>(control), on); }
void WebMainView::SetVisible(Id control, bool on) { vtjs_set_visible(static_cast<int>(control), on); }
void WebMainView::SetTick(Id control, int value) { vtjs_set_tick(static_cast<int>(control), value); }
bool WebMainView::SetFocus(Id control) { return vtjs_set_focus(static_cast<int>(control)) != 0; }
std::optional<Id> WebMainView::Focused() const {
  const int id = vtjs_focused();
  if (id < 0 || static_cast<size_t>(id) >= app::kIdCount) return std::nullopt;
  return static_cast<Id>(id);
}
void WebMainView::SelectAll(Id field) { vtjs_select_all(static_cast<int>(field)); }
void WebMainView::ShowStart(Id field) { vtjs_show_start(static_cast<int>(field)); }
void WebMainView::Move(Id control, const app::Rect& r) {
  vtjs_move(static_cast<int>(control), r.left, r.top, r.width, r.height);
}
void WebMainView::SetBackColour(Id control, platform::Colour colour) {
  vtjs_set_back(static_cast<int>(control), colour);
}
void WebMainView::ShowWindow() { vtjs_show_window(1); }
void WebMainView::HideWindow() { vtjs_show_window(0); }
void WebMainView::DrawOutline() { vtjs_draw_outline(); }
void WebMainView::SetFont(Id control, const platform::FontSpec& f) {
  vtjs_set_font(static_cast<int>(control), f.name.c_str(), f.size, f.bold, f.italic);
}
void WebMainView::SetTimer1(bool on) { vtjs_set_timer(on); }
void WebMainView::After(int ms, std::function<void()> then) { vtjs_after(ms, Queue(std::move(then))); }
void WebMainView::Turn(std::function<void()> then) { vtjs_turn(Queue(std::move(then))); }

void WebMainView::ShowError(const std::string& title, const std::string& body, std::function<void()> then) {
  const app::ErrorBodyFit fit = app::FitErrorBody(measure_, body, 100000, 0);
  vtjs_show_error(title.c_str(), body.c_str(), Queue(std::move(then)), fit.font.size, fit.areaTwips, fit.closeTopTwips,
                  fit.windowTwips, fit.scrolls);
}

void WebMainView::ShowBox(app::BoxKind kind, const std::string& title, const std::string& text,
                          std::function<void()> then) {
  vtjs_show_box(kind == app::BoxKind::Critical ? 1 : 0, title.c_str(), text.c_str(), Queue(std::move(then)));
}

app::PrinterChooser& WebMainView::Chooser() {
  if (!chooser_) {
    chooserView_ = std::make_unique<BrowserChooserView>([this] {
      Turn([this] {
        if (chooser_ && chooser_->Showing()) chooser_->cbOK_Click();
      });
    });
    chooser_ = std::make_unique<app::PrinterChooser>(*printers_, s_, *chooserView_);
  }
  return *chooser_;
}

platform::Image WebMainView::WindowPicture() {
  const app::WindowLayout& main = layout_;
  platform::Image picture;
  picture.width = platform::TwipsToPixels(main.width);
  picture.height = platform::TwipsToPixels(main.height);
  picture.pixels.assign(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height), 0);
  if (!vtjs_window_picture(picture.pixels.data(), picture.width, picture.height)) return {};
  return picture;
}

void WebMainView::End(int status) { vtjs_end(status); }

}  // namespace vantorel::web
