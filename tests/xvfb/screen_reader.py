# What a screen reader gets from the window (run by screen_reader.sh, with
# Debian's python3 and its AT-SPI bindings): after Calculate, the end of the
# fit is announced once, with the fit error and the model's clicks; each
# row's fields describe the model's clicks at their range; the focus stays
# on the window or the button while the fit runs; the graph is described
# once, at the end.
import sys, gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib

def fail(why):
    print("FAIL:", why)
    sys.exit(1)

def find(node, role, name):
    if node.get_role_name() == role and node.get_name() == name:
        return node
    for i in range(node.get_child_count()):
        found = find(node.get_child_at_index(i), role, name)
        if found:
            return found

desktop, app = Atspi.get_desktop(0), None
for _ in range(600):  # the window registers itself once it shows
    app = next((a for a in (desktop.get_child_at_index(i) for i in range(desktop.get_child_count()))
                if a and a.get_name() == "Vantorel"), None)
    if app and find(app, "push button", "Calculate"):
        break
    GLib.usleep(100000)
else:
    fail("no window Vantorel with a Calculate button on the accessibility bus")

heard, focused, graph = [], [], []
def on_event(e):
    role, name = e.source.get_role_name(), e.source.get_name()
    if e.type.startswith("object:state-changed:showing") and e.detail1 and role == "notification":
        heard.append(name)
        Atspi.event_quit()
    elif e.type.startswith("object:state-changed:focused") and e.detail1:
        focused.append(name)
    elif e.type.startswith("object:property-change:accessible-description") and name == "Graph":
        graph.append(e.source.get_description())
listener = Atspi.EventListener.new(on_event)
for kind in ("object:state-changed:showing", "object:state-changed:focused", "object:property-change:accessible-description"):
    listener.register(kind)

find(app, "push button", "Calculate").do_action(0)
GLib.timeout_add_seconds(120, lambda: Atspi.event_quit())  # only so that a broken window cannot hang the suite
Atspi.event_main()
expected = "Complete: fit error 5.83; model clicks at 10, 20, 30, 40, 50 and 55 yards: 52, 0, -1, 12, 32 and 43."
if heard != [expected]:
    fail(f"heard {heard}")
if set(focused) - {"Vantorel V1.0.0", "Calculate"}:
    fail(f"the focus moved through {focused} during the fit")
if len(graph) > 1:
    fail(f"the graph was described {len(graph)} times during the fit")
for row, clicks in enumerate(["52", "0", "-1", "12", "32", "43"], 1):
    for field in (f"Range {row}", f"Clicks {row}"):
        text = find(app, "text", field).get_description()
        if not text.endswith(f"Model clicks here: {clicks}."):
            fail(f"{field} is described as {text!r}")
print("screen reader: the end of the fit heard once, each row's model clicks read")
