#pragma once
// One process of a kind per session: an flock on a file in
// $XDG_RUNTIME_DIR (else /tmp), held while the process runs and released
// by the kernel when it ends, however it ends.
#include <string>

namespace starbloom {

// Takes the lock named "starbloom-NAME.lock" ('/' in name becomes '_').
// false only when another process holds it; a lock that cannot be had at
// all (no such folder) lets the caller run without one. fd: the held
// descriptor (close-on-exec), -1 for none.
bool takeSessionLock(const std::string& name, int& fd);

} // namespace starbloom
