// The user scenarios against the browser's page in a real headless
// Chromium, once with the window as on the desktop and once upright at a
// phone's 390 by 844: clicks and keys go in through the DevTools protocol's
// input events, as a user's would (scripts/cdp.py carries them).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "conformance.h"
#include "platform/memorystore.h"
#include "settings/settings.h"

extern char** environ;

namespace vantorel::conformance {
namespace {

// The site `make web` builds (make test builds it before these tests).
const std::string kSite = VANTOREL_SOURCE_DIR "/build-web/site";

// The page's site and the DevTools client, kept for the whole run.
class Bridge {
 public:
  static Bridge& Get() {
    static Bridge bridge;
    return bridge;
  }
  // The answer to a command; a failure fails the test.
  std::string Ask(const std::string& op, const std::string& payload) {
    const std::string line = op + " " + std::to_string(payload.size()) + "\n" + payload;
    if (::write(in_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) throw std::runtime_error("bridge gone");
    std::string head;
    for (char c = 0; c != '\n';) {
      if (::read(out_, &c, 1) != 1) throw std::runtime_error("bridge gone");
      if (c != '\n') head += c;
    }
    const bool failed = !head.empty() && head[0] == '!';
    std::string body(std::stoul(head.substr(failed ? 1 : 0)), '\0');
    for (size_t got = 0; got < body.size();) {
      const ssize_t n = ::read(out_, body.data() + got, body.size() - got);
      if (n <= 0) throw std::runtime_error("bridge gone");
      got += static_cast<size_t>(n);
    }
    if (failed) ADD_FAILURE() << op << ": " << body;
    return body;
  }
  std::string Eval(const std::string& js) { return Ask("eval", js); }
  void Send(const std::string& method, const std::string& params) { Ask("send", method + " " + params); }
  const std::string& Url() const { return url_; }

 private:
  Bridge() {
    const std::string site = kSite;
    int toChild[2], fromChild[2];
    if (::pipe(toChild) || ::pipe(fromChild)) throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    const std::string script = VANTOREL_SOURCE_DIR "/scripts/cdp.py";
    char* argv[] = {const_cast<char*>("/usr/bin/python3"), const_cast<char*>(script.c_str()),
                    const_cast<char*>("serve"), const_cast<char*>(site.c_str()), nullptr};
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv, environ)) throw std::runtime_error("no python3");
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]), ::close(fromChild[1]);
    in_ = toChild[1], out_ = fromChild[0];
    std::string line;
    for (char c = 0; ::read(out_, &c, 1) == 1 && c != '\n';) line += c;
    if (!line.starts_with("ready ")) throw std::runtime_error("the browser did not start: " + line);
    url_ = line.substr(6);
  }
  ~Bridge() {
    Ask("quit", "");
    ::close(in_), ::close(out_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  pid_t pid_ = 0;
  int in_ = -1, out_ = -1;
  std::string url_;
};

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\', out += c;
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out + "\"";
}

// The page's store as lines: "K root path", then "V name type hex-bytes" for each value.
constexpr char kReadTree[] = R"((async () => {
  const db = await new Promise((ok, no) => { const r = indexedDB.open('Vantorel', 1); r.onsuccess = () => ok(r.result); r.onerror = no; });
  const tree = await new Promise((ok) => { const g = db.transaction('settings').objectStore('settings').get('tree'); g.onsuccess = () => ok(g.result); });
  db.close();
  const hex = (d) => Array.from(d, (b) => b.toString(16).padStart(2, '0')).join('');
  return tree ? tree.keys.map((k) => 'K\t' + k.root + '\t' + k.path + '\n' + k.values.map((v) => 'V\t' + v.name + '\t' + v.type + '\t' + hex(v.data) + '\n').join('')).join('') : '';
})())";

