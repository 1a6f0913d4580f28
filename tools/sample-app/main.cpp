// zorv-sample-app: a GTK3 window with a fixed menu bar and a text entry. Every
// menu activation prints "activated: File -> Export -> PDF" on stdout, so tests
// can see what an accessibility press or a keystroke reached.
//
//   zorv-sample-app [--name NAME] [--windows N] [--big-menu N] [--print-ready]
//                   [--report-window] [--two-menu-bars]
//
// --two-menu-bars: a second, hidden menu bar below the first, the same but
// for the window it reports ("TITLE (second bar)"); View -> Swap Menu Bars
// hides the one shown and shows the other.

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options {
  std::string name = "zorv-sample-app";
  int windows = 1;
  int bigMenu = 0;
  bool printReady = false;
  // Appends the window title to each "activated:" line.
  bool reportWindow = false;
  bool twoMenuBars = false;
};

std::vector<GtkWidget*> swappedBars;

struct Item {
  std::string label;  // with the mnemonic underscore
  std::string accel;  // GTK accelerator name, or empty
  bool sensitive = true;
  bool separator = false;
  std::vector<Item> children;
};

Item leaf(std::string label, std::string accel = "", bool sensitive = true) {
  Item item;
  item.label = std::move(label);
  item.accel = std::move(accel);
  item.sensitive = sensitive;
  return item;
}

Item submenu(std::string label, std::vector<Item> children, bool sensitive = true) {
  Item item;
  item.label = std::move(label);
  item.children = std::move(children);
  item.sensitive = sensitive;
  return item;
}

Item separator() {
  Item item;
  item.separator = true;
  return item;
}

std::vector<Item> menuBar(const Options& options) {
  // The first menu carries the application's own name, as "ThisApp" paths expect.
  std::string appMenu;
  for (char c : options.name) appMenu += c == '_' ? std::string("__") : std::string(1, c);
  std::vector<Item> menus = {
      submenu(appMenu, {leaf("About " + appMenu)}),
      submenu(
          "_File",
          {leaf("_New", "<Primary>n"), leaf("_Open", "<Primary>o"), leaf("_Save", "<Primary>s"),
           submenu("_Export", {leaf("_PDF"), leaf("P_NG"), leaf("_Disabled Format", "", false)}),
           separator(), leaf("_Quit", "<Primary>q")}),
      submenu("_Edit", {leaf("_Undo", "", false), leaf("_Copy", "<Primary>c"),
                        leaf("_Paste", "<Primary><Shift>v"),
                        submenu("_Find", {leaf("Find _Next", "<Primary>g"), leaf("_PDF")})}),
      submenu("_View",
              {leaf("Zoom _In", "<Primary>plus"), leaf("_Keep All", "<Primary><Shift><Alt>k"),
               // Insensitive, with a submenu that must stay out of reach.
               submenu("_Archive", {leaf("_Zip")}, false),
               // An item without a title.
               leaf("")}),
  };
  if (options.twoMenuBars) menus.back().children.push_back(leaf("_Swap Menu Bars"));
  if (options.bigMenu > 0) {
    // Ten groups (fewer for a small menu), items numbered across all of them.
    const int groups = options.bigMenu < 10 ? options.bigMenu : 10;
    std::vector<Item> groupItems;
    int next = 1;
    for (int g = 0; g < groups; ++g) {
      const int count = options.bigMenu / groups + (g < options.bigMenu % groups ? 1 : 0);
      std::vector<Item> items;
      for (int i = 0; i < count; ++i) items.push_back(leaf("Item " + std::to_string(next++)));
      groupItems.push_back(submenu("Group " + std::to_string(g + 1), std::move(items)));
    }
    menus.push_back(submenu("_Big", std::move(groupItems)));
  }
  return menus;
}

std::string withoutMnemonic(const std::string& label) {
  std::string out;
  for (std::size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '_' && i + 1 < label.size()) ++i;
    out += label[i];
  }
  return out;
}

struct Activation {
  std::string path;
  std::string window;
  bool reportWindow;
};

void onActivate(GtkMenuItem*, gpointer data) {
  const auto* activation = static_cast<const Activation*>(data);
  if (activation->reportWindow) {
    std::printf("activated: %s in \"%s\"\n", activation->path.c_str(), activation->window.c_str());
  } else {
    std::printf("activated: %s\n", activation->path.c_str());
  }
  std::fflush(stdout);
  if (activation->path == "File -> Quit") gtk_main_quit();
  if (activation->path == "View -> Swap Menu Bars") {
    for (GtkWidget* bar : swappedBars) gtk_widget_set_visible(bar, !gtk_widget_get_visible(bar));
  }
}

void deleteActivation(gpointer data, GClosure*) {
  delete static_cast<Activation*>(data);
}

