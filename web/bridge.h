// The page's side of the browser view (bridge.js, page.js), as the C++ side
// calls it. Ids are app::Id values; lengths in CSS pixels unless said.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" {
void vtjs_layout(const char* json);
void vtjs_set_text(int id, const char* text);
char* vtjs_text(int id);
void vtjs_set_lines(int id, const char* lines);
void vtjs_set_tooltip(int id, const char* text);
void vtjs_set_description(int id, const char* text);
void vtjs_announce(const char* text);
void vtjs_set_enabled(int id, int on);
void vtjs_set_visible(int id, int on);
void vtjs_set_tick(int id, int value);
int vtjs_set_focus(int id);
int vtjs_focused();
void vtjs_select_all(int id);
void vtjs_show_start(int id);
// Twips within the parent.
void vtjs_move(int id, double left, double top, double width, double height);
void vtjs_set_back(int id, uint32_t colour);
void vtjs_set_font(int id, const char* name, double points, int bold, int italic);
void vtjs_show_window(int on);
void vtjs_draw_outline();
void vtjs_set_timer(int on);
void vtjs_after(int ms, int token);
void vtjs_turn(int token);
// The error window: its body in points, its area, Close button and window
// heights in twips, as the body's fit gives them.
void vtjs_show_error(const char* title, const char* body, int token, double points, double area, double closeTop,
                     double window, int scrolls);
void vtjs_show_box(int kind, const char* title, const char* text, int token);
void vtjs_end(int status);
void vtjs_download(const char* name, const char* bytes, size_t length);
int vtjs_downloaded(const char* name);

void vtjs_canvas_size(int canvas, int width, int height);
// A canvas whose pixels are kept in the program's memory (width by height,
// bytes red, green, blue, alpha): the page copies them to it once a frame
// after vtjs_dirty, and clears *dirty once it has.
void vtjs_buffer(int canvas, uint32_t* pixels, int width, int height, uint8_t* dirty);
void vtjs_dirty(int canvas);
void vtjs_fill(int canvas, int left, int top, int width, int height, uint32_t colour);
// Text with its cell's top left at (x, y) device pixels, turned angle
// degrees counter-clockwise about that point.
void vtjs_draw_text(int canvas, double x, double y, const char* text, const char* font, double px, int bold, int italic,
                    uint32_t colour, double angle);
void vtjs_draw_picture(int canvas, const uint32_t* pixels, int width, int height, double x, double y, double w,
                       double h);
double vtjs_text_width(const char* font, double px, int bold, int italic, const char* text);
double vtjs_line_height(const char* font, double px, int bold, int italic);
int vtjs_wrapped_height(const char* font, double px, int bold, const char* text, int width);
void vtjs_print_page(int canvas);
int vtjs_window_picture(uint32_t* pixels, int width, int height);

void vtjs_store_begin();
void vtjs_store_key(int32_t root, const char* path);
void vtjs_store_value(const char* name, int32_t type, const char* bytes, size_t length);
void vtjs_store_commit();
}

namespace vantorel::web {

// A text the page handed over, taken and freed.
inline std::string Taken(char* text) {
  std::string out = text ? text : "";
  std::free(text);
  return out;
}

}  // namespace vantorel::web
