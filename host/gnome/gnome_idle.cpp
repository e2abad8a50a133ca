// The idle trigger's GNOME source: Mutter's idle monitor on the session bus
// (org.gnome.Mutter.IdleMonitor, /org/gnome/Mutter/IdleMonitor/Core),
// through GIO's GDBus. GNOME offers other programs no Wayland idle
// notification; this is what its own shell uses. GDBus is a complete
// D-Bus implementation that every GNOME session already has loaded, and
// its main context can be polled beside the trigger's own descriptors, so
// nothing here speaks the wire protocol by hand.
//
// An idle watch (AddIdleWatch) fires WatchFired once the user has been
// away for the time asked and again after each return; a user-active
// watch (AddUserActiveWatch), asked for once idle has fired, fires once at
// the next input. Mutter sends WatchFired only to the connection that made
// the watch, so the trigger keeps its connection for as long as it runs.
// Before a saver is shown, the session manager is asked whether something
// inhibits idleness (IsInhibited with flag 8: a video player, a
// presentation); where no session manager answers, nothing does.
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/idle_source.h"

namespace starbloom {

namespace {

constexpr const char* MONITOR_NAME = "org.gnome.Mutter.IdleMonitor";
constexpr const char* MONITOR_PATH = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* MONITOR_INTERFACE = "org.gnome.Mutter.IdleMonitor";
constexpr guint32 INHIBIT_IDLE = 8;
constexpr int CALL_TIMEOUT_MS = 2000;
constexpr int MAX_GLIB_FDS = MAX_IDLE_FDS;

struct GnomeIdle {
  GDBusConnection* bus = nullptr;
  guint subscription = 0;
  guint32 idleWatch = 0;
  guint32 activeWatch = 0;  // 0 while none is asked for
  IdleChange pending = IdleChange::Unchanged;
  gint priority = 0;        // of the main context's last prepare
  GPollFD glibFds[MAX_GLIB_FDS] = {};
  int glibCount = 0;
};

GnomeIdle idle; // written by the functions below; one a process

// Calls a method of the idle monitor; its reply, or nullptr with why set.
GVariant* callMonitor(const char* method, GVariant* arguments, const char* replyType, std::string* why) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(idle.bus, MONITOR_NAME, MONITOR_PATH, MONITOR_INTERFACE, method,
                                                arguments, G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE,
                                                CALL_TIMEOUT_MS, nullptr, &error);
  if (reply == nullptr) {
    if (why != nullptr) *why = std::string("no ") + MONITOR_NAME + " on the session bus";
    g_error_free(error);
  }
  return reply;
}

guint32 addWatch(const char* method, GVariant* arguments) {
  GVariant* reply = callMonitor(method, arguments, "(u)", nullptr);
  if (reply == nullptr) return 0;
  guint32 id = 0;
  g_variant_get(reply, "(u)", &id);
  g_variant_unref(reply);
  return id;
}

void onWatchFired(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                  gpointer) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(u)"))) return;
  guint32 id = 0;
  g_variant_get(parameters, "(u)", &id);
  if (id == idle.idleWatch) {
    idle.pending = IdleChange::Idle;
    if (idle.activeWatch == 0) idle.activeWatch = addWatch("AddUserActiveWatch", nullptr);
  } else if (id != 0 && id == idle.activeWatch) {
    idle.activeWatch = 0; // a user-active watch fires once
    idle.pending = IdleChange::Active;
  }
}

// Whether a session bus is there to connect to: GIO would otherwise try to
// start one of its own.
bool sessionBusNamed() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && *address != '\0') return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat socket {};
  return runtime != nullptr && *runtime != '\0' && stat((std::string(runtime) + "/bus").c_str(), &socket) == 0;
}

} // namespace

bool openGnomeIdle(int seconds, std::string& why, bool&) {
  idle = GnomeIdle{};
  if (!sessionBusNamed()) {
    why = "no session bus";
    return false;
  }
  GError* error = nullptr;
  idle.bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (idle.bus == nullptr) {
    why = "no session bus";
    g_error_free(error);
    return false;
  }
  idle.subscription = g_dbus_connection_signal_subscribe(idle.bus, MONITOR_NAME, MONITOR_INTERFACE, "WatchFired",
                                                         MONITOR_PATH, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                         onWatchFired, nullptr, nullptr);
  GVariant* reply = callMonitor("AddIdleWatch", g_variant_new("(t)", static_cast<guint64>(seconds) * 1000u), "(u)",
                                &why);
  if (reply == nullptr) {
    closeGnomeIdle();
    return false;
  }
  g_variant_get(reply, "(u)", &idle.idleWatch);
  g_variant_unref(reply);
  return true;
}

void gnomeIdlePoll(IdlePoll& poll) {
  GMainContext* context = g_main_context_default();
  g_main_context_acquire(context);
  g_main_context_prepare(context, &idle.priority);
  gint timeout = -1;
  idle.glibCount = g_main_context_query(context, idle.priority, &timeout, idle.glibFds, MAX_GLIB_FDS);
  if (idle.glibCount > MAX_GLIB_FDS) idle.glibCount = MAX_GLIB_FDS;
  for (int i = 0; i < idle.glibCount && poll.count < MAX_IDLE_FDS; ++i) {
    poll.fds[poll.count++] = pollfd{idle.glibFds[i].fd, static_cast<short>(idle.glibFds[i].events), 0};
  }
  poll.timeoutMs = idle.pending != IdleChange::Unchanged ? 0 : timeout;
}

IdleChange gnomeIdleChange(const IdlePoll& poll) {
  GMainContext* context = g_main_context_default();
  for (int i = 0; i < idle.glibCount && i < poll.count; ++i) {
    idle.glibFds[i].revents = static_cast<gushort>(poll.fds[i].revents);
  }
  if (g_main_context_check(context, idle.priority, idle.glibFds, idle.glibCount)) g_main_context_dispatch(context);
  g_main_context_release(context);
  if (idle.bus != nullptr && g_dbus_connection_is_closed(idle.bus)) {
    std::fprintf(stderr, "starbloom: the idle trigger lost the session bus\n");
    std::fflush(stderr);
    _exit(1);
  }
  const IdleChange change = idle.pending;
  idle.pending = IdleChange::Unchanged;
  return change;
}

bool gnomeIdleInhibited() {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(idle.bus, "org.gnome.SessionManager", "/org/gnome/SessionManager",
                                                "org.gnome.SessionManager", "IsInhibited",
                                                g_variant_new("(u)", INHIBIT_IDLE), G_VARIANT_TYPE("(b)"),
                                                G_DBUS_CALL_FLAGS_NONE, CALL_TIMEOUT_MS, nullptr, &error);
  if (reply == nullptr) {
    g_error_free(error);
    return false;
  }
  gboolean inhibited = FALSE;
  g_variant_get(reply, "(b)", &inhibited);
  g_variant_unref(reply);
  return inhibited != FALSE;
}

void closeGnomeIdle() {
  if (idle.bus != nullptr) {
    if (idle.subscription != 0) g_dbus_connection_signal_unsubscribe(idle.bus, idle.subscription);
    g_object_unref(idle.bus);
  }
  idle = GnomeIdle{};
}

} // namespace starbloom
