// The calls the program's C++ makes into the page: each hands its
// arguments to the page's view (Module.vt, page.js) as JavaScript values.
// Texts go out as UTF-8 read from the module's memory and come back as
// texts the C++ side takes over and frees.
mergeInto(LibraryManager.library, {
  $vtText: function (text) {
    var n = lengthBytesUTF8(text) + 1;
    var p = _malloc(n);
    stringToUTF8(text, p, n);
    return p;
  },
  $vtText__deps: ['malloc'],

  vtjs_layout: function (json) { Module.vt.layout(UTF8ToString(json)); },
  vtjs_set_text: function (id, text) { Module.vt.setText(id, UTF8ToString(text)); },
  vtjs_text: function (id) { return vtText(Module.vt.text(id)); },
  vtjs_text__deps: ['$vtText'],
  vtjs_set_lines: function (id, lines) { Module.vt.setLines(id, UTF8ToString(lines)); },
  vtjs_set_tooltip: function (id, text) { Module.vt.setToolTip(id, UTF8ToString(text)); },
  vtjs_set_description: function (id, text) { Module.vt.setDescription(id, UTF8ToString(text)); },
  vtjs_announce: function (text) { Module.vt.announce(UTF8ToString(text)); },
  vtjs_set_enabled: function (id, on) { Module.vt.setEnabled(id, !!on); },
  vtjs_set_visible: function (id, on) { Module.vt.setVisible(id, !!on); },
  vtjs_set_tick: function (id, value) { Module.vt.setTick(id, value); },
  vtjs_set_focus: function (id) { return Module.vt.setFocus(id) ? 1 : 0; },
  vtjs_focused: function () { return Module.vt.focused(); },
  vtjs_select_all: function (id) { Module.vt.selectAll(id); },
  vtjs_show_start: function (id) { Module.vt.showStart(id); },
  vtjs_move: function (id, left, top, width, height) { Module.vt.move(id, left, top, width, height); },
  vtjs_set_back: function (id, colour) { Module.vt.setBack(id, colour >>> 0); },
  vtjs_set_font: function (id, name, size, bold, italic) { Module.vt.setFont(id, UTF8ToString(name), size, !!bold, !!italic); },
  vtjs_show_window: function (on) { Module.vt.showWindow(!!on); },
  vtjs_draw_outline: function () { Module.vt.drawOutline(); },
  vtjs_set_timer: function (on) { Module.vt.setTimer(!!on); },
  vtjs_after: function (ms, token) { Module.vt.after(ms, token); },
  vtjs_turn: function (token) { Module.vt.turn(token); },
  vtjs_show_error: function (title, body, token, points, area, closeTop, window, scrolls) {
    Module.vt.showError(UTF8ToString(title), UTF8ToString(body), token,
                        { points: points, area: area, closeTop: closeTop, window: window, scrolls: !!scrolls });
  },
  vtjs_show_box: function (kind, title, text, token) { Module.vt.showBox(kind, UTF8ToString(title), UTF8ToString(text), token); },
  vtjs_end: function (status) { Module.vt.end(status); },
  vtjs_download: function (name, bytes, length) {
    Module.vt.download(UTF8ToString(name), HEAPU8.slice(bytes, bytes + length));
  },
  vtjs_downloaded: function (name) { return Module.vt.downloaded(UTF8ToString(name)) ? 1 : 0; },

  // Drawing surfaces: a canvas by number (the graph's two, a printed page).
  vtjs_canvas_size: function (canvas, width, height) { Module.vt.canvasSize(canvas, width, height); },
  vtjs_buffer: function (canvas, pixels, width, height, dirty) { Module.vt.buffer(canvas, pixels, width, height, dirty); },
  vtjs_dirty: function (canvas) { Module.vt.dirty(canvas); },
  vtjs_fill: function (canvas, left, top, width, height, colour) {
    Module.vt.fill(canvas, left, top, width, height, colour >>> 0);
  },
  vtjs_draw_text: function (canvas, x, y, text, name, px, bold, italic, colour, angle) {
    Module.vt.drawText(canvas, x, y, UTF8ToString(text), UTF8ToString(name), px, !!bold, !!italic, colour >>> 0, angle);
  },
  vtjs_draw_picture: function (canvas, pixels, width, height, x, y, w, h) {
    Module.vt.drawPicture(canvas, HEAPU32.subarray(pixels >> 2, (pixels >> 2) + width * height), width, height, x, y, w, h);
  },
  vtjs_text_width: function (name, px, bold, italic, text) {
    return Module.vt.textWidth(UTF8ToString(name), px, !!bold, !!italic, UTF8ToString(text));
  },
  vtjs_line_height: function (name, px, bold, italic) { return Module.vt.lineHeight(UTF8ToString(name), px, !!bold, !!italic); },
  vtjs_wrapped_height: function (name, px, bold, text, width) {
    return Module.vt.wrappedHeight(UTF8ToString(name), px, !!bold, UTF8ToString(text), width);
  },
  vtjs_print_page: function (canvas) { Module.vt.printPage(canvas); },
  vtjs_window_picture: function (pixels, width, height) {
    return Module.vt.windowPicture(HEAPU32.subarray(pixels >> 2, (pixels >> 2) + width * height), width, height) ? 1 : 0;
  },

  // The store: the whole tree goes to the browser's storage in one write.
  vtjs_store_begin: function () { Module.vt.store.begin(); },
  vtjs_store_key: function (root, path) { Module.vt.store.key(root, UTF8ToString(path)); },
  vtjs_store_value: function (name, type, bytes, length) {
    Module.vt.store.value(UTF8ToString(name), type, HEAPU8.slice(bytes, bytes + length));
  },
  vtjs_store_commit: function () { Module.vt.store.commit(); },
});
