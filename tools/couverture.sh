#!/usr/bin/env bash
# The line coverage of each source file of both programs: the native gsicom under the
# native cases (unit tests and end-to-end runs), gsicom.exe under the Wine cases. Both
# are built with --coverage in folders of their own (build/couverture/native and
# build/couverture/windows), the native suite is run there with that exe (every case
# but the guest's under QEMU, whose counts stay in the guest, and the valgrind repeat),
# then gcovr gives a table per build: the native one with gcov, the exe's with
# x86_64-w64-mingw32-gcov (under Wine the exe writes its .gcda files through the Z:
# drive at their Unix paths). A run killed by its time-out leaves no counts.
#   bash tools/couverture.sh [CTEST_OPTION]...   (e.g. -R wine, to run only those)
# CI does not run it. It installs what it needs as tools/test.sh does, gcovr besides.
set -euo pipefail
cd "$(dirname "$0")/.."
racine=$PWD
source tools/paquets.sh
gsicom_paquets=("${gsicom_paquets_tests[@]}" gcovr) gsicom_paquets_nus=()
gsicom_installer_paquets

natif=build/couverture/native
windows=build/couverture/windows
# -Og: the lines as written, and the native build's _FORTIFY_SOURCE still has its
# optimiser.
options=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS=--coverage -Og")
jobs=$(nproc)

echo "== build $windows"
cmake --preset windows -B "$windows" "${options[@]}" >/dev/null
cmake --build "$windows" -j"$jobs"
echo "== build $natif"
cmake --preset native -B "$natif" "${options[@]}" -DGSICOM_EXE="$racine/$windows/gsicom.exe" \
    -DGSICOM_CFGMGR32="$racine/$windows/tests/e2e/cfgmgr32/cfgmgr32.dll" >/dev/null
cmake --build "$natif" -j"$jobs"

# The counts of this run alone.
find "$natif" "$windows" -name '*.gcda' -delete
echo "== tests"
# As tools/test.sh: twice as many at once as there are cores.
ctest --test-dir "$natif" -E '^(noyau\.|valgrind_)' -j"$((2 * jobs))" --output-on-failure "$@" ||
    echo "== some tests failed: the figures below count what ran" >&2

# The program's own sources: not the tests, the simulator, nor the tests' cfgmgr32.dll.
rapport() {  # build, gcov
    echo "== line coverage: $1"
    gcovr --root "$racine" --gcov-executable "$2" --filter "$racine/src/" --txt \
        --sort-percentage "$1"
}
rapport "$natif" gcov
rapport "$windows" x86_64-w64-mingw32-gcov
