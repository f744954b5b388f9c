#!/usr/bin/python3
"""What a screen reader hears from the running program over AT-SPI, while keys are pressed in its
window (xdotool, window id in argv[1]): the tempo slider and the beats slider tell their new values,
a lamp tells that it was checked, the preset chooser names the preset chosen, START says why it
plays silent (the sound server does not answer), and what a key or menu entry switched or set,
START and STOP, the menu's name as it opens and the note on the status line, are notifications (which a reader says whatever has the focus). Prints the faults
found and ends with status 1 when there are any."""
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

WINDOW = sys.argv[1]
heard = []  # (event type, role, name, value or detail1)


def on_event(event):
    source = event.source
    try:
        app = source.get_application()
        if not app or app.get_name() != "metronom":
            return
        value = event.detail1
        if event.type.startswith("object:property-change:accessible-value"):
            value = source.get_current_value()
        heard.append((event.type, source.get_role_name(), source.get_name(), value))
    except GLib.Error:
        pass


def pump(seconds):
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.01)


def find_app():
    desktop = Atspi.get_desktop(0)
    for _ in range(100):
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app and app.get_name() == "metronom":
                return app
        time.sleep(0.1)
    return None


def controls(node, found):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child:
            found.append(child)
            controls(child, found)
    return found


def key(name):
    subprocess.run(["xdotool", "key", "--window", WINDOW, name], check=True)
    pump(0.6)


def values_of(name_start):
    return [v for (t, role, name, v) in heard
            if t.startswith("object:property-change:accessible-value") and role == "slider"
            and name.startswith(name_start)]


app = find_app()
if not app:
    print("FAIL: the program is not on the accessibility bus")
    sys.exit(1)
everything = controls(app, [])
listener = Atspi.EventListener.new(on_event)
for kind in ("object:property-change:accessible-value", "object:state-changed:checked",
             "object:state-changed:showing"):
    listener.register(kind)
pump(3)  # the server has 2 s to answer: the note that it did not, before the keys
faults = []

# From the start: 120, four beats.
key("Right")
key("Next")
key("3")
pump(0.5)
if values_of("Tempo:") != [121.0, 111.0]:
    faults.append(f"tempo slider told {values_of('Tempo:')} for Right, Page Down (expected 121, 111)")
if values_of("Schläge pro Zyklus") != [3.0]:
    faults.append(f"beats slider told {values_of('Schläge pro Zyklus')} for the key 3 (expected 3)")

lamp = next(c for c in everything if c.get_name() == "Akzent 1, Schlag 2")
lamp.do_action(0)
pump(0.5)
checked = [v for (t, role, name, v) in heard if t == "object:state-changed:checked" and name == lamp.get_name()]
if checked != [1]:
    faults.append(f"the lamp 'Akzent 1, Schlag 2' told {checked} when toggled (expected checked once)")
if not lamp.get_state_set().contains(Atspi.StateType.CHECKED):
    faults.append("the lamp toggled through the reader is not checked")

presets = [c for c in everything if c.get_role_name() == "combo box" and c.get_name().startswith("Presets")]
if [p.get_name() for p in presets] != ["Presets: Normal"]:
    faults.append(f"the preset chooser reads {[p.get_name() for p in presets]} (expected 'Presets: Normal')")

key("t")
key("t")
key("Up")
key("u")
key("a")
key("F10")  # the menu by its name; its third entry, Tempo-Trainer, switched there (to the open menu) and by R
subprocess.run(["xdotool", "key", "--delay", "300", "Down", "Down", "Return"], check=True)
pump(0.6)  # a notification's name is read as its event is taken: before the next one renames it
key("r")
key("r")
key("Right")  # the trainer gives way: both news in one notification
start = next(c for c in everything if c.get_role_name() == "push button" and c.get_name() == "START")
key("space")
pump(0.5)
key("space")
told = [name for (t, role, name, v) in heard if t == "object:state-changed:showing" and role == "notification" and v]
for expected in ("Tempo 121", "Tempo 111", "Tempo ", "Lautstärke 90", "Unterteilung 2 pro Schlag", "Akzente a", "Stopp",
                 "Übungen und Einstellungen", "Tempo-Trainer an", "Tempo-Trainer aus", "Kein Tonserver", "Start, Tempo ",
                 "Trainer aus (von Hand). Tempo "):
    if not any(name.startswith(expected) for name in told):
        faults.append(f"no notification {expected!r} (told {told})")
if "Tonserver" not in start.get_description():
    faults.append(f"START while silent describes itself as {start.get_description()!r} (no word of the sound server)")

for fault in faults:
    print("FAIL:", fault)
print(f"{19 - len(faults)} passed, {len(faults)} failed")
sys.exit(1 if faults else 0)
