// The extension in the ES-module style (GNOME 45 and later) on a private session
// bus, with stand-ins for the shell's modules (ARGV[1], a GResource) and display.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';

Gio.resources_register(Gio.Resource.load(ARGV[1]));
const window = (pid, title) => ({get_pid: () => pid, get_title: () => title});
const handlers = [], windows = [window(7, 'a'), window(8, 'b'), window(7, 'c')]; // most recent first
globalThis.global = {display: {focus_window: null, get_tab_list: () => windows,
    connect: (signal, handler) => handlers.push([signal, handler]), disconnect: id => handlers.splice(id - 1, 1),
    focus(w) { this.focus_window = w; handlers.forEach(([s, h]) => s === 'notify::focus-window' && h()); }}};

const bus = Gio.DBus.session, name = 'name.pemu.zorv.Shell', signals = [];
Gio._promisify(Gio.DBusConnection.prototype, 'call');
const call = async (method, type, args, iface = name, path = '/name/pemu/zorv/Shell') => (await bus.call(
    iface, path, iface, method, type && new GLib.Variant(type, args), null, 0, 5000, null)).deepUnpack();
const owned = async () => (await call('NameHasOwner', '(s)', [name], 'org.freedesktop.DBus', '/org/freedesktop/DBus'))[0];
bus.signal_subscribe(null, name, 'FocusChanged', null, null, 0, (...a) => signals.push(a[5].deepUnpack()));
const until = async check => { // at most 5 s
    for (let i = 0; i < 250 && !await check(); i++) await new Promise(r => GLib.timeout_add(0, 20, r));
    return check();
};
const expect = (what, got, want) => { if (JSON.stringify(got) !== JSON.stringify(want))
    throw new Error(`${what}: ${JSON.stringify(got)}, expected ${JSON.stringify(want)}`); };

const {default: ShellExtension} = await import(`file://${ARGV[0]}`);
const extension = new ShellExtension({uuid: 'zorv-helper@pemu.name'});
expect('an Extension', extension instanceof (await import('resource:///org/gnome/shell/extensions/extension.js')).Extension, true);
extension.enable();
expect('owned once enabled', await until(owned), true);
const sources = [['xkb', 'us', 'English'], ['xkb', 'de', 'German']];
for (const [method, type, args, reply] of [
    ['GetInputSources', null, null, [sources, 0]],
    ['SelectInputSource', '(ss)', ['xkb', 'de'], [true]], ['SelectInputSource', '(ss)', ['xkb', 'fr'], [false]],
    ['GetInputSources', null, null, [sources, 1]],
    ['ActivateWindow', '(us)', [8, 'b'], [true]], ['ActivateWindow', '(us)', [7, 'x'], [false]],
    ['GetFocus', null, null, [8, 'b']],
    ['ActivateApplication', '(u)', [7], [true]], ['ActivateApplication', '(u)', [9], [false]],
    ['GetFocus', null, null, [7, 'a']]])
    expect(`${method}(${args})`, await call(method, type, args), reply);
expect('FocusChanged', await until(() => signals.length === 2) && signals, [[8, 'b'], [7, 'a']]);
extension.disable();
expect('released once disabled', await until(async () => !await owned()), true);
