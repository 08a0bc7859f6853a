# Shared by test.sh and demo.sh (sourced, not run): the build trees, the
# virtual display and the Wine prefix. Every step prints one line; the tools'
# own output goes to a log file inside the tree it concerns.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${QEV_JOBS:-2}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installers, no prompts

say() { echo "$*"; }

# configure_tree DIR ARGS...: configures DIR (absolute) with Ninja; a cache
# that belongs to another generator, compiler or source folder is thrown away.
configure_tree() {
  local dir=$1
  shift
  mkdir -p "$dir"
  if ! cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >"$dir/configure.log" 2>&1; then
    rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
    if ! cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >"$dir/configure.log" 2>&1; then
      say "  configure failed:"
      grep -E 'CMake (Error|Warning)|error' -A4 "$dir/configure.log" | head -40 | sed 's/^/    /'
      return 1
    fi
  fi
}

# build_tree DIR [TARGET...]: builds as much as can be built (a failing target
# does not stop the others); on failure shows the compiler's errors.
build_tree() {
  local dir=$1
  shift
  local targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  if ! cmake --build "$dir" -j "$JOBS" "${targets[@]}" -- -k 0 >"$dir/build.log" 2>&1; then
    say "  build failed (full log: $dir/build.log):"
    grep -E 'error:|FAILED:|undefined reference|multiple definition' "$dir/build.log" | head -"${BUILD_ERROR_LINES:-40}" | sed 's/^/    /'
    return 1
  fi
}

configure_host() {
  configure_tree "$ROOT/build" -DCMAKE_BUILD_TYPE=Release
}

configure_windows() {
  configure_tree "$ROOT/build-win" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake"
}

configure_sanitizers() {
  CC=clang CXX=clang++ configure_tree "$ROOT/build-san" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQEV_SANITIZE=ON -DQEV_FUZZ=ON
}

# A virtual X display for Wine's windows (xvfb.sh), started once per script
# run and stopped when the script ends (with the Wine server of this run's
# prefix); its display number and messages are kept in a folder of its own.
source "$ROOT/scripts/xvfb.sh"
XVFB_PID=
XVFB_DIR=
start_display() {
  XVFB_DIR=$(mktemp -d)
  if ! xvfb_start "$XVFB_DIR" 1280x1024x24; then
    say "  Xvfb did not start"
    return 1
  fi
}

stop_display() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    timeout 15 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
  if [ -n "$XVFB_DIR" ]; then
    rm -rf "$XVFB_DIR"
    XVFB_DIR=
  fi
}

# The Windows tree's own Wine prefix, created quietly on first use and reused.
prepare_wine() {
  export WINEPREFIX="$ROOT/build-win/wineprefix"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$ROOT/build-win"
    if ! bash "$ROOT/scripts/wine-prefix.sh" "$WINEPREFIX" "$ROOT/build-win/wineboot.log"; then
      say "  creating the Wine prefix failed"
      return 1
    fi
    say "  Wine prefix created: $WINEPREFIX"
  fi
}
