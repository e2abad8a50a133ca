// A stand-in for GNOME's idle monitor and session manager on a test's own
// session bus, written with GDBus as the program's GNOME source is. It owns
// org.gnome.Mutter.IdleMonitor (/org/gnome/Mutter/IdleMonitor/Core) and
// org.gnome.SessionManager (/org/gnome/SessionManager), and behaves as
// mutter does where the tests look: an idle watch fires WatchFired once the
// time since the last input passes its interval, and again after the next
// input; a user-active watch fires once, at the next input; each only to
// the connection that made it. IsInhibited(8) answers the inhibition set
// on standard input. Its standard input drives it, a line each: "input"
// (the user did something), "inhibit 1" or "inhibit 0". It prints "ready"
// once it owns both names, and ends when standard input closes.
#include <gio/gio.h>
#include <glib-unix.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const INTROSPECTION = R"(<node>
  <interface name="org.gnome.Mutter.IdleMonitor">
    <method name="GetIdletime"><arg type="t" direction="out"/></method>
    <method name="AddIdleWatch"><arg type="t" direction="in"/><arg type="u" direction="out"/></method>
    <method name="AddUserActiveWatch"><arg type="u" direction="out"/></method>
    <method name="RemoveWatch"><arg type="u" direction="in"/></method>
    <signal name="WatchFired"><arg type="u"/></signal>
  </interface>
  <interface name="org.gnome.SessionManager">
    <method name="IsInhibited"><arg type="u" direction="in"/><arg type="b" direction="out"/></method>
  </interface>
</node>)";

struct Watch {
  guint32 id = 0;
  std::string owner;     // the unique name of the connection that made it
  guint64 intervalMs = 0; // 0: a user-active watch
  bool fired = false;
};

GDBusConnection* bus = nullptr;
std::vector<Watch> watches;
guint32 nextId = 1;
gint64 lastInputUs = 0;
bool inhibited = false;
std::string pendingInput;

void fire(const Watch& w) {
  g_dbus_connection_emit_signal(bus, w.owner.c_str(), "/org/gnome/Mutter/IdleMonitor/Core",
                                "org.gnome.Mutter.IdleMonitor", "WatchFired", g_variant_new("(u)", w.id), nullptr);
}

void onMethod(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
              GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
  if (std::strcmp(method, "GetIdletime") == 0) {
    const guint64 idleMs = static_cast<guint64>((g_get_monotonic_time() - lastInputUs) / 1000);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(t)", idleMs));
  } else if (std::strcmp(method, "AddIdleWatch") == 0 || std::strcmp(method, "AddUserActiveWatch") == 0) {
    Watch w;
    w.id = nextId++;
    w.owner = sender;
    if (std::strcmp(method, "AddIdleWatch") == 0) g_variant_get(parameters, "(t)", &w.intervalMs);
    watches.push_back(w);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", w.id));
  } else if (std::strcmp(method, "RemoveWatch") == 0) {
    guint32 id = 0;
    g_variant_get(parameters, "(u)", &id);
    for (std::size_t i = 0; i < watches.size(); ++i) {
      if (watches[i].id == id) watches.erase(watches.begin() + static_cast<long>(i));
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
  } else if (std::strcmp(method, "IsInhibited") == 0) {
    guint32 flags = 0;
    g_variant_get(parameters, "(u)", &flags);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", inhibited && (flags & 8) != 0));
  }
}

const GDBusInterfaceVTable VTABLE = {onMethod, nullptr, nullptr, {}};

// Idle watches whose interval has passed since the last input fire once.
gboolean onTick(gpointer) {
  const guint64 idleMs = static_cast<guint64>((g_get_monotonic_time() - lastInputUs) / 1000);
  for (Watch& w : watches) {
    if (w.intervalMs > 0 && !w.fired && idleMs >= w.intervalMs) {
      w.fired = true;
      fire(w);
    }
  }
  return G_SOURCE_CONTINUE;
}

void onInput() {
  lastInputUs = g_get_monotonic_time();
  std::vector<Watch> kept;
  for (Watch& w : watches) {
    if (w.intervalMs == 0) {
      fire(w); // user-active watches fire once and go
    } else {
      w.fired = false;
      kept.push_back(w);
    }
  }
  watches = kept;
}

gboolean onStdin(gint fd, GIOCondition, gpointer loop) {
  char buffer[256];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n <= 0) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
  }
  pendingInput.append(buffer, static_cast<std::size_t>(n));
  for (std::size_t end; (end = pendingInput.find('\n')) != std::string::npos;) {
    const std::string line = pendingInput.substr(0, end);
    pendingInput.erase(0, end + 1);
    if (line == "input") onInput();
    if (line == "inhibit 1") inhibited = true;
    if (line == "inhibit 0") inhibited = false;
  }
  return G_SOURCE_CONTINUE;
}

bool ownName(const char* name) {
  GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus", "RequestName", g_variant_new("(su)", name, 4u),
                                                G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  if (reply == nullptr) return false;
  guint32 result = 0;
  g_variant_get(reply, "(u)", &result);
  g_variant_unref(reply);
  return result == 1; // the primary owner
}

} // namespace

int main() {
  bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) {
    std::fprintf(stderr, "fake_idle_monitor: no session bus\n");
    return 1;
  }
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(INTROSPECTION, nullptr);
  g_dbus_connection_register_object(bus, "/org/gnome/Mutter/IdleMonitor/Core", node->interfaces[0], &VTABLE,
                                    nullptr, nullptr, nullptr);
  g_dbus_connection_register_object(bus, "/org/gnome/SessionManager", node->interfaces[1], &VTABLE, nullptr,
                                    nullptr, nullptr);
  if (!ownName("org.gnome.Mutter.IdleMonitor") || !ownName("org.gnome.SessionManager")) {
    std::fprintf(stderr, "fake_idle_monitor: cannot own the names\n");
    return 1;
  }
  lastInputUs = g_get_monotonic_time();
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_timeout_add(50, onTick, nullptr);
  g_unix_fd_add(0, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), onStdin, loop);
  std::puts("ready");
  std::fflush(stdout);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  g_dbus_node_info_unref(node);
  g_object_unref(bus);
  return 0;
}
