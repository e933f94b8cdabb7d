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

# The versioned kernel package that linux-image-amd64 depends on. Until the package
# lists have been updated here, GSICOM_NOYAU_PAQUET, where set, stands for their answer:
# a test names with it a kernel no longer on the mirror, as stale lists would (for
# example GSICOM_NOYAU_PAQUET=linux-image-6.1.0-9-amd64).
gsicom_listes_a_jour=
gsicom_paquet_noyau() {
    if [ -n "${GSICOM_NOYAU_PAQUET-}" ] && [ -z "$gsicom_listes_a_jour" ]; then
        echo "$GSICOM_NOYAU_PAQUET"
        return
    fi
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -n 1
}

# gsicom_noyau DIR: Debian's kernel for the guest of the tests on the kernel's own
# drivers (tests/noyau), from the package that linux-image-amd64 depends on, downloaded
# and unpacked once (never into /boot) into DIR/VERSION, as a newer kernel gets a folder
# of its own (the older ones are removed once it is there): DIR/VERSION/vmlinuz, and
# under DIR/VERSION/lib/modules/VERSION, as an installed system has them, modules.dep
# and modules.alias made from the whole package (which ships neither) with the modules
# the guest cases load: USB core, host and serial, the USB gadget and cdc-acm
# (drivers/usb/class), configfs. When the download fails, the package lists are updated
# once and the download tried again. Returns 1 when no kernel could be had.
gsicom_noyau() {
    local dir=$1 paquet essai
    for essai in 1 2; do
        paquet=$(gsicom_paquet_noyau)
        [ -n "$paquet" ] && gsicom_noyau_paquet "$dir" "$paquet" && return 0
        [ "$essai" = 1 ] || break
        echo "== ${paquet:-no kernel package behind linux-image-amd64}${paquet:+ could not be downloaded}: updating the package lists"
        [ "$(id -u)" -eq 0 ] || gsicom_root=(sudo)
        gsicom_apt update -qq || break
        gsicom_listes_a_jour=1
    done
    echo "== no kernel for the guest tests: linux-image-amd64's package could not be downloaded" >&2
    return 1
}

gsicom_noyau_paquet() {  # DIR PACKAGE
    local dir=$1 paquet=$2 version=${2#linux-image-} deb d
    local tmp=$dir/.$version modules=lib/modules/$version
    if [ ! -e "$dir/$version/vmlinuz" ]; then
        echo "== kernel for the guest tests: $paquet"
        rm -rf "$tmp" && mkdir -p "$tmp/paquet" || return 1
        # apt warns that its _apt user cannot write into the folder, then downloads as root.
        (cd "$tmp/paquet" && apt-get download -qq "$paquet" 2>&1 | { grep -v 'unsandboxed as root' >&2 || true; })
        deb=$(ls "$tmp"/paquet/*.deb 2>/dev/null) && dpkg-deb -x "$deb" "$tmp/paquet/racine" &&
            busybox depmod -b "$tmp/paquet/racine" "$version" || { rm -rf "$tmp"; return 1; }
        mkdir -p "$tmp/$modules/kernel/drivers/usb" "$tmp/$modules/kernel/fs" &&
            mv "$tmp/paquet/racine/$modules"/modules.{dep,alias} "$tmp/$modules/" &&
            mv "$tmp"/paquet/racine/boot/vmlinuz-* "$tmp/vmlinuz" || return 1
        for d in drivers/usb/common drivers/usb/core drivers/usb/host drivers/usb/serial \
            drivers/usb/class drivers/usb/gadget fs/configfs; do
            mv "$tmp/paquet/racine/$modules/kernel/$d" "$tmp/$modules/kernel/$d" || return 1
        done
        rm -rf "$tmp/paquet" && mv "$tmp" "$dir/$version" || return 1
    fi
    find "$dir" -mindepth 1 -maxdepth 1 ! -name "$version" -exec rm -rf {} +
}