GtkWidget* buildItem(const Item& item, const std::string& parentPath, const std::string& window,
                     const Options& options, GtkAccelGroup* accelGroup) {
  if (item.separator) return gtk_separator_menu_item_new();
  GtkWidget* widget = gtk_menu_item_new_with_mnemonic(item.label.c_str());
  const std::string label = withoutMnemonic(item.label);
  const std::string path = parentPath.empty() ? label : parentPath + " -> " + label;
  gtk_widget_set_sensitive(widget, item.sensitive);
  if (!item.children.empty()) {
    GtkWidget* menu = gtk_menu_new();
    gtk_menu_set_accel_group(GTK_MENU(menu), accelGroup);
    for (const Item& child : item.children) {
      gtk_menu_shell_append(GTK_MENU_SHELL(menu),
                            buildItem(child, path, window, options, accelGroup));
    }
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), menu);
    return widget;
  }
  if (!item.accel.empty()) {
    guint key = 0;
    GdkModifierType mods = static_cast<GdkModifierType>(0);
    gtk_accelerator_parse(item.accel.c_str(), &key, &mods);
    gtk_widget_add_accelerator(widget, "activate", accelGroup, key, mods, GTK_ACCEL_VISIBLE);
  }
  g_signal_connect_data(widget, "activate", G_CALLBACK(onActivate),
                        new Activation{path, window, options.reportWindow}, deleteActivation,
                        static_cast<GConnectFlags>(0));
  return widget;
}

int windowsOpen = 0;
int windowsMapped = 0;
int windowsWanted = 0;
bool printReady = false;

gboolean onMapped(GtkWidget*, GdkEvent*, gpointer) {
  if (++windowsMapped == windowsWanted && printReady) {
    std::printf("ready\n");
    std::fflush(stdout);
  }
  return FALSE;
}

void onDestroyed(GtkWidget*, gpointer) {
  if (--windowsOpen == 0) gtk_main_quit();
}

void buildWindow(const std::string& title, const Options& options) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), title.c_str());
  gtk_window_set_default_size(GTK_WINDOW(window), 480, 240);
  GtkAccelGroup* accelGroup = gtk_accel_group_new();
  gtk_window_add_accel_group(GTK_WINDOW(window), accelGroup);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  for (const std::string& reported : {title, title + " (second bar)"}) {
    GtkWidget* bar = gtk_menu_bar_new();
    for (const Item& item : menuBar(options)) {
      gtk_menu_shell_append(GTK_MENU_SHELL(bar),
                            buildItem(item, "", reported, options, accelGroup));
    }
    gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);
    if (!options.twoMenuBars) break;
    swappedBars.push_back(bar);
  }
  g_object_unref(accelGroup);
  GtkWidget* entry = gtk_entry_new();
  gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 6);
  gtk_container_add(GTK_CONTAINER(window), box);

  g_signal_connect(window, "map-event", G_CALLBACK(onMapped), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(onDestroyed), nullptr);
  ++windowsOpen;
  gtk_widget_show_all(window);
  if (swappedBars.size() == 2) gtk_widget_hide(swappedBars[1]);
  gtk_widget_grab_focus(entry);
}

gboolean onTerminate(gpointer) {
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

[[noreturn]] void usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s [--name NAME] [--windows N] [--big-menu N] [--print-ready] "
               "[--report-window] [--two-menu-bars]\n",
               program);
  std::exit(2);
}

int parseCount(const char* text, const char* program, int minimum) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < minimum || value > 100000) usage(program);
  return static_cast<int>(value);
}

}  // namespace

int main(int argc, char** argv) {
  // Our options first: the program name must be set before GTK initialises the
  // accessibility bridge, which registers the application under it.
  Options options;
  std::vector<char*> rest = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--name" && hasValue) {
      options.name = argv[++i];
    } else if (arg == "--windows" && hasValue) {
      options.windows = parseCount(argv[++i], argv[0], 1);
    } else if (arg == "--big-menu" && hasValue) {
      options.bigMenu = parseCount(argv[++i], argv[0], 0);
    } else if (arg == "--print-ready") {
      options.printReady = true;
    } else if (arg == "--report-window") {
      options.reportWindow = true;
    } else if (arg == "--two-menu-bars") {
      options.twoMenuBars = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  g_set_prgname(options.name.c_str());
  g_set_application_name(options.name.c_str());

  int restCount = static_cast<int>(rest.size());
  rest.push_back(nullptr);
  char** restArgs = rest.data();
  // Without a display GTK would only print a warning and return.
  if (!gtk_init_check(&restCount, &restArgs)) {
    std::fprintf(stderr, "%s: cannot open the display\n", argv[0]);
    return 1;
  }
  if (restCount > 1) usage(argv[0]);

  windowsWanted = options.windows;
  printReady = options.printReady;
  for (int i = 1; i <= options.windows; ++i) {
    buildWindow(options.windows == 1 ? options.name : options.name + " " + std::to_string(i),
                options);
  }
  g_unix_signal_add(SIGTERM, onTerminate, nullptr);
  g_unix_signal_add(SIGINT, onTerminate, nullptr);
  gtk_main();
  // GTK, fontconfig and the accessibility bridge keep caches until the process
  // ends; leaving without exit handlers keeps a leak checker (sanitizer builds)
  // from reporting them as this program's leaks and failing the exit status.
  std::fflush(stdout);
  std::_Exit(0);
}
