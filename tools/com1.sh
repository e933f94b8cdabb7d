#!/usr/bin/env bash
# com1.sh [--disque SIZE] [--hors-tmp] [--nom NAME] PTY COMMAND [ARG]...
#
# Runs COMMAND with the terminal PTY as COM1 (/dev/ttyS0) and no other serial port:
# in a private mount namespace, a small /dev (ttyS0, null, zero, random, urandom,
# tty, ptmx, pts, shm, fd and the std links) is mounted over /dev, then COMMAND is
# run with this script's standard input and output. Its exit code is returned.
# With --disque, COMMAND runs in a tmpfs of SIZE bytes (e.g. 4k) mounted over the
# current directory, a disk that fills up; the files it leaves there are copied into
# the directory itself when it ends.
# With --hors-tmp, COMMAND runs in /mnt, where the current directory is bound: the
# same files in a folder that is no temporary one, wherever the directory lies (gsicom
# warns of a current folder the system may empty).
# With --nom, PTY is /dev/NAME instead of COM1's /dev/ttyS0 (e.g. ttyUSB12, a device
# outside COM1 to COM30), and there is no ttyS0; a /sys/class/tty of the namespace's
# own shows NAME alone, with a device behind it as a USB adapter has.
# As root it makes a mount namespace; as a normal user, an unprivileged user and mount
# namespace (unshare --user --map-root-user --mount) where the kernel allows them, and
# otherwise it says so and needs root. Nothing is changed outside the namespace but an
# empty directory under /tmp, removed at the end.
set -euo pipefail

if [[ ${1-} == --dedans ]]; then
    # Second stage, inside the namespace: build the /dev, put it in place, run.
    pty=$2 dev=$3 disque=$4 hors_tmp=$5
    shift 5
    mount -t tmpfs -o mode=755,size=1m gsicom-dev "$dev"
    # ptmx is a node of its own: a bound one would make its ptys beside the old /dev.
    # A user namespace may make no device node: there it is the machine's, bound (the
    # programs run here open no pty; a bound ptmx still works for any that would).
    if ! mknod -m 666 "$dev/ptmx" c 5 2 2>/dev/null; then
        touch "$dev/ptmx"
        mount --bind /dev/ptmx "$dev/ptmx"
    fi
    for nom in null zero random urandom tty; do
        if [[ -e /dev/$nom ]]; then
            touch "$dev/$nom"
            mount --bind "/dev/$nom" "$dev/$nom"
        fi
    done
    touch "$dev/$COM1_NOM"
    mount --bind "$pty" "$dev/$COM1_NOM"
    for nom in pts shm; do
        if [[ -d /dev/$nom ]]; then
            mkdir "$dev/$nom"
            mount --rbind "/dev/$nom" "$dev/$nom"
        fi
    done
    ln -s /proc/self/fd "$dev/fd"
    ln -s /proc/self/fd/0 "$dev/stdin"
    ln -s /proc/self/fd/1 "$dev/stdout"
    ln -s /proc/self/fd/2 "$dev/stderr"
    # -n: in a user namespace, mount would fail after the move, writing its own notes.
    mount -n --move "$dev" /dev
    if [[ $COM1_NOM != ttyS0 ]]; then
        mount -n -t tmpfs -o mode=755,size=64k gsicom-sys /sys/class/tty
        mkdir -p "/sys/class/tty/$COM1_NOM/device"
    fi
    if [[ -n $hors_tmp ]]; then
        mount -n --bind "$PWD" /mnt
        cd /mnt
    fi
    [[ -z $disque ]] && exec "$@"
    exec 3<.  # the directory itself, still reached through this below the tmpfs
    mount -t tmpfs -o "size=$disque,mode=755" gsicom-disque "$PWD"
    cd "$PWD"
    code=0
    "$@" 3<&- || code=$?
    shopt -s nullglob dotglob
    restes=(*)
    ((${#restes[@]} == 0)) || cp -p -- "${restes[@]}" /proc/self/fd/3/
    exit "$code"
fi

disque= hors_tmp=
export COM1_NOM=ttyS0  # read by the second stage
while [[ ${1-} == --disque || ${1-} == --hors-tmp || ${1-} == --nom ]]; do
    case $1 in
        --disque)
            disque=${2:?--disque wants a size}
            shift 2 ;;
        --hors-tmp)
            [[ -d /mnt ]] || { echo "com1.sh: --hors-tmp wants a folder /mnt" >&2; exit 2; }
            hors_tmp=1
            shift ;;
        --nom)
            COM1_NOM=${2:?--nom wants a device name}
            shift 2
            [[ $COM1_NOM =~ ^[A-Za-z0-9_]+$ ]] || { echo "com1.sh: --nom wants a name in /dev" >&2; exit 2; } ;;
    esac
done

if [[ $# -lt 2 || $1 == -h || $1 == --help ]]; then
    echo "usage: com1.sh [--disque SIZE] [--hors-tmp] [--nom NAME] PTY COMMAND [ARG]..." >&2
    echo "  runs COMMAND with PTY (e.g. the path gsicom-sim prints) as COM1, alone" >&2
    echo "  --disque SIZE: in a tmpfs of SIZE over the current directory (a full disk)" >&2
    echo "  --hors-tmp: in /mnt, where the current directory is bound (no temporary folder)" >&2
    echo "  --nom NAME: PTY is /dev/NAME (e.g. ttyUSB12) instead of /dev/ttyS0" >&2
    exit 2
fi
pty=$(readlink -f -- "$1")
shift
if [[ ! -c $pty ]]; then
    echo "com1.sh: $pty is not a terminal device" >&2
    exit 2
fi
espace=(--mount --propagation private)
if [[ $(id -u) -ne 0 ]]; then
    if ! unshare --user --map-root-user --mount true 2>/dev/null; then
        echo "com1.sh: user namespaces are refused to a normal user here" \
            "(kernel.unprivileged_userns_clone=0, user.max_user_namespaces=0, or a chroot):" \
            "run it as root" >&2
        exit 2
    fi
    espace=(--user --map-root-user "${espace[@]}")
fi
dev=$(mktemp -d /tmp/gsicom-dev.XXXXXX)
trap 'rmdir "$dev" 2>/dev/null || true' EXIT
code=0
unshare "${espace[@]}" -- "$(readlink -f -- "$0")" --dedans "$pty" "$dev" "$disque" "$hors_tmp" "$@" ||
    code=$?
exit "$code"
