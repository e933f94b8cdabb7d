# Installs the Debian packages a script needs, once: sourced by the demo and the test
# scripts, which set gsicom_paquets to their list (the demo's is the native build's
# alone; gsicom_paquets_tests is every test's) and gsicom_paquets_nus to those that
# come without their recommended packages (QEMU's would bring a desktop's worth).
# Root, or sudo, is needed only when something is missing.
gsicom_paquets_demo=(cmake ninja-build g++ util-linux)
gsicom_paquets_tests=("${gsicom_paquets_demo[@]}" libgtest-dev googletest mingw-w64 wine64 wine
                      clang libclang-rt-14-dev clang-format binutils-mingw-w64-x86-64 zip valgrind
                      dpkg-dev file lintian busybox-static cpio)
gsicom_paquets=("${gsicom_paquets_tests[@]}")
gsicom_paquets_nus=(qemu-system-x86)

gsicom_root=()
gsicom_apt() {  # apt-get ARG..., as root
    "${gsicom_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"
}

gsicom_installer_paquets() {
    local manquants=() nus=() p
    for p in "${gsicom_paquets[@]}" "${gsicom_paquets_nus[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' && continue
        if [[ " ${gsicom_paquets_nus[*]} " == *" $p "* ]]; then nus+=("$p"); else manquants+=("$p"); fi
    done
    [ $((${#manquants[@]} + ${#nus[@]})) -gt 0 ] || return 0
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "== missing packages, to be installed by root: apt-get install ${manquants[*]} ${nus[*]}" >&2
            return 1
        fi
        gsicom_root=(sudo)
    fi
    echo "== installing: ${manquants[*]} ${nus[*]}"
    gsicom_apt update -qq
    [ ${#manquants[@]} -eq 0 ] || gsicom_apt install -y -qq "${manquants[@]}" >/dev/null
    [ ${#nus[@]} -eq 0 ] || gsicom_apt install -y -qq --no-install-recommends "${nus[@]}" >/dev/null
}

# The versioned kernel package that linux-image-amd64 depends on.
gsicom_paquet_noyau() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -n 1
}

# gsicom_noyau DIR: Debian's kernel for the guest of the tests on the kernel's own
# drivers (tests/noyau), taken from the package that linux-image-amd64 depends on,
# downloaded and unpacked once (never into /boot): DIR/vmlinuz, and its USB drivers'
# modules under DIR/usb (their folders: core, host, serial...). Nothing is done when
# DIR/vmlinuz is there.
gsicom_noyau() {
    local dir=$1 paquet deb
    [ -e "$dir/vmlinuz" ] && return 0
    paquet=$(gsicom_paquet_noyau)
    if [ -z "$paquet" ]; then  # a machine whose package lists were never fetched
        [ "$(id -u)" -eq 0 ] || gsicom_root=(sudo)
        gsicom_apt update -qq
        paquet=$(gsicom_paquet_noyau)
    fi
    [ -n "$paquet" ] || { echo "== no kernel package behind linux-image-amd64" >&2; return 1; }
    echo "== kernel for the guest tests: $paquet"
    rm -rf "$dir" && mkdir -p "$dir/paquet" || return 1
    # apt warns that its _apt user cannot write into the folder, then downloads as root.
    (cd "$dir/paquet" && apt-get download -qq "$paquet" 2>&1 | { grep -v 'unsandboxed as root' >&2 || true; })
    deb=$(ls "$dir"/paquet/*.deb) && dpkg-deb -x "$deb" "$dir/paquet/racine" || return 1
    mv "$dir"/paquet/racine/lib/modules/*/kernel/drivers/usb "$dir/usb" &&
        mv "$dir"/paquet/racine/boot/vmlinuz-* "$dir/vmlinuz" && rm -rf "$dir/paquet"
}
