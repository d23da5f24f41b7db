# Shared by the run, test and benchmark commands: installs what is missing,
# then configures and builds the project in build/.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${QUORVEL_BUILD_DIR:-$repo/build}

packages=(cmake g++ libglfw3-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev
          libgtest-dev libbenchmark-dev xvfb xauth xdotool x11-utils imagemagick apitrace
          valgrind clang-format clang-tidy pkg-config)

ensure_packages() {
  local missing=()
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
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

# Starts the program in a directory of its own with a copy of the shader pair
# and waits for its window: sets program_pid and program_window, or says why
# not and returns 1 (the program killed if it still runs).
start_in() {
  local dir=$1
  cp "$repo/shaders/Quorvel.vert" "$repo/shaders/Quorvel.frag" "$dir"
  cd "$dir"
  "$build_dir/quorvel" &
  program_pid=$!
  program_window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$program_pid" | head -n 1)
  [ -n "$program_window" ] && return 0
  echo "FAIL: no window appeared; log: $dir/logfile.txt"
  kill "$program_pid" 2>/dev/null
  return 1
}
