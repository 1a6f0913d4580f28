// What zorv-helper needs of the shell, on the session bus as name.pemu.zorv.Shell:
// the input sources and the current one, selecting a source, activating a
// window of a process, and a signal whenever another window gets the focus.
// GNOME offers none of these to an ordinary program.
//
// The behaviour of the extension for every GNOME Shell: the build puts it
// between the imports and the entry point of one loading style (legacy.js.in
// up to GNOME 44, module.js.in from GNOME 45 on), which bind Gio, GLib, Meta,
// Main and Keyboard.

const BUS_NAME = 'name.pemu.zorv.Shell';
const OBJECT_PATH = '/name/pemu/zorv/Shell';
const INTERFACE = `<node>
  <interface name="name.pemu.zorv.Shell">
    <!-- (type, id, display name) in the user's order; the index of the current one or -1 -->
    <method name="GetInputSources">
      <arg type="a(sss)" name="sources" direction="out"/>
      <arg type="i" name="current" direction="out"/>
    </method>
    <method name="SelectInputSource">
      <arg type="s" name="type" direction="in"/>
      <arg type="s" name="id" direction="in"/>
      <arg type="b" name="selected" direction="out"/>
    </method>
    <!-- The window of process pid titled title -->
    <method name="ActivateWindow">
      <arg type="u" name="pid" direction="in"/>
      <arg type="s" name="title" direction="in"/>
      <arg type="b" name="activated" direction="out"/>
    </method>
    <!-- The most recently used window of process pid -->
    <method name="ActivateApplication">
      <arg type="u" name="pid" direction="in"/>
      <arg type="b" name="activated" direction="out"/>
    </method>
    <!-- The process and title of the focused window; 0 and "" when none has the focus -->
    <method name="GetFocus">
      <arg type="u" name="pid" direction="out"/>
      <arg type="s" name="title" direction="out"/>
    </method>
    <signal name="FocusChanged">
      <arg type="u" name="pid"/>
      <arg type="s" name="title"/>
    </signal>
  </interface>
</node>`;

function focusOf(window) {
    if (!window)
        return [0, ''];
    return [Math.max(window.get_pid(), 0), window.get_title() || ''];
}

// Windows in most-recently-used order, of every workspace.
function windowsOf(pid) {
    return global.display.get_tab_list(Meta.TabList.NORMAL_ALL, null)
        .filter(w => w.get_pid() === pid);
}

function activate(window) {
    if (!window)
        return false;
    if (Main.overview.visible)
        Main.overview.hide();
    Main.activateWindow(window);
    return true;
}

class HelperService {
    GetInputSources() {
        const manager = Keyboard.getInputSourceManager();
        const sources = Object.values(manager.inputSources).sort((a, b) => a.index - b.index);
        const current = manager.currentSource;
        return [
            sources.map(s => [s.type, s.id, s.displayName || '']),
            current ? sources.indexOf(current) : -1,
        ];
    }

    SelectInputSource(type, id) {
        const manager = Keyboard.getInputSourceManager();
        const source = Object.values(manager.inputSources).find(s => s.type === type && s.id === id);
        if (!source)
            return false;
        source.activate(true);
        return true;
    }

    ActivateWindow(pid, title) {
        return activate(windowsOf(pid).find(w => w.get_title() === title));
    }

    ActivateApplication(pid) {
        return activate(windowsOf(pid)[0]);
    }

    GetFocus() {
        return focusOf(global.display.focus_window);
    }
}

// Puts the service on the session bus and follows the shell's focus while the
// shell has the extension enabled.
class HelperExport {
    enable() {
        this._service = new HelperService();
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this._service);
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._focusHandler = global.display.connect('notify::focus-window', () => {
            this._object.emit_signal('FocusChanged',
                new GLib.Variant('(us)', focusOf(global.display.focus_window)));
        });
        this._nameId = Gio.bus_own_name(Gio.BusType.SESSION, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._nameId);
        global.display.disconnect(this._focusHandler);
        this._object.unexport();
        this._object = null;
        this._service = null;
    }
}
