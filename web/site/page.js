// Vantorel's page: the window's controls, made from the layouts the program
// hands over, every event passed to the program, and what the program asks
// of a view done with the page's elements. The program decides everything;
// this file only shows and reports. Version @PROJECT_VERSION@.
'use strict';

const TWIPS_PER_PX = 15;
const px = (twips) => Math.round(twips / TWIPS_PER_PX);
// A colour &H00BBGGRR as CSS.
const css = (c) => 'rgb(' + (c & 255) + ',' + ((c >>> 8) & 255) + ',' + ((c >>> 16) & 255) + ')';
const KEYS = { Enter: 0, ' ': 1, Escape: 2, Tab: 3, a: 4, A: 4, p: 5, P: 5 };
const FAMILIES = {
  Tahoma: "Tahoma, 'DejaVu Sans', Verdana, sans-serif",
  'Courier New': "'Courier New', 'Liberation Mono', 'DejaVu Sans Mono', monospace",
};
const family = (name) => FAMILIES[name] || "'" + name + "', sans-serif";
const fontCss = (name, pixels, bold, italic) =>
  (italic ? 'italic ' : '') + (bold ? 'bold ' : '') + pixels + 'px ' + family(name);

const measurer = document.createElement('canvas').getContext('2d');

const view = {
  windows: {},      // by window id: { layout, element }
  controls: [],     // by control id: { layout, element, inner }
  byName: {},       // control ids by object name ("cbButton(1)")
  canvases: {},     // by number
  timer: 0,
  turns: [],
  ended: false,

  // --- Building
  layout(json) {
    const w = JSON.parse(json);
    const root = document.createElement('div');
    root.className = 'window ' + w.name;
    root.id = w.name;
    root.style.width = px(w.width) + 'px';
    root.style.height = px(w.height) + 'px';
    root.style.background = css(w.back);
    this.windows[w.id] = { layout: w, element: root };
    this.controls[w.id] = { layout: w, element: root, inner: root };
    for (const c of w.controls) this.make(c);
    if (w.id === 0) {
      root.setAttribute('role', 'application');
      root.setAttribute('aria-label', 'Vantorel');
      document.getElementById('stage').appendChild(root);
      const outline = document.createElement('canvas');
      outline.className = 'outline';
      root.insertBefore(outline, root.firstChild);
      this.outline = outline;
    } else {
      root.setAttribute('role', 'alertdialog');
      root.setAttribute('aria-modal', 'true');
      root.hidden = true;
      document.getElementById('modals').appendChild(root);
    }
  },

  make(c) {
    let el, inner;
    switch (c.kind) {
      case 'field':
        el = inner = document.createElement('input');
        el.type = 'text';
        el.autocomplete = 'off';
        el.spellcheck = false;
        el.addEventListener('focusout', (e) => {
          const to = e.relatedTarget && this.idOf(e.relatedTarget);
          Module._vt_focus_left(c.id, to !== undefined && to !== null ? 1 : 0);
        });
        break;
      case 'tick':
        el = document.createElement('label');
        inner = document.createElement('input');
        inner.type = 'checkbox';
        el.appendChild(inner);
        el.appendChild(document.createTextNode(c.caption));
        // The program sets the tick: the box's own change is taken back first.
        inner.addEventListener('click', () => {
          this.showTick(inner);
          Module._vt_clicked(c.id);
        });
        break;
      case 'button':
      case 'close':
        el = inner = document.createElement('button');
        el.type = 'button';
        el.textContent = c.kind === 'close' ? '\u00d7' : c.caption;
        el.addEventListener('click', () => this.pressed(c.id));
        break;
      case 'list':
        el = document.createElement('div');
        inner = document.createElement('ul');
        el.appendChild(inner);
        break;
      case 'picture':
        el = document.createElement('div');
        inner = document.createElement('canvas');
        el.appendChild(inner);
        break;
      default:
        el = inner = document.createElement('div');
        el.textContent = c.caption;
    }
    el.classList.add('control', c.kind);
    el.dataset.name = c.name;
    this.controls[c.parent].element.appendChild(el);
    this.controls[c.id] = { layout: c, element: el, inner: inner, kind: c.kind };
    this.byName[c.name] = c.id;
    this.place(c.id, c.left, c.top, c.width, c.height);
    el.style.font = fontCss(c.font, c.points * 96 / 72, c.bold, false);
    el.style.color = css(c.fore);
    if (!c.transparent && c.kind !== 'frame') el.style.background = css(c.back);
    el.style.textAlign = c.align;
    if (c.middle) el.classList.add('middle');
    if (c.border) el.classList.add('bordered');
    if (!c.visible) el.hidden = true;
    if (c.hidden) el.setAttribute('aria-hidden', 'true');
    if (c.tip) el.title = c.tip;
    const named = c.kind === 'tick' ? inner : el;
    if (c.reader && c.kind !== 'label') named.setAttribute('aria-label', c.reader);
    if (c.kind === 'picture' && c.reader) {
      el.setAttribute('role', 'img');
    } else if (c.kind === 'picture') {
      el.setAttribute('aria-hidden', 'true');
    }
    if (c.kind === 'list') inner.setAttribute('aria-label', c.reader);
    const focusable = c.kind === 'field' || c.kind === 'tick' || c.kind === 'button' || c.kind === 'close';
    if (focusable) inner.tabIndex = c.tab >= 0 ? 0 : -1;
    if (c.kind === 'list') el.tabIndex = c.tab >= 0 ? 0 : -1;
    if (c.kind === 'picture' && c.name === 'P0') this.canvases[1] = inner;
    if (c.kind === 'picture' && c.name === 'P5') this.canvases[2] = inner;
    el.addEventListener('mousedown', (e) => {
      e.stopPropagation();
      const shift = (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0);
      Module._vt_mouse_down(c.id, e.button === 2 ? 2 : e.button === 0 ? 1 : 4, shift);
    });
    el.addEventListener('mousemove', (e) => {
      e.stopPropagation();
      Module._vt_mouse_move(c.id);
    });
  },

  pressed(id) {
    if (this.windowOf(id) === this.main()) return Module._vt_clicked(id);
    // The error window's Close and close box.
    this.closeModal();
  },

  main() { return this.windows[0]; },
  windowOf(id) {
    for (const w of Object.values(this.windows)) if (w.layout.controls.some((c) => c.id === id)) return w;
    return null;
  },
  // The control an element is or lies in, in the main window; 0: the window itself.
  idOf(el) {
    for (; el; el = el.parentElement) {
      if (el === this.main().element) return 0;
      const id = this.controls.findIndex((c) => c && (c.element === el || c.inner === el));
      if (id >= 0) return this.windowOf(id) === this.main() ? id : null;
    }
    return null;
  },

  place(id, left, top, width, height) {
    const el = this.controls[id].element;
    el.style.left = px(left) + 'px';
    el.style.top = px(top) + 'px';
    el.style.width = px(width) + 'px';
    el.style.height = px(height) + 'px';
  },

  // --- What the program asks
  setText(id, text) {
    const c = this.controls[id];
    if (id === 0) { document.title = text; return; }
    if (!c) return;
    if (c.kind === 'field') c.inner.value = text;
    else if (c.kind === 'tick') c.element.lastChild.textContent = text;
    else if (c.kind !== 'picture' && c.kind !== 'list' && c.kind !== 'close') c.element.textContent = text;
  },
  text(id) {
    const c = this.controls[id];
    if (id === 0) return document.title;
    if (!c) return '';
    if (c.kind === 'field') return c.inner.value;
    if (c.kind === 'list') return Array.from(c.inner.children, (li) => li.textContent).join('\n');
    return c.element.textContent;
  },
  setLines(id, joined) {
    const list = this.controls[id].inner;
    const lines = joined.split('\n');
    lines.pop();
    list.replaceChildren(...lines.map((line) => {
      const li = document.createElement('li');
      li.textContent = line;
      return li;
    }));
  },
  setToolTip(id, text) { if (this.controls[id]) this.controls[id].element.title = text; },
  setDescription(id, text) {
    const c = this.controls[id];
    if (c) (c.kind === 'tick' ? c.inner : c.element).setAttribute('aria-description', text);
  },
  announce(text) {
    const live = document.getElementById('announce');
    live.textContent = '';
    // A fresh text in the live region is what a screen reader speaks.
    requestAnimationFrame(() => { live.textContent = text; });
    live.dataset.said = text;
  },
  setEnabled(id, on) {
    const c = this.controls[id];
    if (!c) return;
    if ('disabled' in c.inner) c.inner.disabled = !on;
    c.element.classList.toggle('disabled', !on);
  },
  setVisible(id, on) { if (this.controls[id]) this.controls[id].element.hidden = !on; },
  setTick(id, value) {
    const box = this.controls[id].inner;
    box.dataset.value = value;
    this.showTick(box);
  },
  showTick(box) {
    box.checked = box.dataset.value === '1';
    box.indeterminate = box.dataset.value === '2';
  },
  setFocus(id) {
    const c = this.controls[id];
    if (!c) return false;
    const target = id === 0 || c.kind === 'list' ? c.element : c.inner;
    if (id === 0) target.tabIndex = -1;
    target.focus({ preventScroll: true });
    return document.activeElement === target;
  },
  focused() {
    const id = this.idOf(document.activeElement);
    return id === null || id === undefined ? -1 : id;
  },
  selectAll(id) { const f = this.controls[id].inner; f.select(); },
  showStart(id) { const f = this.controls[id].inner; f.scrollLeft = 0; },
  move(id, left, top, width, height) { this.place(id, left, top, width, height); },
  setBack(id, colour) { if (this.controls[id]) this.controls[id].element.style.background = css(colour); },
  setFont(id, name, points, bold, italic) {
    if (this.controls[id]) this.controls[id].element.style.font = fontCss(name, points * 96 / 72, bold, italic);
  },
  showWindow(on) { this.main().element.hidden = !on; if (on) fitToScreen(); },
  drawOutline() {
    const w = this.main();
    const canvas = this.outline;
    canvas.width = px(w.layout.width);
    canvas.height = px(w.layout.height);
    const ctx = canvas.getContext('2d');
    // The complement of the window's colour, 2 pixels wide, 1 pixel in.
    ctx.fillStyle = css(0xFFFFFF - (w.layout.back & 0xFFFFFF));
    const W = canvas.width, H = canvas.height;
    ctx.fillRect(0, 0, W, 2); ctx.fillRect(0, H - 2, W, 2); ctx.fillRect(0, 0, 2, H); ctx.fillRect(W - 2, 0, 2, H);
  },
  setTimer(on) {
    clearInterval(this.timer);
    this.timer = on ? setInterval(() => Module._vt_timer(), 250) : 0;
  },
  after(ms, token) { setTimeout(() => Module._vt_run(token), ms); },
  // One turn of the browser's loop: a message-channel task runs after
  // what is pending (input, painting), without a timer's clamping.
  turn(token) {
    this.turns.push(token);
    turnChannel.port2.postMessage(0);
  },

  // --- Modal windows: each runs its continuation once closed.
  modal: null,
  showError(title, body, token, fit) {
    const w = Object.values(this.windows).find((x) => x.layout.name === 'frmError');
    const id = (name) => this.byName[name];
    this.setText(id('Title'), title);
    const bodyEl = this.controls[id('Body')].element;
    bodyEl.textContent = body.replace(/\r\n/g, '\n');
    bodyEl.style.fontSize = (fit.points * 96 / 72) + 'px';
    bodyEl.style.height = px(fit.area) + 'px';
    bodyEl.style.overflowY = fit.scrolls ? 'auto' : 'hidden';
    const close = this.controls[id('cbClose')];
    close.element.style.top = px(fit.closeTop) + 'px';
    w.element.style.height = px(fit.window) + 'px';
    w.element.setAttribute('aria-label', title);
    this.openModal(w.element, token, close.inner);
  },
  showBox(kind, title, text, token) {
    const box = document.getElementById('box');
    box.querySelector('h2').textContent = title;
    box.querySelector('p').textContent = text;
    box.classList.toggle('critical', kind === 1);
    box.setAttribute('aria-label', title);
    this.openModal(box, token, box.querySelector('button'));
  },
  openModal(element, token, button) {
    this.modal = { element, token, back: document.activeElement };
    document.getElementById('modals').hidden = false;
    this.main().element.inert = true;
    element.hidden = false;
    button.focus();
  },
  closeModal() {
    const m = this.modal;
    if (!m) return;
    this.modal = null;
    m.element.hidden = true;
    document.getElementById('modals').hidden = true;
    this.main().element.inert = false;
    if (m.back && m.back.isConnected) m.back.focus({ preventScroll: true });
    Module._vt_run(m.token);
  },

  end(status) {
    this.ended = true;
    this.setTimer(false);
    document.getElementById('stage').hidden = true;
    document.getElementById('ended').hidden = false;
    document.getElementById('ended').dataset.status = status;
  },

  // --- Downloads ("Save as CSV")
  downloads() {
    try { return JSON.parse(localStorage.getItem('vantorel.downloads') || '[]'); } catch (e) { return []; }
  },
  downloaded(name) { return this.downloads().includes(name.toUpperCase()); },
  download(name, bytes) {
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([bytes], { type: 'text/csv' }));
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 60000);
    const names = this.downloads();
    names.push(name.toUpperCase());
    try { localStorage.setItem('vantorel.downloads', JSON.stringify(names)); } catch (e) { /* numbering restarts */ }
  },

  // --- Canvases
  canvas(n) {
    if (!this.canvases[n]) this.canvases[n] = document.createElement('canvas');
    return this.canvases[n];
  },
  canvasSize(n, width, height) {
    const c = this.canvas(n);
    c.width = width;
    c.height = height;
    delete this.buffers[n];
  },
  // Canvases whose pixels the program keeps: copied once a frame when changed.
  buffers: {},
  flushing: false,
  buffer(n, pixels, width, height, dirty) { this.buffers[n] = { pixels, width, height, dirty }; },
  dirty() {
    if (this.flushing) return;
    this.flushing = true;
    requestAnimationFrame(() => this.flushAll());
  },
  flushAll() {
    this.flushing = false;
    for (const n of Object.keys(this.buffers)) this.flush(n);
  },
  flush(n) {
    const b = this.buffers[n];
    if (!b || !HEAPU8[b.dirty]) return;
    const bytes = new Uint8ClampedArray(HEAPU8.buffer, b.pixels, b.width * b.height * 4);
    this.canvas(n).getContext('2d').putImageData(new ImageData(bytes, b.width, b.height), 0, 0);
    HEAPU8[b.dirty] = 0;
  },
  // After text is drawn on a kept canvas, the program's copy takes its pixels.
  takeBack(n, left, top, width, height) {
    const b = this.buffers[n];
    left = Math.max(0, Math.floor(left)); top = Math.max(0, Math.floor(top));
    width = Math.min(b.width - left, Math.ceil(width) + 1); height = Math.min(b.height - top, Math.ceil(height) + 1);
    if (width <= 0 || height <= 0) return;
    const data = this.canvas(n).getContext('2d').getImageData(left, top, width, height).data;
    for (let y = 0; y < height; ++y)
      HEAPU8.set(data.subarray(y * width * 4, (y + 1) * width * 4), b.pixels + ((top + y) * b.width + left) * 4);
  },
  fill(n, left, top, width, height, colour) {
    const ctx = this.canvas(n).getContext('2d');
    ctx.fillStyle = css(colour);
    ctx.fillRect(left, top, width, height);
  },
  metrics(name, pixels, bold, italic) {
    measurer.font = fontCss(name, pixels, bold, italic);
    const m = measurer.measureText('Hg');
    return { ascent: m.fontBoundingBoxAscent, descent: m.fontBoundingBoxDescent };
  },
  drawText(n, x, y, text, name, pixels, bold, italic, colour, angle) {
    this.flush(n);
    const ctx = this.canvas(n).getContext('2d');
    const m = this.metrics(name, pixels, bold, italic);
    if (this.buffers[n]) {
      // Where the text's cell lies, turned about its corner.
      const w = this.textWidth(name, pixels, bold, italic, text), h = m.ascent + m.descent;
      const a = -(angle || 0) * Math.PI / 180, cos = Math.cos(a), sin = Math.sin(a);
      const xs = [0, w * cos, -h * sin, w * cos - h * sin].map((d) => x + d);
      const ys = [0, w * sin, h * cos, w * sin + h * cos].map((d) => y + d);
      this.drawTextOn(ctx, x, y, text, name, pixels, bold, italic, colour, angle, m);
      this.takeBack(n, Math.min(...xs) - 1, Math.min(...ys) - 1, Math.max(...xs) - Math.min(...xs) + 2,
                    Math.max(...ys) - Math.min(...ys) + 2);
      return;
    }
    this.drawTextOn(ctx, x, y, text, name, pixels, bold, italic, colour, angle, m);
  },
  drawTextOn(ctx, x, y, text, name, pixels, bold, italic, colour, angle, m) {
    ctx.save();
    ctx.translate(x, y);
    if (angle) ctx.rotate(-angle * Math.PI / 180);
    ctx.font = fontCss(name, pixels, bold, italic);
    ctx.fillStyle = css(colour);
    ctx.textBaseline = 'alphabetic';
    ctx.fillText(text, 0, m.ascent);
    ctx.restore();
  },
  drawPicture(n, pixels, width, height, x, y, w, h) {
    const image = new ImageData(width, height);
    for (let i = 0; i < pixels.length; ++i) {
      const p = pixels[i];
      image.data[4 * i] = (p >>> 16) & 255;
      image.data[4 * i + 1] = (p >>> 8) & 255;
      image.data[4 * i + 2] = p & 255;
      image.data[4 * i + 3] = 255;
    }
    const from = document.createElement('canvas');
    from.width = width;
    from.height = height;
    from.getContext('2d').putImageData(image, 0, 0);
    const ctx = this.canvas(n).getContext('2d');
    ctx.imageSmoothingEnabled = true;
    ctx.drawImage(from, x, y, w, h);
  },
  textWidth(name, pixels, bold, italic, text) {
    measurer.font = fontCss(name, pixels, bold, italic);
    return measurer.measureText(text).width;
  },
  lineHeight(name, pixels, bold, italic) {
    const m = this.metrics(name, pixels, bold, italic);
    return m.ascent + m.descent;
  },
  wrappedHeight(name, pixels, bold, text, width) {
    const probe = document.getElementById('probe');
    probe.style.font = fontCss(name, pixels, bold, false);
    probe.style.width = width + 'px';
    probe.textContent = text;
    return Math.ceil(probe.getBoundingClientRect().height);
  },

  // --- Printing: the page goes to the browser's print dialog.
  printPage(n) {
    const page = this.canvas(n);
    const img = document.getElementById('printed');
    img.onload = () => setTimeout(() => window.print(), 0);
    img.src = page.toDataURL('image/png');
    this.canvases[n] = null;  // the next job draws on a canvas of its own
  },

  // The window as it shows, drawn from its controls.
  windowPicture(out, width, height) {
    this.flushAll();
    const canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    const ctx = canvas.getContext('2d');
    const main = this.main();
    ctx.fillStyle = css(main.layout.back);
    ctx.fillRect(0, 0, width, height);
    if (this.outline.width) ctx.drawImage(this.outline, 0, 0);
    const origin = main.element.getBoundingClientRect();
    const scale = origin.width / main.element.offsetWidth || 1;
    let focus = null;
    for (const c of main.layout.controls) {
      const el = this.controls[c.id].element;
      if (el.closest('[hidden]')) continue;
      const r = el.getBoundingClientRect();
      const x = (r.left - origin.left) / scale, y = (r.top - origin.top) / scale;
      const w = r.width / scale, h = r.height / scale;
      const style = getComputedStyle(el);
      if (style.backgroundColor !== 'rgba(0, 0, 0, 0)') {
        ctx.fillStyle = style.backgroundColor;
        ctx.fillRect(x, y, w, h);
      }
      if (el.contains(document.activeElement) && c.kind !== 'frame') focus = [x, y, w, h];
      if (c.kind === 'picture') {
        ctx.drawImage(this.controls[c.id].inner, x + (c.border ? 1 : 0), y + (c.border ? 1 : 0));
        if (c.border) { ctx.strokeStyle = 'black'; ctx.strokeRect(x + 0.5, y + 0.5, w - 1, h - 1); }
        continue;
      }
      ctx.font = style.font;
      ctx.fillStyle = style.color;
      ctx.textBaseline = 'top';
      const text = c.kind === 'field' ? this.controls[c.id].inner.value : c.kind === 'list' ? '' : el.textContent;
      if (c.kind === 'list') {
        Array.from(this.controls[c.id].inner.children).forEach((li, i) =>
          ctx.fillText(li.textContent, x + 2, y + 2 + i * parseFloat(style.fontSize) * 1.2));
      } else if (text) {
        const tx = style.textAlign === 'center' ? x + w / 2 : style.textAlign === 'right' ? x + w - 2 : x + 2;
        ctx.textAlign = style.textAlign === 'center' ? 'center' : style.textAlign === 'right' ? 'right' : 'left';
        ctx.fillText(text, tx, y + 2);
        ctx.textAlign = 'left';
      }
    }
    if (focus) {
      // The focus, as a dotted line just inside the control.
      ctx.setLineDash([1, 1]);
      ctx.strokeStyle = 'black';
      ctx.strokeRect(focus[0] + 1.5, focus[1] + 1.5, focus[2] - 3, focus[3] - 3);
    }
    const data = ctx.getImageData(0, 0, width, height).data;
    for (let i = 0; i < width * height; ++i)
      out[i] = (0xFF000000 | (data[4 * i] << 16) | (data[4 * i + 1] << 8) | data[4 * i + 2]) >>> 0;
    return true;
  },
};

