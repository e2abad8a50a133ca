# Installs the Debian packages that Starbloom needs when any is missing.
# Sourced by scripts/run and scripts/test with the list to check.
install_missing_packages() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "error: these packages are missing and sudo is not available: ${missing[*]}" >&2
      return 1
    fi
    sudo=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq || return 1
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
}

# What every build needs: compiler, CMake, OpenGL, EGL, X11 with Xinerama
# Xext (DPMS) and Xss (the idle time), Wayland with the xdg-shell protocol
# and its scanner, libdecor (with its plugin, which draws the title bar),
# GIO (D-Bus, for GNOME's idle monitor), FLTK, stb.
BUILD_PACKAGES=(g++ cmake make pkg-config libgl-dev libgl1-mesa-dri libegl-dev libegl-mesa0
  libglx-dev libx11-dev libxext-dev libxss-dev libxinerama-dev libwayland-dev wayland-protocols libwayland-bin
  libdecor-0-dev libdecor-0-plugin-1-cairo libglib2.0-dev libfltk1.3-dev libstb-dev)
