/* Linked into every executable of a sanitizer build, and exported from it:
 * a dlclose that leaves the library mapped. libglvnd unloads Mesa's GLX and
 * EGL vendor libraries when a display or EGL connection closes, and Mesa
 * unloads its DRI driver with its screen; what they keep would then lie in
 * memory that no loaded module owns, and the leak check at exit could
 * neither name those allocations nor match them against the suppressions.
 * With every library mapped until exit, memory that a library still points
 * to is reachable, and a leak report names the library that made it.
 * Libraries loaded at run time bind to the executable's definition, which
 * comes first in the global symbol lookup, ahead of the C library's. */
int dlclose(void *handle);

int dlclose(void *handle) {
  (void)handle;
  return 0;
}