template <bool kPortrait>
class BrowserDriver : public Driver {
 public:
  void Start() override {
    if (!std::filesystem::exists(kSite + "/vantorel.wasm")) GTEST_SKIP() << "no site in " << kSite << " (make web)";
    Bridge& b = Bridge::Get();
    b.Send("Emulation.setDeviceMetricsOverride", kPortrait ? R"({"width":390,"height":844,"deviceScaleFactor":1,"mobile":true})"
                                                           : R"({"width":800,"height":600,"deviceScaleFactor":1,"mobile":false})");
    b.Send("Storage.clearDataForOrigin", R"({"origin":)" + Quoted(b.Url().substr(0, b.Url().size() - 1)) + R"(,"storageTypes":"all"})");
    Load();
  }
  void Click(Id control) override { Mouse(control, "left", 0); }
  void RightClick(Id control, int shift) override { Mouse(control, "right", shift); }
  void Hover(Id control) override {
    const auto [x, y] = Centre(control);
    Input("Input.dispatchMouseEvent", R"({"type":"mouseMoved","x":)" + x + R"(,"y":)" + y + "}");
  }
  void Press(Key key, int shift) override {
    static const char* const keys[][3] = {{"Enter", "Enter", "13"}, {" ", "Space", "32"}, {"Escape", "Escape", "27"},
                                          {"Tab", "Tab", "9"}, {"a", "KeyA", "65"}, {"p", "KeyP", "80"}};
    const auto* k = keys[static_cast<int>(key)];
    // The protocol's modifiers: Alt 1, Ctrl 2, Meta 4, Shift 8.
    const int m = (shift & app::kAlt ? 1 : 0) | (shift & app::kCtrl ? 2 : 0) | (shift & app::kShift ? 8 : 0);
    const std::string common = std::string(R"("key":")") + k[0] + R"(","code":")" + k[1] +
                               R"(","windowsVirtualKeyCode":)" + k[2] + R"(,"modifiers":)" + std::to_string(m);
    const bool printable = key == Key::Space || key == Key::Enter;
    Input("Input.dispatchKeyEvent", std::string(R"({"type":")") + (printable ? "keyDown" : "rawKeyDown") + R"(",)" +
                                        common + (printable ? std::string(R"(,"text":")") + (key == Key::Space ? " " : "\\r") + "\"" : "") + "}");
    Input("Input.dispatchKeyEvent", R"({"type":"keyUp",)" + common + "}");
  }
  void Type(const std::string& text) override { Input("Input.insertText", R"({"text":)" + Quoted(text) + "}"); }
  // A modal window that an action opened is answered at once, as the other views' drivers do.
  void AnswerModals() {
    while (Js("vantorel.view.modal ? '1' : '0'") == "1") Answer();
  }
  void Settle() override {
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);;) {
      const std::string state = Js("vantorel.view.modal ? 'modal' : vantorel.view.ended || [2, 5].includes(vantorel.phase()) ? 'rest' : 'busy'");
      if (state == "rest") return;
      if (state == "modal") Answer();
      ASSERT_LT(std::chrono::steady_clock::now(), end) << "the page did not come to rest";
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  void Turn() override { Js("new Promise((ok) => setTimeout(() => ok(''), 20))"); }

  std::string Text(Id control) override { return Js("vantorel.view.text(" + Num(control) + ")"); }
  bool Enabled(Id control) override { return Js(Of(control) + ".element.classList.contains('disabled') ? '0' : '1'") == "1"; }
  bool Visible(Id control) override { return Js(Of(control) + ".element.closest('[hidden]') ? '0' : '1'") == "1"; }
  std::optional<Id> Focus() override {
    const int id = std::stoi(Js("String(vantorel.view.focused())"));
    return id < 0 ? std::nullopt : std::optional(static_cast<Id>(id));
  }
  int Tick(Id control) override {
    return std::stoi(Js("((b) => String(b.indeterminate ? 2 : b.checked ? 1 : 0))(" + Of(control) + ".inner)"));
  }
  std::string ToolTip(Id control) override { return Js(Of(control) + ".element.title"); }
  std::string Announced() override { return Js("document.getElementById('announce').dataset.said || ''"); }
  Said Heard(Id control) override {
    const std::string named = "((c) => c.kind === 'tick' || c.kind === 'list' ? c.inner : c.element)(" + Of(control) + ")";
    const std::string heard = Js("((e) => (e.getAttribute('aria-label') || e.textContent) + '\\t' + (e.getAttribute('aria-description') || ''))(" + named + ")");
    return {heard.substr(0, heard.find('\t')), heard.substr(heard.find('\t') + 1)};
  }
  std::string Selected(Id field) override {
    return Js("((f) => f.value.substring(f.selectionStart, f.selectionEnd))(" + Of(field) + ".inner)");
  }
  app::Phase Phase() override { return static_cast<app::Phase>(std::stoi(Js("String(vantorel.phase())"))); }
  bool Ended() override { return Js("vantorel.view.ended ? '1' : '0'") == "1"; }
  std::vector<std::string> Told() override {
    AnswerModals();
    return told_;
  }
  std::string Saved(const char* name) override {
    platform::MemoryStore store;
    Tree(store);
    return GetRegSetting(store, BuildSettingsPath("Vantorel"), name, "none");
  }
  void Restart(const std::vector<std::pair<const char*, const char*>>& saved) override {
    platform::MemoryStore store;
    Tree(store);
    for (auto [name, value] : saved) SaveRegSetting(store, BuildSettingsPath("Vantorel"), name, value);
    store.DeleteValue(platform::store::kLocalMachine, BuildSettingsPath("Vantorel"), "Check");  // edited by hand
    std::string keys;
    for (const auto& k : store.Snapshot()) {
      keys += "{root:" + std::to_string(k.root) + ",path:" + Quoted(k.path) + ",values:[";
      for (const auto& [name, v] : k.values) {
        keys += "{name:" + Quoted(name) + ",type:" + std::to_string(v.type) + ",data:new Uint8Array([";
        for (const char c : v.data) keys += std::to_string(static_cast<unsigned char>(c)) + ",";
        keys += "])},";
      }
      keys += "]},";
    }
    Js(R"((async () => { const db = await new Promise((ok) => { const r = indexedDB.open('Vantorel', 1); r.onsuccess = () => ok(r.result); });
      await new Promise((ok) => { const t = db.transaction('settings', 'readwrite'); t.objectStore('settings').put({format: 1, writer: 'test', keys: [)" +
       keys + R"(]}, 'tree'); t.oncomplete = ok; }); db.close(); return ''; })())");
    Load();
  }
  std::string ChooseNext(int) override { return "This browser's print dialog"; }
  std::string Printed() override { return Js("String(window.printedPages || 0)") + " This browser's print dialog"; }
  std::string Exported(const std::string& name) override { return "Downloads/" + name; }
  platform::Image Picture() override {
    const app::WindowLayout& l = Layout();
    platform::Image p;
    p.width = platform::TwipsToPixels(l.width), p.height = platform::TwipsToPixels(l.height);
    const std::string hex = Js("((w, h) => { const out = new Uint32Array(w * h); vantorel.view.windowPicture(out, w, h); "
                               "return Array.from(out, (p) => (p & 0xFFFFFF).toString(16).padStart(6, '0')).join(''); })(" +
                               std::to_string(p.width) + "," + std::to_string(p.height) + ")");
    for (size_t i = 0; i + 6 <= hex.size(); i += 6) p.pixels.push_back(0xFF000000u | std::stoul(hex.substr(i, 6), nullptr, 16));
    return p;
  }
  bool SavesOnFit() const override { return true; }
  const app::WindowLayout& Layout() const override {
    return kPortrait ? app::MainWindowPortraitLayout() : app::MainWindowLayout();
  }

 private:
  static std::string Num(Id id) { return std::to_string(app::Index(id)); }
  static std::string Of(Id id) { return "vantorel.view.controls[" + Num(id) + "]"; }
  std::string Js(const std::string& js) { return Bridge::Get().Eval(js); }
  void Input(const std::string& method, const std::string& params) {
    Bridge::Get().Send(method, params);
    if (method != "Input.dispatchMouseEvent" || params.find("mouseReleased") != std::string::npos || params.find("mouseMoved") != std::string::npos)
      if (!answering_) AnswerModals();
  }

  // A fresh page: printing counted instead of a print dialog; at rest once
  // loaded, its start-up messages answered.
  void Load() {
    Bridge& b = Bridge::Get();
    b.Send("Page.addScriptToEvaluateOnNewDocument", R"({"source":"window.print = () => { window.printedPages = (window.printedPages || 0) + 1; };"})");
    Js("window.leaving = 1; ''");  // the old page is marked, so that its readiness is not taken for the new one's
    b.Send("Page.navigate", R"({"url":)" + Quoted(b.Url()) + "}");
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         Js("!window.leaving && document.body && document.body.dataset.ready === '1' ? '1' : '0'") != "1";) {
      ASSERT_LT(std::chrono::steady_clock::now(), end) << "the page did not start";
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Settle();
    // The printer count is in once Print List takes clicks.
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         !Ended() && !Enabled(Element(Id::cbButton0, kPrintList));) {
      ASSERT_LT(std::chrono::steady_clock::now(), end) << "the printer count did not come";
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  // A control's centre on the screen, scrolled into view.
  std::pair<std::string, std::string> Centre(Id control) {
    const std::string at = Js("((c) => { const e = c.kind === 'tick' ? c.inner : c.element; e.scrollIntoView({block: 'nearest'}); "
                              "const r = e.getBoundingClientRect(); return Math.round(r.left + r.width / 2) + ' ' + Math.round(r.top + r.height / 2); })(" +
                              Of(control) + ")");
    return {at.substr(0, at.find(' ')), at.substr(at.find(' ') + 1)};
  }
  void Mouse(Id control, const char* button, int shift) {
    const auto [x, y] = Centre(control);
    const int m = (shift & app::kAlt ? 1 : 0) | (shift & app::kCtrl ? 2 : 0) | (shift & app::kShift ? 8 : 0);
    for (const char* type : {"mousePressed", "mouseReleased"})
      Input("Input.dispatchMouseEvent", std::string(R"({"type":")") + type + R"(","x":)" + x + R"(,"y":)" + y + R"(,"button":")" +
                                            button + R"(","clickCount":1,"modifiers":)" + std::to_string(m) + "}");
  }
  // The modal window showing: noted, and closed with its own button.
  void Answer() {
    const std::string said = Js("((m) => m.id === 'box' ? m.querySelector('h2').textContent + '|' + m.querySelector('p').textContent : "
                                "vantorel.view.text(vantorel.view.byName.Title) + '|' + vantorel.view.text(vantorel.view.byName.Body))(vantorel.view.modal.element)");
    told_.push_back(said);
    answering_ = true;
    const std::string at = Js("((m) => { const b = m.querySelector('button'); const r = b.getBoundingClientRect(); "
                              "return Math.round(r.left + r.width / 2) + ' ' + Math.round(r.top + r.height / 2); })(vantorel.view.modal.element)");
    for (const char* type : {"mousePressed", "mouseReleased"})
      Input("Input.dispatchMouseEvent", std::string(R"({"type":")") + type + R"(","x":)" + at.substr(0, at.find(' ')) + R"(,"y":)" +
                                            at.substr(at.find(' ') + 1) + R"(,"button":"left","clickCount":1})");
    answering_ = false;
  }
  // The page's store, as a test reads it.
  void Tree(platform::MemoryStore& store) {
    std::string key;
    int32_t root = 0;
    const std::string lines = Js(kReadTree);
    for (size_t at = 0, end; (end = lines.find('\n', at)) != std::string::npos; at = end + 1) {
      std::vector<std::string> f;
      for (size_t p = at, tab;; p = tab + 1) {
        tab = std::min(lines.find('\t', p), end);
        f.push_back(lines.substr(p, tab - p));
        if (tab == end) break;
      }
      if (f[0] == "K") root = std::stoi(f[1]), key = f[2], store.Put(root, key, {});
      if (f[0] != "V") continue;
      std::string data;
      for (size_t i = 0; i + 2 <= f[3].size(); i += 2) data += static_cast<char>(std::stoi(f[3].substr(i, 2), nullptr, 16));
      store.Put(root, key, {{f[1], {std::stoi(f[2]), data}}});
    }
  }
  std::vector<std::string> told_;
  bool answering_ = false;
};

}  // namespace

using WindowDriver = BrowserDriver<false>;
using PortraitDriver = BrowserDriver<true>;
INSTANTIATE_TYPED_TEST_SUITE_P(Browser, Conformance, WindowDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(BrowserPortrait, Conformance, PortraitDriver);

}  // namespace vantorel::conformance