const turnChannel = new MessageChannel();
turnChannel.port1.onmessage = () => {
  const token = view.turns.shift();
  if (token !== undefined) Module._vt_run(token);
};

// --- Keys: every key goes to the program first; the ones it takes go no further.
document.addEventListener('keydown', (e) => {
  if (view.ended) return;
  if (view.modal) {
    if (e.key === 'Escape' || e.key === 'Enter') { e.preventDefault(); view.closeModal(); }
    return;
  }
  const key = KEYS[e.key] !== undefined ? KEYS[e.key] : 6;
  const shift = (e.shiftKey ? 1 : 0) | (e.ctrlKey || e.metaKey ? 2 : 0) | (e.altKey ? 4 : 0);
  if (Module._vt_key(view.focused(), key, shift)) e.preventDefault();
}, true);

// --- The window scaled to the screen.
function fitToScreen() {
  const main = view.main();
  if (!main) return;
  const el = main.element;
  // Upright, the column fills the width (the page scrolls down); else the
  // whole window fits the screen.
  const width = document.documentElement.clientWidth, height = document.documentElement.clientHeight;
  const scale = document.body.classList.contains('portrait') ? width / el.offsetWidth
    : Math.min(2, (width - 8) / el.offsetWidth, (height - 8) / el.offsetHeight);
  el.style.transform = 'scale(' + scale + ')';
  document.getElementById('stage').style.height = Math.ceil(el.offsetHeight * scale) + 'px';
  document.getElementById('stage').style.width = Math.ceil(el.offsetWidth * scale) + 'px';
}
window.addEventListener('resize', fitToScreen);

