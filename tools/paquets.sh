# Installs the Debian packages the builds and the tests need, once: sourced by the
# demo and the test scripts. Root is needed only when something is missing.
gsicom_paquets=(cmake ninja-build g++ libgtest-dev googletest mingw-w64 wine64 wine clang
                libclang-rt-14-dev clang-format binutils-mingw-w64-x86-64 util-linux zip valgrind)

gsicom_installer_paquets() {
    local manquants=()
    for p in "${gsicom_paquets[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            manquants+=("$p")
    done
    if [ ${#manquants[@]} -gt 0 ]; then
        echo "== installing: ${manquants[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq "${manquants[@]}" >/dev/null
    fi
}
