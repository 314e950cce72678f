"""The browser's page as a shooter uses it, in a headless Chromium: what it
keeps across a reload and a page killed mid-fit, its CSV download against
vantorel-fit's, offline use, a full quota, a store from a later version, and
an accessibility check.
usage: page_test.py SITE VANTOREL_FIT AXE_FOLDER [unittest options, -k PATTERN]"""
import base64
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))
import cdp  # noqa: E402

SITE, FIT, AXE = sys.argv[1:4]
ROWS = ["10:52", "20:0", "30:0", "40:12", "50:28", "55:44"]

TREE = """(async () => {
  const db = await new Promise((ok) => { const r = indexedDB.open('Vantorel', 1); r.onsuccess = () => ok(r.result); });
  const tree = await new Promise((ok) => { const g = db.transaction('settings').objectStore('settings').get('tree');
                                           g.onsuccess = () => ok(g.result); });
  db.close();
  if (!tree) return null;
  const values = {};
  for (const k of tree.keys) for (const v of k.values) values[v.name] = new TextDecoder().decode(v.data).replace(/\\0$/, '');
  return {format: tree.format, values};
})()"""


def Ink(png, margin, axis):
    """Where the runs of rows (axis 0) or columns (1) holding dark pixels begin, in a page picture
    without its margin, over the area a Letter and an A4 page share."""
    pgm = subprocess.run(["convert", png, "-crop", f"2330x3150+{margin}+{margin}", "+repage", "-colorspace",
                          "gray", "-depth", "8", "pgm:-"], capture_output=True, check=True).stdout
    head, size, _, pixels = pgm.split(b"\n", 3)
    w, h = map(int, size.split())
    lines = [pixels[y * w:(y + 1) * w] for y in range(h)] if axis == 0 else [pixels[x::w] for x in range(w)]
    dark = [min(line) < 128 for line in lines] + [False]
    return [i for i in range(len(dark) - 1) if dark[i] and (i == 0 or not dark[i - 1])]


