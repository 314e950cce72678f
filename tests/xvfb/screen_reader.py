# What a screen reader gets from the window (run by screen_reader.sh, with
# Debian's python3 and its AT-SPI bindings): after Calculate, the end of the
# fit is announced once, with the fit error and the model's clicks; each
# row's fields describe the model's clicks at their range; the focus stays
# on the window or the button while the fit runs; the graph is described
# once, at the end.
import sys, gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib

def find(node, role, name):
    if node.get_role_name() == role and node.get_name() == name:
        return node
    return next(filter(None, (find(node.get_child_at_index(i), role, name) for i in range(node.get_child_count()))), None)

desktop = Atspi.get_desktop(0)
for _ in range(600):  # the window registers itself once it shows
    app = next((a for a in map(desktop.get_child_at_index, range(desktop.get_child_count())) if a and a.get_name() == "Vantorel"), None)
    if app and find(app, "push button", "Calculate"):
        break
    GLib.usleep(100000)
else:
    sys.exit("FAIL: no window Vantorel with a Calculate button on the accessibility bus")

heard, focused, graph = [], [], []
def on_event(e):
    name, kind = e.source.get_name(), e.type.split(":")[-1]
    if kind == "showing" and e.detail1 and e.source.get_role_name() == "notification":
        heard.append(name), Atspi.event_quit()
    (focused if kind == "focused" and e.detail1 else graph if kind == "accessible-description" and name == "Graph" else []).append(name)
listener = Atspi.EventListener.new(on_event)
for kind in ("state-changed:showing", "state-changed:focused", "property-change:accessible-description"):
    listener.register("object:" + kind)
find(app, "push button", "Calculate").do_action(0)
GLib.timeout_add_seconds(120, Atspi.event_quit)  # only so that a broken window cannot hang the suite
Atspi.event_main()

said = "Complete: fit error 5.83; model clicks at 10, 20, 30, 40, 50 and 55 yards: 52, 0, -1, 12, 32 and 43."
wrong = [(f, find(app, "text", f).get_description()) for r, c in enumerate(["52", "0", "-1", "12", "32", "43"], 1)
         for f in (f"Range {r}", f"Clicks {r}") if not find(app, "text", f).get_description().endswith(f"Model clicks here: {c}.")]
if heard != [said] or set(focused) - {"Vantorel V1.0.0", "Calculate"} or len(graph) > 1 or wrong:
    sys.exit(f"FAIL: heard {heard}; focused during the fit {focused}; the graph described {len(graph)} times; {wrong}")
print("screen reader: the end of the fit heard once, each row's model clicks read")
