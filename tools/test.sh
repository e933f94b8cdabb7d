#!/usr/bin/env bash
# Every test of gsicom on a fresh machine: installs what it needs, builds the native,
# sanitizer, Windows and fuzz builds with warnings as errors, runs the native test
# suite on the native and sanitizer builds (the Windows exe under Wine included),
# and gives each fuzz target a short run.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/paquets.sh
gsicom_installer_paquets

echo "== format"
git ls-files '*.cpp' '*.hpp' | xargs clang-format --dry-run --Werror

jobs=$(nproc)
build() {  # preset, cache settings...
    echo "== build $1"
    cmake --preset "$@" -DGSICOM_WERROR=ON >/dev/null
    cmake --build "build/$1" -j"$jobs"
}

build windows
echo "== release ZIP"
(cd build/windows && cpack -G ZIP >/dev/null)
zip=$(ls build/windows/gsicom-*-win64.zip)
rm -rf build/windows/zip && mkdir build/windows/zip
(cd build/windows/zip && cmake -E tar xf "../$(basename "$zip")")
echo "$zip: $(cd build/windows/zip && ls | tr '\n' ' ')"
# The Wine runs and the import check take the ZIP's exe.
exe=$PWD/build/windows/zip/gsicom.exe
build native -DGSICOM_EXE="$exe"
build asan -DGSICOM_EXE="$exe"
build fuzz

echo "== tests (native)"
ctest --preset native -j"$jobs"
echo "== tests (asan)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j"$jobs"

echo "== fuzz (short runs)"
for cible in build/fuzz/fuzz/fuzz_*; do
    [ -x "$cible" ] || continue
    "$cible" -max_total_time="${GSICOM_FUZZ_SECONDS:-10}" -print_final_stats=0 2>&1 |
        grep -E '^Done|ERROR|SUMMARY' | sed "s|^|$(basename "$cible"): |"
done
echo "== all tests passed"