class Page(unittest.TestCase):
    def setUp(self):
        self.server = cdp._serve_folder(SITE)
        self.origin = f"http://127.0.0.1:{self.server.server_address[1]}"
        self.browser = cdp.Browser()
        self.browser.start()
        self.downloads = tempfile.mkdtemp(prefix="vantorel-downloads-")
        self.open()

    def tearDown(self):
        self.browser.cleanup()
        self.server.shutdown()

    def open(self, wait=True):
        self.page = self.browser.page()
        self.page.send("Browser.setDownloadBehavior", behavior="allow", downloadPath=self.downloads)
        self.load(wait)

    def load(self, wait=True):
        self.page.eval("window.leaving = 1")
        self.page.send("Page.navigate", url=self.origin + "/")
        if wait:
            self.page.until("!window.leaving && document.body && document.body.dataset.ready === '1'")
            self.rest()
            # The output commands take clicks once the printer count is in.
            self.page.until("vantorel.view.modal || vantorel.view.ended || "
                            "!vantorel.view.controls[vantorel.view.byName['cbButton(5)']].inner.disabled")

    def rest(self):
        self.page.until("vantorel.view.modal || [2, 5].includes(vantorel.phase())")

    def told(self):
        """The message showing, closed with its button ('' when none)."""
        return self.page.eval("""((m) => { if (!m) return '';
            const v = vantorel.view, said = m.element.id === 'box'
              ? m.element.querySelector('h2').textContent + '|' + m.element.querySelector('p').textContent
              : v.text(v.byName.Title) + '|' + v.text(v.byName.Body);
            v.closeModal(); return said; })(vantorel.view.modal)""")

    def field(self, name, text):
        self.page.eval(f"""((f) => {{ f.focus(); f.value = {text!r};
            f.dispatchEvent(new KeyboardEvent('keydown', {{key: 'Enter', bubbles: true}})); }})
            (vantorel.view.controls[vantorel.view.byName['{name}']].inner)""")

    def press(self, name):
        self.page.eval(f"vantorel.view.controls[vantorel.view.byName['{name}']].inner.click()")

    def saved(self):
        return self.page.eval(TREE)

    def test_a_download_is_vantorel_fits_csv_and_the_data_stays_across_reloads(self):
        self.field("RTxt(0)", "12")
        self.press("cbButton(1)")
        self.rest()
        self.press("cbButton(2)")
        self.assertEqual(self.told(), "File Saved|File saved as\nDownloads/VTL_0001.CSV")
        path = os.path.join(self.downloads, "VTL_0001.CSV")
        expected = os.path.join(self.downloads, "expected.csv")
        subprocess.run([FIT, "--csv", expected, "12:52", *ROWS[1:]], check=True, stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while not os.path.exists(path) and time.monotonic() < deadline:
            time.sleep(0.05)
        with open(path, "rb") as got, open(expected, "rb") as want:
            self.assertEqual(got.read(), want.read())
        self.load()
        self.assertEqual(self.page.eval("vantorel.view.text(vantorel.view.byName['RTxt(0)'])"), "12")
        # The numbering goes on from the files downloaded before.
        self.press("cbButton(2)")
        self.assertIn("VTL_0002.CSV", self.told())

    def test_a_page_killed_during_a_fit_keeps_the_rows_it_fitted(self):
        self.field("CTxt(5)", "47")
        self.page.eval("vantorel.view.turn = () => {}")  # the search's turns held: it stays in its first slice
        self.press("cbButton(1)")
        self.page.until("(async () => { const t = await " + TREE + "; return t && t.values['C(5)'] === '47'; })()")
        self.assertEqual(self.page.eval("vantorel.phase()"), 3)  # still fitting
        self.page.fire("Page.crash")  # no answer comes from a page that has crashed
        self.page.wait_event("Inspector.targetCrashed")
        self.page.send("Page.navigate", url=self.origin + "/")  # a crashed tab comes back with a new page
        self.page.until("document.body && document.body.dataset.ready === '1'")
        self.assertEqual(self.page.eval("vantorel.view.text(vantorel.view.byName['CTxt(5)'])"), "47")

    def test_a_page_hidden_saves_as_closing_would(self):
        self.press("Ticked(3)")
        self.assertIsNone(self.saved())
        self.page.eval("""Object.defineProperty(document, 'visibilityState', {value: 'hidden', configurable: true});
            document.dispatchEvent(new Event('visibilitychange'))""")
        self.assertEqual(self.saved()["values"]["Tick(3)"], "0")

    def test_it_opens_and_fits_offline_after_the_first_visit(self):
        self.page.until("navigator.serviceWorker.ready.then(() => true)")
        self.load()
        self.page.until("!!navigator.serviceWorker.controller")
        self.server.shutdown()
        self.server.server_close()
        self.load()
        self.press("cbButton(1)")
        self.rest()
        self.assertEqual(self.page.eval("vantorel.view.text(vantorel.view.byName['ErrorInd(5)'])"), "(43)")

    def test_a_full_quota_is_said_and_the_last_save_kept(self):
        self.press("cbButton(1)")
        self.rest()
        before = self.saved()
        # A small quota, filled by another database down to the last few hundred bytes.
        self.page.send("Storage.overrideQuotaForOrigin", origin=self.origin, quotaSize=2000000)
        self.page.eval("""(async () => {
          const db = await new Promise((ok) => { const r = indexedDB.open('filler', 1);
            r.onupgradeneeded = () => r.result.createObjectStore('f'); r.onsuccess = () => ok(r.result); });
          const put = (n, size) => new Promise((ok) => { const t = db.transaction('f', 'readwrite');
            t.objectStore('f').put(crypto.getRandomValues(new Uint8Array(size)), n);
            t.oncomplete = () => ok(true); t.onabort = () => ok(false); });
          let n = 0;
          for (const size of [65536, 4096, 256]) while (await put(n++, size));
        })()""")
        self.field("RTxt(1)", "25")
        self.press("cbButton(1)")
        self.page.until("vantorel.view.modal")
        said = self.told()
        self.assertIn("The settings were not saved in this browser's storage", said)
        self.assertIn("QuotaExceededError", said)
        self.assertEqual(self.saved(), before)

    def test_a_store_from_a_later_version_is_said_and_never_written_over(self):
        self.page.eval("""(async () => { const db = await new Promise((ok) => {
              const r = indexedDB.open('Vantorel', 1); r.onsuccess = () => ok(r.result); });
            await new Promise((ok) => { const t = db.transaction('settings', 'readwrite');
              t.objectStore('settings').put({format: 2, writer: 'Vantorel 9.0.0', keys: []}, 'tree');
              t.oncomplete = ok; }); db.close(); })()""")
        self.load()
        said = self.told()
        self.assertIn("written by a later version of Vantorel (Vantorel 9.0.0)", said)
        self.press("cbButton(1)")
        self.rest()
        self.told()
        self.press("cbButton(0)")  # Exit
        self.page.until("vantorel.view.ended || vantorel.view.modal")
        self.told()
        self.assertEqual(self.saved(), {"format": 2, "values": {}})

    def test_the_printed_list_lies_on_the_page_as_vantorel_fits_pdf_of_it(self):
        self.page.eval("window.print = () => { window.printedPages = (window.printedPages || 0) + 1; }")
        self.press("cbButton(1)")
        self.rest()
        self.press("cbButton(5)")
        self.page.until("window.printedPages === 1")
        web = os.path.join(self.downloads, "web.png")
        with open(web, "wb") as f:
            f.write(base64.b64decode(self.page.eval("document.getElementById('printed').src").split(",")[1]))
        pdf = os.path.join(self.downloads, "list.pdf")
        subprocess.run([FIT, "--pdf", pdf, *ROWS], check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["pdftoppm", "-r", "300", "-png", "-singlefile", pdf, pdf[:-4]], check=True)
        # The same lines of text and the same columns, at the page's 300 dots per inch; the faces'
        # line spacings differ by well under 1 %. The PDF page has its quarter-inch margins.
        for axis in (0, 1):
            ours, theirs = Ink(web, 0, axis), Ink(pdf[:-4] + ".png", 75, axis)
            self.assertEqual(len(ours), len(theirs), axis)
            for a, b in zip(ours, theirs):
                self.assertLessEqual(abs(a - b), 3 + b // 100, (axis, ours, theirs))

    def test_a_settings_file_saved_here_opens_here_and_a_foreign_one_changes_nothing(self):
        self.page.eval("document.getElementById('save-settings').click()")
        saved = os.path.join(self.downloads, "Vantorel settings.txt")
        deadline = time.monotonic() + 30
        while not os.path.exists(saved) and time.monotonic() < deadline:
            time.sleep(0.05)
        foreign = os.path.join(self.downloads, "notes.txt")
        with open(foreign, "w") as f:
            f.write("Zero at 30 yards\n")
        self.field("RTxt(2)", "33")
        picker = self.page.send("DOM.querySelector", nodeId=self.page.send("DOM.getDocument")["root"]["nodeId"],
                                selector="#settings-file")["nodeId"]
        for path, said in ((foreign, "Settings File|This is not a Vantorel settings file. Nothing was changed."),
                           (saved, "")):
            self.page.send("DOM.setFileInputFiles", nodeId=picker, files=[path])
            self.page.until("vantorel.view.modal || vantorel.view.text(vantorel.view.byName['RTxt(2)']) === '30'")
            self.assertEqual(self.told(), said)
        self.assertEqual(self.saved()["values"]["R(2)"], "30")

    def test_upright_on_a_phone_every_target_takes_a_thumb_and_nothing_is_small_or_sideways(self):
        for width in (360, 390, 430):
            self.page.send("Emulation.setDeviceMetricsOverride", width=width, height=844, deviceScaleFactor=3,
                           mobile=True)
            self.load()
            found = self.page.eval("""(() => {
              const v = vantorel.view, scale = v.main().element.getBoundingClientRect().width / v.main().element.offsetWidth;
              const out = [];
              if (document.documentElement.scrollWidth > document.documentElement.clientWidth) out.push('scrolls sideways');
              for (const c of v.main().layout.controls) {
                const e = v.controls[c.id].element;
                if (e.closest('[hidden]')) continue;
                const r = e.getBoundingClientRect();
                if (['field', 'tick', 'button', 'close'].includes(c.kind) && (r.width < 44 || r.height < 44))
                  out.push(c.name + ' ' + Math.round(r.width) + 'x' + Math.round(r.height));
                if (!['frame', 'picture'].includes(c.kind) && e.textContent.trim() && parseFloat(getComputedStyle(e).fontSize) * scale < 12) out.push(c.name + ' text');
              }
              for (const b of document.querySelectorAll('#bar button'))
                if (b.getBoundingClientRect().height < 44) out.push(b.id);
              return out; })()""")
            self.assertEqual(found, [], width)

    def test_no_serious_or_critical_accessibility_violation_in_either_arrangement(self):
        with open(os.path.join(AXE, "axe.min.js")) as f:
            axe = f.read()
        for width, height, mobile in ((800, 600, False), (390, 844, True)):
            self.page.send("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1,
                           mobile=mobile)
            self.load()
            self.page.eval(axe)
            found = self.page.eval("""axe.run(document).then((r) => r.violations
                .filter((v) => v.impact === 'serious' || v.impact === 'critical')
                .map((v) => v.id + ': ' + v.nodes.map((n) => n.target.join(' ')).join(', ')))""")
            self.assertEqual(found, [], f"{width}x{height}")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[4:])