// --- The store: the whole tree in one IndexedDB record.
const DB_NAME = 'Vantorel', DB_VERSION = 1, FORMAT = 1;
const store = {
  db: null,
  pending: null,
  open() {
    return new Promise((resolve) => {
      let request;
      try {
        request = indexedDB.open(DB_NAME, DB_VERSION);
      } catch (e) {
        resolve({ error: String(e.message || e) });
        return;
      }
      request.onupgradeneeded = () => request.result.createObjectStore('settings');
      request.onsuccess = () => resolve({ db: request.result });
      request.onerror = () => {
        const e = request.error;
        resolve({ error: e && e.name === 'VersionError'
          ? 'it was written by a later version of Vantorel'
          : (e ? e.name + ': ' + e.message : 'the browser gave no reason') });
      };
      request.onblocked = () => resolve({ error: 'another tab of this site holds it open in an older version' });
    });
  },
  read(db) {
    return new Promise((resolve) => {
      try {
        const get = db.transaction('settings', 'readonly').objectStore('settings').get('tree');
        get.onsuccess = () => resolve({ tree: get.result });
        get.onerror = () => resolve({ error: get.error ? get.error.name + ': ' + get.error.message : 'unreadable' });
      } catch (e) {
        resolve({ error: String(e.message || e) });
      }
    });
  },
  // The tree into the program's memory; a reason when it cannot be used.
  load(tree) {
    if (tree === undefined) return null;
    if (!tree || typeof tree !== 'object' || !Array.isArray(tree.keys) || typeof tree.format !== 'number')
      return 'it is not a settings tree Vantorel wrote';
    if (tree.format > FORMAT) return 'it was written by a later version of Vantorel (' + (tree.writer || 'unknown') + ')';
    for (const k of tree.keys) {
      if (typeof k.path !== 'string' || typeof k.root !== 'number' || !Array.isArray(k.values))
        return 'a key in it is damaged';
      if (!ccall('vt_store_empty_key', 'number', ['number', 'string'], [k.root, k.path])) return 'a key in it is damaged';
      ccall('vt_store_key', null, ['number', 'string'], [k.root, k.path]);
      for (const v of k.values) {
        if (typeof v.name !== 'string' || typeof v.type !== 'number' || !(v.data instanceof Uint8Array))
          return 'the value ' + JSON.stringify(String(v.name)) + ' in it is damaged';
        const p = Module._malloc(v.data.length || 1);
        HEAPU8.set(v.data, p);
        const ok = ccall('vt_store_value', 'number', ['string', 'number', 'number', 'number'],
          [v.name, v.type, p, v.data.length]);
        Module._free(p);
        if (!ok) return 'the value ' + JSON.stringify(v.name) + ' in it is damaged';
      }
    }
    return null;
  },
  // --- A save, as the program writes it.
  begin() { this.pending = { format: FORMAT, writer: 'Vantorel @PROJECT_VERSION@', keys: [] }; },
  key(root, path) { this.pending.keys.push({ root, path, values: [] }); },
  value(name, type, data) { this.pending.keys[this.pending.keys.length - 1].values.push({ name, type, data }); },
  commit() {
    const tree = this.pending;
    this.pending = null;
    const failed = (why) => ccall('vt_store_failed', null, ['string'], [why]);
    if (!this.db) return failed('the browser gave this page no storage');
    try {
      const tx = this.db.transaction('settings', 'readwrite', { durability: 'strict' });
      tx.objectStore('settings').put(tree, 'tree');
      tx.onabort = () => failed(tx.error ? tx.error.name + ': ' + tx.error.message : 'the browser stopped the save');
    } catch (e) {
      failed(e.name + ': ' + e.message);
    }
  },
};
view.store = store;

