#!/usr/bin/env bash
# Sets up, builds and then runs Tallyfold, its tests or its benchmark.
#   ./build.sh run     install what is missing, build, start Tallyfold
#   ./build.sh test    the same set-up, then every test headless
#   ./build.sh bench   the same set-up, then the speed and memory benchmark
#   ./build.sh sanitize  every test again, built with Clang into build-san/ under
#                      AddressSanitizer and UndefinedBehaviorSanitizer; any report fails
#   ./build.sh package the same set-up, then the Debian package build/tallyfold_*.deb
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake make g++ pkg-config qt6-base-dev libsqlite3-dev libxlsxwriter-dev
          libgtest-dev fonts-liberation python3-openpyxl qt6-svg-dev libgif-dev poppler-utils
          libofx-dev qt6-charts-dev libqt6opengl6-dev libpq-dev postgresql-15 openssl)
[ "${1:-run}" = sanitize ] && packages+=(clang)
[ "${1:-run}" = package ] && packages+=(dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
# ccache, where the machine has it, makes a fresh clone's build reuse earlier work.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ "${1:-run}" = sanitize ]; then
  flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -Werror"
  cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
        -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
  cmake --build build-san -j"$jobs"
  cd build-san
  export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$PWD/../tests/lsan.supp:print_suppressions=0
  exec env QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs"
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build -j"$jobs"

case "${1:-run}" in
  run)   exec build/bin/tallyfold ;;
  test)  cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs" ;;
  bench) exec build/bin/tallyfold-bench "${@:2}" ;;
  package) cd build && cpack ;;
  *)     echo "usage: $0 run|test|bench|sanitize|package" >&2; exit 2 ;;
esac
