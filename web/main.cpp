// Vantorel in a web page. The page (page.js) loads the settings from the
// site's IndexedDB database into the store (vt_store_*), then starts the
// window (vt_start) and reports each event to the functions below; every
// call returns at once, and nothing here waits.
#include <emscripten/emscripten.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "model/state.h"
#include "settings/settings.h"
#include "web/printing.h"
#include "web/store.h"
#include "web/view.h"

using namespace vantorel;

namespace {

State& TheState() {
  static State state;
  return state;
}
web::BrowserStore& TheStore() {
  static web::BrowserStore store;
  return store;
}
std::unique_ptr<web::WebMainView>& TheView() {
  static std::unique_ptr<web::WebMainView> view;
  return view;
}
app::MainWindow* Logic() { return TheView() ? &TheView()->Logic() : nullptr; }

std::optional<app::Id> IdOf(int id) {
  if (id < 0 || static_cast<size_t>(id) >= app::kIdCount) return std::nullopt;
  return static_cast<app::Id>(id);
}

int32_t pendingRoot = 0;
std::string pendingPath;

}  // namespace

extern "C" {

// The store's keys and values as the database holds them, before vt_start.
// A key, then each of its values.
EMSCRIPTEN_KEEPALIVE void vt_store_key(int32_t root, const char* path) {
  pendingRoot = root;
  pendingPath = path ? path : "";
}
EMSCRIPTEN_KEEPALIVE int vt_store_value(const char* name, int32_t type, const char* bytes, int length) {
  if (length < 0) return 0;
  platform::MemoryStore::Values values{{name ? name : "", {type, std::string(bytes, static_cast<size_t>(length))}}};
  return TheStore().Put(pendingRoot, pendingPath, values) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int vt_store_empty_key(int32_t root, const char* path) {
  return TheStore().Put(root, path ? path : "", {}) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE void vt_store_unreadable(const char* why) { TheStore().Unreadable(why ? why : ""); }
// The browser refused to keep the last save.
EMSCRIPTEN_KEEPALIVE void vt_store_failed(const char* why) {
  TheStore().WriteFailed(why ? why : "");
  if (app::MainWindow* logic = Logic()) logic->SaveFailed(why ? why : "");
}

// letter: the user's paper is US Letter; decimalPoint: their locale's;
// portrait: the screen is too narrow for the window (a phone held upright).
EMSCRIPTEN_KEEPALIVE void vt_start(int letter, const char* decimalPoint, int portrait) {
  TheState().SettingsPath = BuildSettingsPath("Vantorel");
  TheView() = std::make_unique<web::WebMainView>(TheState(), TheStore(),
                                                 std::make_unique<web::BrowserPrintService>(web::PaperFor(letter != 0)),
                                                 portrait ? app::MainWindowPortraitLayout() : app::MainWindowLayout());
  TheView()->Form_Load(decimalPoint ? decimalPoint : ".");
}

EMSCRIPTEN_KEEPALIVE void vt_run(int token) {
  if (TheView()) TheView()->Run(token);
}
EMSCRIPTEN_KEEPALIVE void vt_clicked(int id) {
  if (app::MainWindow* logic = Logic(); logic && IdOf(id)) logic->Clicked(*IdOf(id));
}
// focus: the control with the keyboard focus, -1 for none of this window's.
EMSCRIPTEN_KEEPALIVE int vt_key(int focus, int key, int shift) {
  app::MainWindow* logic = Logic();
  if (!logic || key < 0 || key > static_cast<int>(app::Key::Other)) return 0;
  return logic->KeyDown(IdOf(focus), static_cast<app::Key>(key), shift) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE void vt_focus_left(int id, int toControl) {
  if (app::MainWindow* logic = Logic(); logic && IdOf(id)) logic->FocusLeft(*IdOf(id), toControl != 0);
}
EMSCRIPTEN_KEEPALIVE void vt_mouse_down(int id, int button, int shift) {
  if (app::MainWindow* logic = Logic(); logic && IdOf(id)) logic->MouseDown(*IdOf(id), button, shift);
}
EMSCRIPTEN_KEEPALIVE void vt_mouse_move(int id) {
  if (app::MainWindow* logic = Logic(); logic && IdOf(id)) logic->MouseMove(*IdOf(id));
}
EMSCRIPTEN_KEEPALIVE void vt_timer() {
  if (app::MainWindow* logic = Logic()) logic->Timer1_Timer();
}
// The close button of the page, or the page going away for good: 1 when
// the window closed at once, 0 when a fit stops first.
EMSCRIPTEN_KEEPALIVE int vt_close() {
  app::MainWindow* logic = Logic();
  return !logic || logic->CloseRequested() ? 1 : 0;
}
// The page is hidden or left: the settings are saved now, a fit stopping
// first, and the window goes on.
EMSCRIPTEN_KEEPALIVE void vt_save_now() {
  if (app::MainWindow* logic = Logic())
    logic->SaveNow([](const std::string& problem) { std::fprintf(stderr, "%s\n", problem.c_str()); });
}
// "Save settings file": the text to download (the page frees it).
EMSCRIPTEN_KEEPALIVE char* vt_settings_file() {
  const std::string text = Logic() ? Logic()->SettingsFile() : std::string();
  char* out = static_cast<char*>(std::malloc(text.size() + 1));
  if (out) std::memcpy(out, text.c_str(), text.size() + 1);
  return out;
}
// "Open settings file": the text of the file the user picked.
EMSCRIPTEN_KEEPALIVE void vt_open_settings(const char* bytes, int length) {
  if (app::MainWindow* logic = Logic(); logic && length >= 0)
    logic->OpenSettingsFile(std::string_view(bytes, static_cast<size_t>(length)));
}
EMSCRIPTEN_KEEPALIVE int vt_phase() {
  app::MainWindow* logic = Logic();
  return logic ? static_cast<int>(logic->phase()) : 0;
}
}

int main() { return 0; }
