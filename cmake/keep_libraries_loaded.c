/* Linked into every executable of a sanitizer build, and exported from it:
 * a dlclose that leaves the library mapped. libglvnd unloads Mesa's GLX and
 * EGL vendor libraries when a display or EGL connection closes, and Mesa
 * unloads its DRI driver with its screen; what they keep would then lie in
 * memory that no loaded module owns, and the leak check at exit could
 * neither name those allocations nor match them against the suppressions.
 * With every library mapped until exit, memory that a library still points
 * to is reachable, and a leak report names the library that made it.
 * Libraries loaded at run time bind to the executable's definition, which
 * comes first in the global symbol lookup, ahead of the C library's.
 *
 * Also the sanitizer's defaults for every such executable: it does not
 * follow __tls_get_addr. With glibc 2.36 its guess of where a dynamic
 * thread-local block starts and ends can read a stale header, and the leak
 * check at exit then dies on a wild range ("Tracer caught signal 11"),
 * depending only on where the block happens to land. ASAN_OPTIONS still
 * adds to these. */
int dlclose(void *handle);
const char *__asan_default_options(void);

int dlclose(void *handle) {
  (void)handle;
  return 0;
}

const char *__asan_default_options(void) { return "intercept_tls_get_addr=0"; }