// --- Start: the store read, then the window.
var Module = {
  vt: view,
  noInitialRun: true,
  async onRuntimeInitialized() {
    const opened = await store.open();
    let problem = opened.error;
    if (opened.db) {
      store.db = opened.db;
      const read = await store.read(opened.db);
      problem = read.error || store.load(read.tree);
    }
    if (problem) ccall('vt_store_unreadable', null, ['string'], [problem]);
    if (navigator.storage && navigator.storage.persist) navigator.storage.persist().catch(() => {});
    const letter = /^(en-US|en-CA|es-MX|fr-CA)$/.test(navigator.language);
    const point = (1.5).toLocaleString(navigator.language).charAt(1);
    // The window as on the desktop where it fits; upright on a narrow screen.
    const portrait = document.documentElement.clientWidth < 560 &&
      document.documentElement.clientHeight > document.documentElement.clientWidth;
    document.body.classList.toggle('portrait', portrait);
    ccall('vt_start', null, ['number', 'string', 'number'], [letter ? 1 : 0, point === ',' ? ',' : '.', portrait ? 1 : 0]);
    fitToScreen();
    document.body.dataset.ready = '1';
    // The frame that first shows the graph, for the start-up benchmark.
    requestAnimationFrame(() => performance.mark('graph-shown'));
  },
};

