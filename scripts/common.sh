# Shared by the commands and the checks: installs what is missing, then
# configures and builds the project in build/.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${QUORVEL_BUILD_DIR:-$repo/build}
# Where the project's own C and C++ sources lie, for the checks that read them.
source_dirs=(app glsl tests bench examples)

packages=(cmake g++ libglfw3-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev
          libgtest-dev libbenchmark-dev libstb-dev xvfb xauth xdotool x11-utils imagemagick apitrace
          valgrind clang-format clang-tidy pkg-config nodejs)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the packages named (the project's own list by default) that are
# missing; options for apt-get install come first: ensure_packages
# --no-install-recommends wine.
ensure_packages() {
  local options=() missing=() package
  while [ $# -gt 0 ] && [ "${1#-}" != "$1" ]; do
    options+=("$1")
    shift
  done
  [ $# -gt 0 ] || set -- "${packages[@]}"
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
}

# The project's version, as CMake's project() states it: every artefact's
# name, the page's footer and the changelog take it from there.
project_version() {
  sed -n 's/^project(Quorvel VERSION \([0-9.]*\) .*/\1/p' "$repo/CMakeLists.txt"
}

configure_project() {
  cmake -S "$repo" -B "$build_dir" -DCMAKE_BUILD_TYPE="${QUORVEL_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
}

build_project() {
  configure_project "$@"
  cmake --build "$build_dir" -j"$(nproc)"
}

# Runs a command on the current display, or on a fresh virtual one. The
# server must not reset when its last client leaves: a test process that
# connects during the reset finds no display.
with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" "$@"
  fi
}

# Starts the program (or the command given after the directory) in a
# directory of its own, with a copy of the shader pair unless one is there,
# and waits for its window: sets program_pid and program_window, or says why
# not and returns 1 (the program killed if it still runs).
start_in() {
  local dir=$1
  shift
  [ $# -gt 0 ] || set -- "$build_dir/quorvel"
  cp -n "$repo/shaders/Quorvel.vert" "$repo/shaders/Quorvel.frag" "$dir"
  cd "$dir"
  "$@" &
  program_pid=$!
  program_window=''
  # A window that goes while xdotool looks at it ends the search with an X
  # error (Wine makes and drops windows as it starts): it searches again.
  local deadline=$((SECONDS + 30))
  while [ -z "$program_window" ] && [ "$SECONDS" -lt "$deadline" ] && kill -0 "$program_pid" 2>/dev/null; do
    program_window=$(timeout $((deadline - SECONDS)) xdotool search --sync --onlyvisible --pid "$program_pid" \
      2>/dev/null | head -n 1)
  done
  [ -n "$program_window" ] && return 0
  echo "FAIL: no window appeared; log: $dir/logfile.txt"
  kill "$program_pid" 2>/dev/null
  return 1
}

# Waits up to LIMIT seconds for a child of this shell to end and returns its
# status; one still running then is killed, says so, and gives 124, as
# timeout(1) does.
wait_for_end() {
  local pid=$1 limit=$2 tenths
  for tenths in $(seq $((limit * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -9 "$pid"
    wait "$pid" 2>/dev/null
    echo "still running after $limit s"
    return 124
  fi
  wait "$pid"
}

# A folder's npm modules as its lock file pins them, installed again only
# when the lock file is newer. No install script runs, so nothing downloads
# a browser.
npm_modules() {
  command -v npm >/dev/null || ensure_packages --no-install-recommends npm
  [ "$1/node_modules/.package-lock.json" -nt "$1/package-lock.json" ] ||
    PUPPETEER_SKIP_DOWNLOAD=1 npm ci --prefix "$1" --ignore-scripts --no-audit --no-fund >/dev/null
}

# apt-get source reads deb-src entries: the machine's own Debian entries,
# typed deb-src (Debian 12's file, or the one-line list of older images).
enable_source_packages() {
  apt-cache showsrc glfw3 >/dev/null 2>&1 && return 0
  local sources=/etc/apt/sources.list.d/debian.sources
  if [ -f "$sources" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$sources" | as_root tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | as_root tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
  as_root apt-get update -qq
}

# Builds Debian's source packages once into CACHE, which later runs reuse,
# each into a prefix of its own (CACHE/PACKAGE, so that whatever a program
# takes from there names its package), and sets dependency_prefixes to them
# as a CMake list. The caller's build_dependency PACKAGE SOURCE PREFIX builds
# one; everything is built again when STAMP, the caller's account of how it
# builds, changes. Only the upstream sources are fetched, which is all the
# builds need.
build_source_packages() {
  local cache=$1 stamp=$2 package source
  shift 2
  dependency_prefixes=$(IFS=';' && echo "${*/#/$cache/}")
  [ "$(cat "$cache/stamp" 2>/dev/null)" = "$stamp" ] && return 0
  echo "== Building $* into $cache"
  ensure_packages --no-install-recommends dpkg-dev
  enable_source_packages
  rm -rf "$cache"
  mkdir -p "$cache/src"
  # As root, apt-get warns that its download user cannot write here.
  (cd "$cache/src" && apt-get source --tar-only -qq "$@" >/dev/null 2> >(grep -v unsandboxed >&2))
  for package; do
    source=$cache/src/$package
    mkdir "$source"
    tar -xf "$cache/src/${package}_"*.orig.tar.* -C "$source" --strip-components=1
    build_dependency "$package" "$source" "$cache/$package"
  done
  rm -rf "$cache/src"
  echo "$stamp" >"$cache/stamp"
}

# A dependency's own CMake build, static and optimised, installed into PREFIX.
cmake_dependency() {
  local source=$1 prefix=$2
  shift 2
  cmake -S "$source" -B "$source/build-static" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
  cmake --build "$source/build-static" -j"$(nproc)" >/dev/null
  cmake --install "$source/build-static" >/dev/null
}

# The checks of a package: each check says what it found and every one runs,
# whichever fails; figures collects what the run measured.
check() {
  local function=$1 what=$2
  shift 2
  if "$function" "$@"; then
    echo "ok: $what"
  else
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
  cd "$repo"
}

seconds_since() { awk -v now="$EPOCHREALTIME" -v then="$1" 'BEGIN { printf "%.1f", now - then }'; }

# Starts a program in a folder, waits for the frame-rate title, lets it draw,
# keeps its title and a screenshot in the folder and quits with Escape; the
# status is the program's. The title shows once a second, so after 3 s the
# rate is of whole seconds of drawing.
run_and_escape() {
  local dir=$1 started=$EPOCHREALTIME
  shift
  start_in "$dir" "$@" || return 1
  echo "$(seconds_since "$started")" >"$dir/window-after"
  wait_for_title || return 1
  sleep 3
  xdotool getwindowname "$program_window" >"$dir/title"
  import -window "$program_window" "$dir/screenshot.png"
  xdotool windowfocus --sync "$program_window" key Escape
  wait_for_end "$program_pid" 20
}

wait_for_title() {
  local tries
  for tries in $(seq 100); do
    [[ $(xdotool getwindowname "$program_window") =~ ^Quorvel\ [0-9.]+\ \([0-9]+\.[0-9]\ FPS\)$ ]] && return 0
    sleep 0.2
  done
  echo "no frame rate in the title: $(xdotool getwindowname "$program_window")"
  kill "$program_pid"
  return 1
}

# Two screenshots of the same size, at most a few levels of 255 apart in any
# channel of any pixel (compare alone would look for the smaller picture
# inside the larger).
same_picture() {
  local native=$1 other=$2 error
  [ "$(identify -format %wx%h "$native")" = "$(identify -format %wx%h "$other")" ] ||
    { identify "$native" "$other"; return 1; }
  error=$(compare -metric PAE "$native" "$other" null: 2>&1)
  figures+=("screenshot, peak difference from the native one: $error")
  awk -v error="$error" 'BEGIN { split(error, part, /[()]/); exit !(part[2] != "" && part[2] * 255 <= 3) }'
}
