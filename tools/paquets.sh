# Installs the Debian packages a script needs, once: sourced by the demo and the test
# scripts, which set gsicom_paquets to their list (the demo's is the native build's
# alone; gsicom_paquets_tests is every test's). Root, or sudo, is needed only when
# something is missing.
gsicom_paquets_demo=(cmake ninja-build g++ util-linux)
gsicom_paquets_tests=("${gsicom_paquets_demo[@]}" libgtest-dev googletest mingw-w64 wine64 wine
                      clang libclang-rt-14-dev clang-format binutils-mingw-w64-x86-64 zip valgrind
                      dpkg-dev file lintian)
gsicom_paquets=("${gsicom_paquets_tests[@]}")

gsicom_installer_paquets() {
    local manquants=() p root=()
    for p in "${gsicom_paquets[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            manquants+=("$p")
    done
    [ ${#manquants[@]} -gt 0 ] || return 0
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "== missing packages, to be installed by root: apt-get install ${manquants[*]}" >&2
            return 1
        fi
        root=(sudo)
    fi
    echo "== installing: ${manquants[*]}"
    "${root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${manquants[@]}" >/dev/null
}