// Leaving the page saves: a phone hides a page far more often than it closes it.
document.addEventListener('visibilitychange', () => {
  if (document.visibilityState === 'hidden' && !view.ended && Module._vt_save_now) Module._vt_save_now();
});
window.addEventListener('pagehide', () => { if (!view.ended && Module._vt_save_now) Module._vt_save_now(); });

document.getElementById('box').querySelector('button').addEventListener('click', () => view.closeModal());

// --- The bar under the window: what a touch screen has no keys for, and
// the settings carried between machines.
const busy = () => view.ended || view.modal;
document.getElementById('print-window').addEventListener('click', () => {
  if (!busy()) Module._vt_key(view.focused(), KEYS.p, 2);  // Ctrl+P
});
document.getElementById('save-settings').addEventListener('click', () => {
  if (busy()) return;
  const p = Module._vt_settings_file();
  const text = UTF8ToString(p);
  Module._free(p);
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
  a.download = 'Vantorel settings.txt';
  document.body.appendChild(a);
  a.click();
  a.remove();
});
const picker = document.getElementById('settings-file');
document.getElementById('open-settings').addEventListener('click', () => { if (!busy()) picker.click(); });
picker.addEventListener('change', async () => {
  const file = picker.files[0];
  picker.value = '';
  if (!file || busy()) return;
  // A settings file is small; a large one is handed over cut, and refused.
  const bytes = new Uint8Array(await file.slice(0, 70000).arrayBuffer());
  const p = Module._malloc(bytes.length || 1);
  HEAPU8.set(bytes, p);
  Module._vt_open_settings(p, bytes.length);
  Module._free(p);
});
document.getElementById('again').addEventListener('click', () => location.reload());

if ('serviceWorker' in navigator && location.protocol !== 'file:')
  navigator.serviceWorker.register('sw.js').catch(() => {});

// For tests and the curious: the window's state.
window.vantorel = { view, phase: () => Module._vt_phase() };
