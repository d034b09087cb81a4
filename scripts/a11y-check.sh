#!/usr/bin/env bash
# What a screen reader gets from the desktop program: the program is started
# under Xvfb (with openbox) on a private session bus with the accessibility
# bus, and its accessible objects are read over AT-SPI as a screen reader
# reads them (python3-dbus against org.a11y.atspi): the main window, the
# preset options dialog (General, then the Sound page with its charts and
# choices), the node dialog and Advanced Options. For each shown object it
# prints its role, its name, its value and the focused one; the last lines
# say which of the expected names, values and states were found.
#
#   scripts/a11y-check.sh [BUILD_DIR]     (default: build; exit 1 when an
#                                          expectation is not met)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
if [ -z "${A11Y_CHECK_INNER:-}" ]; then
  export A11Y_CHECK_INNER=1
  exec dbus-run-session -- "$0" "$@"
fi
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: the first free number from 71 on.
disp=71
while [ -e "/tmp/.X11-unix/X$disp" ] || [ -e "/tmp/.X$disp-lock" ]; do disp=$((disp + 1)); done
Xvfb ":$disp" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$disp"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
openbox >/dev/null 2>&1 &
pids+=($!)

# The accessibility bus; its registry is started on demand and sends key
# events through the X server.
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)

cp "$build/bin/sonavel" "$build/bin/Ambix.dll" "$work/"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME/Kelvadi" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[3]\nAdvanced\\RunConfigWizard=0\nAdvanced\\Device=fake\n' > "$XDG_CONFIG_HOME/Kelvadi/Sonavel.conf"
# Qt serves AT-SPI when a screen reader is said to run; this says so.
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion "$work/sonavel" >"$work/log" 2>&1 &
pids+=($!)

/usr/bin/python3 - <<'PY'
import sys, time
import dbus

ACC = 'org.a11y.atspi.Accessible'
PROPS = 'org.freedesktop.DBus.Properties'
STATE_FOCUSED, STATE_SHOWING = 12, 25

session = dbus.SessionBus()
addr = session.get_object('org.a11y.Bus', '/org/a11y/bus').GetAddress(dbus_interface='org.a11y.Bus')
bus = dbus.bus.BusConnection(addr)


class Node:
    def __init__(self, ref):
        self.name, self.path = str(ref[0]), str(ref[1])
        self.obj = bus.get_object(self.name, self.path, introspect=False)

    def prop(self, iface, p):
        return self.obj.Get(iface, p, dbus_interface=PROPS)

    def call(self, iface, method, *args, timeout=10):
        return getattr(self.obj, method)(*args, dbus_interface=iface, timeout=timeout)

    def label(self):
        return str(self.prop(ACC, 'Name'))

    def role(self):
        return str(self.call(ACC, 'GetRoleName'))

    def states(self):
        words = self.call(ACC, 'GetState')
        bits = int(words[0]) | (int(words[1]) << 32)
        return bits

    def children(self):
        return [Node(r) for r in self.call(ACC, 'GetChildren')]

    def interfaces(self):
        return [str(i) for i in self.call(ACC, 'GetInterfaces')]


def app():
    root = Node(('org.a11y.atspi.Registry', '/org/a11y/atspi/accessible/root'))
    for _ in range(200):
        for c in root.children():
            try:
                if c.label().lower() == 'sonavel':
                    return c
            except dbus.DBusException:
                pass
        time.sleep(0.1)
    sys.exit('a11y-check: the program did not appear on the accessibility bus')


found = {}   # what the checks below look for: (role, name) -> line


def describe(n):
    role, name = n.role(), n.label()
    line = f'{role} "{name}"'
    ifaces = n.interfaces()
    if 'org.a11y.atspi.Value' in ifaces:
        v = n.prop('org.a11y.atspi.Value', 'CurrentValue')
        lo = n.prop('org.a11y.atspi.Value', 'MinimumValue')
        hi = n.prop('org.a11y.atspi.Value', 'MaximumValue')
        line += f' value={float(v):g} [{float(lo):g}..{float(hi):g}]'
    if role == 'combo box' and 'org.a11y.atspi.Text' in ifaces:
        line += f' text="{n.call("org.a11y.atspi.Text", "GetText", 0, -1)}"'
    desc = str(n.prop(ACC, 'Description'))
    if desc:
        line += f' description="{desc}"'
    if n.states() & (1 << STATE_FOCUSED):
        line += ' [focused]'
    return line


def walk(n, depth=0, out=None, limit=12):
    try:
        if depth and not (n.states() & (1 << STATE_SHOWING)):
            return
        line = describe(n)
    except dbus.DBusException:
        return
    if out is not None:
        out.append((n, line))
    if n.role() not in ('filler', 'panel') or n.label():
        print('  ' * depth + line)
    if depth < limit and n.role() not in ('menu', 'list', 'table', 'tree'):
        for c in n.children():
            walk(c, depth + 1, out, limit)


def windows(a):
    return {w.label(): w for w in a.children()}


def wait_window(a, title):
    for _ in range(100):
        w = windows(a).get(title)
        if w and w.states() & (1 << STATE_SHOWING):
            return w
        time.sleep(0.1)
    sys.exit(f'a11y-check: no window "{title}"')


def find(nodes, role, prefix):
    for n, line in nodes:
        if n.role() == role and n.label().startswith(prefix):
            return n
    return None


