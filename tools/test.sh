#!/usr/bin/env bash
# Every test of gsicom on a fresh machine: installs what it needs, builds the native,
# sanitizer, Windows and fuzz builds with warnings as errors, runs the native test
# suite on the native and sanitizer builds (in the first, the Windows exe under Wine,
# and the native gsicom on the kernel's own serial drivers in a QEMU guest, whose kernel
# is Debian's, fetched once into build/noyau/VERSION), and gives each fuzz target a
# short run.
# The release files are checked too: the exe's resources, the Debian package (lintian,
# then a whole run of the programs it holds), and a second build in another folder that
# must give the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/paquets.sh
gsicom_installer_paquets
if ! gsicom_noyau build/noyau; then
    if [ "${CI-}" = true ]; then
        echo "FAILED: no kernel for the guest tests (tests/noyau), which CI must run" >&2
        exit 1
    fi
    echo "== no kernel for the guest tests (tests/noyau): they will be skipped" >&2
fi

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
for t in LISEZMOI-README.txt LICENSE.txt; do  # read in Notepad: CR LF on every line
    grep -qav $'\r$' "build/windows/zip/$t" && { echo "FAILED: $t in the ZIP has lines without CR LF"; exit 1; }
done
# The Wine runs and the import check take the ZIP's exe.
exe=$PWD/build/windows/zip/gsicom.exe

echo "== the exe's version resource and manifest"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
entete=$(x86_64-w64-mingw32-objdump -p "$exe")
textes=$(strings -el "$exe")
manifeste=$(strings "$exe")
grep -q 'Time/Date.*1970$' <<<"$entete" || { echo "FAILED: the PE header has a time stamp"; exit 1; }
for v in "ProductName" "FileDescription" "OriginalFilename" "gsicom.exe" "FileVersion" "$version"; do
    grep -qxF "$v" <<<"$textes" || { echo "FAILED: no \"$v\" in the version resource"; exit 1; }
done
for v in 'level="asInvoker"' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
    grep -qF "$v" <<<"$manifeste" || { echo "FAILED: no $v in the manifest"; exit 1; }
done
echo "gsicom.exe $version: version resource, manifest (asInvoker, Windows 7 to 11), no time stamp"

# The Wine cases with devices put the tests' cfgmgr32.dll beside that exe.
build native -DGSICOM_EXE="$exe" -DGSICOM_CFGMGR32="$PWD/build/windows/tests/e2e/cfgmgr32/cfgmgr32.dll"

echo "== Debian package"
(cd build/native && cpack -G DEB >/dev/null)
deb=build/native/gsicom_${version}_amd64.deb
dpkg-deb -f "$deb" Package Version Depends
# Unpacked into a throw-away folder, never onto this system: the simulator's help, then
# a whole download of the unpacked gsicom against the unpacked gsicom-sim, as COM1.
deballe=$(mktemp -d)
trap 'rm -rf "$deballe"' EXIT
lintian_code=0
lintian --fail-on error "$deb" >"$deballe.lintian" 2>&1 || lintian_code=$?
grep -v '^running with root privileges' "$deballe.lintian" || true
rm -f "$deballe.lintian"
((lintian_code == 0)) || { echo "FAILED: lintian found errors"; exit 1; }
dpkg-deb -x "$deb" "$deballe"
"$deballe/usr/bin/gsicom-sim" --aide | head -n 1
bash tests/e2e/session.sh telechargement GSICOM="$deballe/usr/bin/gsicom" \
    SIM="$deballe/usr/bin/gsicom-sim" COM1="$PWD/tools/com1.sh" MEMOIRE="$PWD/tests/e2e/memoire.txt"

# The second build of the release runs beside the native suite, whose cases mostly wait
# on read time-outs; niced, it leaves them the processor when they want it.
autre=$(mktemp -d /tmp/gsicom-bis.XXXXXX)
trap 'rm -rf "$deballe" "$autre" "$autre.log" "$autre.fuzz"' EXIT
git ls-files -co --exclude-standard -z | tar cf - --null -T - | tar xf - -C "$autre"
refaire_la_publication() {  # in the copy, which has no git: SOURCE_DATE_EPOCH gives the date
    export SOURCE_DATE_EPOCH=$1
    cd "$autre"
    cmake --preset windows >/dev/null && cmake --build build/windows -j"$jobs" >/dev/null
    (cd build/windows && cpack -G ZIP >/dev/null)
    cmake --preset native -DGSICOM_TESTS=OFF >/dev/null
    cmake --build build/native -j"$jobs" >/dev/null
    (cd build/native && cpack -G DEB >/dev/null)
}
verifier_la_publication() {
    echo "== release again, in another folder: the same bytes"
    wait "$1" || { echo "FAILED: the second build of the release"; cat "$autre.log"; exit 1; }
    for f in build/windows/gsicom.exe "$zip" "$deb"; do
        cmp "$f" "$autre/$f" || { echo "FAILED: $f differs from one build to the other"; exit 1; }
    done
    (cd build/windows && sha256sum -c SHA256SUMS) && (cd build/native && sha256sum -c SHA256SUMS)
    sha256sum build/windows/gsicom.exe "$zip" "$deb"
}
build asan -DGSICOM_EXE="$exe"
build fuzz

# Most end-to-end cases wait on the program's read time-outs, not on the processor:
# twice as many at once as there are cores halves the suite's time.
tests_en_parallele=$((2 * jobs))
date_du_commit=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
(renice -n 19 -p "$BASHPID" >/dev/null; refaire_la_publication "$date_du_commit") >"$autre.log" 2>&1 &
publication=$!
echo "== tests (native)"
ctest --preset native -j"$tests_en_parallele"
verifier_la_publication "$publication"

# The fuzz runs, niced likewise, beside the sanitizer suite; their lines come after it.
fuzz() {
    for cible in build/fuzz/fuzz/fuzz_*; do
        [ -x "$cible" ] || continue
        "$cible" -max_total_time="${GSICOM_FUZZ_SECONDS:-10}" -print_final_stats=0 2>&1 |
            grep -E '^Done|ERROR|SUMMARY' | sed "s|^|$(basename "$cible"): |"
    done
}
(renice -n 19 -p "$BASHPID" >/dev/null; fuzz) >"$autre.fuzz" 2>&1 &
fuzzeur=$!
echo "== tests (asan)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j"$tests_en_parallele"

echo "== fuzz (short runs)"
fuzz_code=0
wait "$fuzzeur" || fuzz_code=$?
cat "$autre.fuzz"
((fuzz_code == 0)) || { echo "FAILED: a fuzz target found a fault"; exit 1; }
echo "== all tests passed"
