# Sourced by the scripts that run Windows executables: a private Wine prefix
# under the Windows build folder, and the Wine programs, which Debian installs
# outside PATH (wine64's file list says where). Usage: . scripts/wine-env.sh BUILD_DIR
wine64_files=$(dpkg -L wine64)
wine64=$(grep -m 1 '/wine64$' <<<"$wine64_files")
wineserver=$(grep -m 1 '/wineserver64$' <<<"$wine64_files")
export WINEPREFIX="$(cd "$1" && pwd)/wine-prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# One wineserver, started first so that everything after it uses it, stays
# up until stop_wineserver: each Wine start is then quick. The prefix is made
# (or brought up to date) once.
start_wineserver() {
  mkdir -p "$WINEPREFIX"
  stop_wineserver  # one left behind by an interrupted run would refuse a second
  "$wineserver" -p
  "$wine64" wineboot --init >"$WINEPREFIX/../wineboot.log" 2>&1
}
stop_wineserver() { "$wineserver" -k 2>/dev/null || true; }