def menu_items(a):
    main = windows(a)['Sonavel']
    items = []

    def dig(n, depth=0):
        for c in n.children():
            if c.role() == 'menu item':
                items.append(c)
            if depth < 4 and c.role() in ('menu bar', 'popup menu', 'menu item'):
                dig(c, depth + 1)
    dig(main)
    return items


def menu_item(a, prefix):
    for n in menu_items(a):
        if n.label().startswith(prefix) and n.children() == []:
            return n
    return None


def trigger(n):
    # The action may open a modal dialog, which keeps the call from
    # returning: the reply is not waited for.
    try:
        n.call('org.a11y.atspi.Action', 'DoAction', 0, timeout=1)
    except dbus.DBusException:
        pass


def key(sym):
    dec = bus.get_object('org.a11y.atspi.Registry', '/org/a11y/atspi/registry/deviceeventcontroller')
    dec.GenerateKeyboardEvent(sym, '', 3, dbus_interface='org.a11y.atspi.DeviceEventController')


checks = []


def expect(what, ok):
    checks.append((what, bool(ok)))


a = app()
main = wait_window(a, 'Sonavel')
time.sleep(1.0)  # the list is filled once the window shows
print('== Main window')
nodes = []
walk(main, out=nodes)
print('\n== Menu commands (name, key binding)')
for n in menu_items(a):
    if not n.children():
        print(f'  "{n.label()}" {n.call("org.a11y.atspi.Action", "GetKeyBinding", 0)}')
lst = find(nodes, 'combo box', '')
expect('the preset list is named "Preset name" by its tooltip, not by its value', lst and lst.label() == 'Preset name')
expect('the preset list\'s value is its text',
       lst and 'org.a11y.atspi.Text' in lst.interfaces()
       and lst.call('org.a11y.atspi.Text', 'GetText', 0, -1) == 'BUILTIN: Relaxation 1 (general)')
expect('the preset list has the focus when the window opens', lst and lst.states() & (1 << STATE_FOCUSED))
names = [n.label() for n in menu_items(a)]
for name in ('Play', 'Freeze/Restart', 'Stop', 'Preset Options...', 'New Preset...', 'Save', 'Delete',
             'Help Topics'):
    expect(f'the menu has "{name}" (the toolbar\'s command), named without its shortcut', name in names)

trigger(menu_item(a, 'Preset Options...'))
dlg = wait_window(a, 'Preset Options')
time.sleep(0.5)
print('\n== Preset options, General')
nodes = []
walk(dlg, out=nodes)
expect('the background box is named by its label', find(nodes, 'combo box', 'Background:'))
tab = find(nodes, 'page tab', 'Sound')
trigger(tab)
time.sleep(0.5)
print('\n== Preset options, Sound')
nodes = []
walk(dlg, out=nodes)
easy = [n for n, _ in nodes if n.role() == 'combo box']
expect('every choice box on the page is named by its pane, not its value',
       easy and all(n.label().endswith(': choice') for n in easy))
mods = [n for n, _ in nodes if n.role() == 'push button' and 'Modulation' in n.label()]
expect('the modulation buttons say ON or OFF', mods and all(n.label().endswith(('(ON)', '(OFF)')) for n in mods))
charts = [n for n, _ in nodes if n.role() == 'chart']
expect('the charts offer a value', charts and all('org.a11y.atspi.Value' in n.interfaces() for n in charts))
if charts:
    c = charts[0]
    before = float(c.prop('org.a11y.atspi.Value', 'CurrentValue'))
    want = before + 5.0
    # Properties.Set takes a variant ("ssv").
    c.obj.Set('org.a11y.atspi.Value', 'CurrentValue', dbus.Double(want, variant_level=1), dbus_interface=PROPS)
    time.sleep(0.3)
    after = float(c.prop('org.a11y.atspi.Value', 'CurrentValue'))
    print(f'\nset the first chart\'s value {before:g} -> {want:g}: it reads {after:g}')
    expect('a chart\'s value can be set over AT-SPI', abs(after - want) < 1e-6)
    # The node dialog: Space on the focused chart.
    c.call('org.a11y.atspi.Component', 'GrabFocus')
    time.sleep(0.3)
    key(0x20)
    node = wait_window(a, 'Sweep Parameters')
    time.sleep(0.3)
    print('\n== Node dialog')
    nodes = []
    walk(node, out=nodes)
    expect('the node dialog\'s second time field reads "Time: to"', find(nodes, 'text', 'Time: to'))
    expect('no name carries a mnemonic "&"', all('&' not in n.label() for n, _ in nodes))
    key(0xff1b)  # Esc
    time.sleep(0.5)
    # As it was, so that Cancel asks nothing.
    c.obj.Set('org.a11y.atspi.Value', 'CurrentValue', dbus.Double(before, variant_level=1), dbus_interface=PROPS)
    time.sleep(0.3)
key(0xff1b)
time.sleep(0.5)

trigger(menu_item(a, 'Advanced Options...'))
adv = wait_window(a, 'Advanced Options')
time.sleep(0.3)
print('\n== Advanced Options')
nodes = []
walk(adv, out=nodes)
combos = sorted(n.label() for n, _ in nodes if n.role() == 'combo box')
expect('the advanced options\' boxes are named by their labels',
       combos == ['AudioStrobe signal waveform:', 'Device:'])
key(0xff1b)

print()
bad = 0
for what, ok in checks:
    print(('ok      ' if ok else 'MISSING ') + what)
    bad += not ok
sys.exit(1 if bad else 0)
PY
