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
