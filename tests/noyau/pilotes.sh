#!/usr/bin/env bash
# The native gsicom on the Linux kernel's own serial drivers: Debian's kernel booted
# under QEMU, whose 16550A (the 8250 driver), FTDI FT232 adapter on an xHCI controller
# (ftdi_sio over usbserial) or ACM port of a USB gadget (cdc-acm, the 16550A behind it)
# is gsicom-sim's pty on the host; one guest boot a case, as CTest runs them:
#   pilotes.sh CASE NAME=VALUE...
# CASE is a row of the table below, or "sonde", which finds once for the test session
# whether KVM works here (TCG always does) and writes the accelerator into ACCEL.
# NAME=VALUE: GSICOM, SIM, MEMOIRE as for ../e2e/session.sh; NOYAU, the folder that
# tools/paquets.sh's gsicom_noyau fills (the kernel in NOYAU/VERSION); RELAIS,
# relais_telnet; BRLTTY, the stand-in for brltty (brltty.cpp); MODEMMANAGER, the one for
# ModemManager (modemmanager.cpp); ACCEL.
# The guest is an initramfs: busybox, the kernel's modules that gsicom_noyau kept (with
# modules.dep and modules.alias, under /lib/modules/VERSION), gsicom with the libraries
# it links, and an init that runs gsicom once with the case's answers, prints its exit
# code, its output, its standard error and the export file on its console (ttyS1)
# between "@@" markers, base64-encoded, and powers off. Checked as in ../e2e/pannes.sh:
# the exit code, standard error exactly, lines of standard output, the requests the
# simulator received, the export file against the bytes the simulator sent.
# Exit 0 when all holds, 77 when QEMU or the kernel is missing (1 under CI), 1 otherwise.
set -uo pipefail
export TZ=UTC  # the guest's clock, and so the export file's name
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/commun.sh"

cas=${1:?usage: pilotes.sh CASE NAME=VALUE...}
shift
lire_arguments "$@"

# A case that cannot run is skipped, except under CI (CI=true, as .ci/run sets), where
# it fails.
sans() {
    [[ ${CI-} == true ]] || passer "$*"
    echo "FAILED: $* (CI=true: the guest cases must run)"
    exit 1
}
qemu=$(command -v qemu-system-x86_64) ||
    sans "no QEMU: apt-get install --no-install-recommends qemu-system-x86"
vmlinuz=$(ls -d "${NOYAU-}"/*/vmlinuz 2>/dev/null | sort -V | tail -n 1)
[[ -n $vmlinuz ]] ||
    sans "no kernel in ${NOYAU-}: bash tools/test.sh fetches it (gsicom_noyau, tools/paquets.sh)"
noyau=${vmlinuz%/vmlinuz}

# The machine every case boots: no display, no network, no disk; SeaBIOS kept off the
# first serial port, which is the link; the kernel's console on the second.
machine=(-nodefaults -no-user-config -display none -no-reboot -m 256 -smp 1
    -fw_cfg name=etc/sercon-port,string=0 -kernel "$vmlinuz")

if [[ $cas == sonde ]]; then
    # A KVM that opens may still fail (here QEMU aborted at "failed to set MSR", or
    # spun): the kernel must reach its panic for want of a root, within 6 s.
    accel=tcg
    if [[ -r /dev/kvm && -w /dev/kvm ]]; then
        sortie=$(timeout -s KILL 6 "$qemu" "${machine[@]}" -accel kvm -serial stdio \
            -append 'console=ttyS0 panic=-1' 2>&1)
        [[ $sortie == *'Kernel panic'* ]] && accel=kvm
    fi
    echo "$accel" >"$ACCEL"
    echo "accelerator: $accel"
    exit 0
fi

# The table. Each case sets:
#   lien      how the link reaches the guest: 8250 (its ttyS0, COM1), ftdi (its ttyUSB0,
#             COM11), telnet (ttyS0 behind QEMU's telnet socket and relais_telnet), acm
#             (an instrument's own USB port: g_serial's ACM function on dummy_hcd, which
#             cdc-acm makes ttyACM0, COM21; its far end ttyGS0 relayed by two cats to
#             ttyS0, renamed /dev/lien so that gsicom does not see the relay hold it)
#   sim       the simulator's options; reponses: the operator's answers (printf %b)
#   attendu   the exit code; erreurs: standard error, exactly (@FICHIER@ the export
#             file's name, @OCTETS@ how many bytes the simulator sent)
#   sortie    lines standard output must hold; absent: texts it must not hold
#   journal   lines the simulator's log must hold (after its clock)
#   fichier   empty: no file may be made; "entier JOB": every byte sent in the transfer
#   requetes  the requests the simulator must receive, in order (none when empty)
#   uarts     the 8250 driver's ports (ttyS0 to ttyS<uarts-1>): 4 as on every PC, or
#             2 where only the two that QEMU gives matter (the link and the console)
#   adaptateurs  FTDI adapters in all (the first is the link, the others lead nowhere)
#   compte    the account gsicom runs as (geometre: outside dialout)
#   avant     shell commands the guest runs as root before gsicom
#   eteint    (acm) the instrument switched off (its gadget off the bus) once the
#             simulator has logged this request: the host writes a byte on the guest's
#             third UART (renamed /dev/signal), which the guest waits for
#   debranche the adapter is unplugged (device_del) once the simulator has logged this
#             request; coupure: a break comes on the line just after this request
#   serie     a pattern /proc/tty/driver/serial must match in the guest at the end
job2=$(requetes_attendues 2 4)
premieres() { head -n "$1" <<<"$job2"; }
lien=8250 sim=() reponses='1\n2\n2\n1\n1\n' attendu=0 erreurs=() sortie=() absent=() journal=()
fichier= requetes= uarts=2 adaptateurs=0 compte=root avant= debranche= eteint= coupure= serie=
com1='COM1 (/dev/ttyS0)' com11='COM11 (/dev/ttyUSB0)' com21='COM21 (/dev/ttyACM0)'
# Each listed port said by what /sys tells of it, when two or more are listed: QEMU's
# UARTs (the link, the console), its FTDI adapter, g_serial's ACM function.
d1=">> $com1 : port serie du PC (16550A)" d2='>> COM2 (/dev/ttyS1) : port serie du PC (16550A)'
ftdi_sys='"QEMU USB SERIAL", USB 0403:6001' d11=">> $com11 : $ftdi_sys"
d21=">> $com21 : \"Gadget Serial v2.4\", USB 0525:a4a7"
case $cas in
    8250)  # a download through the 8250 driver
        fichier='entier PONT-EST' requetes=$job2 erreurs=("$d1" "$d2") ;;
    ftdi)  # and through ftdi_sio
        lien=ftdi reponses='11\n2\n2\n1\n1\n' fichier='entier PONT-EST' requetes=$job2
        erreurs=("$d1" "$d2" "$d11") ;;
    vitesse-fausse)  # the instrument at 9600 baud, gsicom at 19200: the UART's divisor
        # sets the pty's speed, at which the simulator garbles its replies
        sim=(--vitesse 9600) attendu=4 sortie=('Le materiel ne donne pas son identite.')
        erreurs=("$d1" "$d2" ">> $com1 : @OCTETS@ octet(s) recu(s) depuis l ouverture du port, dont @OCTETS@ illisible(s) : la liaison du materiel n est sans doute pas reglee sur 19200 bauds, 8 bits, sans parite.")
        journal=('# vitesse de la ligne 19200 bauds, appareil a 9600 : rien n est compris')
        requetes=$(premieres 3) ;;
    vitesse-9600)  # both at 9600: the download
        sim=(--vitesse 9600) reponses='1\n1\n2\n1\n1\n' fichier='entier PONT-EST' requetes=$job2
        erreurs=("$d1" "$d2") ;;
    break)  # a break on the line at the second line of the job: counted by the 8250
        # driver, its NUL dropped (IGNBRK), the file whole
        lien=telnet coupure=18 fichier='entier PONT-EST' requetes=$job2 serie='^0: .* brk:1'
        erreurs=("$d1" "$d2" '>> Attention : 1 erreur(s) de ligne pendant le transfert : des octets de @FICHIER@ peuvent etre faux : verifiez-le avant de supprimer le job.') ;;
    debranche)  # the adapter pulled out while gsicom waits for the third line (the
        # simulator is silent from then on, so that no line is in flight)
        lien=ftdi reponses='11\n2\n2\n1\n1\n' sim=(--silence-des 18) debranche=18
        attendu=5 fichier='entier PONT-EST' requetes=$(premieres 18)
        erreurs=("$d1" "$d2" "$d11" ">> Transfert interrompu : le port $com11 a disparu : le cable ou l adaptateur a ete debranche, ou le pilote du port s est arrete."
            '>> Fichier incomplet : @FICHIER@ (2 lignes)') ;;
    acm)  # a download through cdc-acm, the instrument's own USB port
        lien=acm reponses='21\n2\n2\n1\n1\n' fichier='entier PONT-EST' requetes=$job2
        erreurs=("$d2" "$d21") ;;
    acm-eteint)  # the instrument switched off while gsicom waits for the third line:
        # its port goes, and the words name it
        lien=acm reponses='21\n2\n2\n1\n1\n' sim=(--silence-des 18) eteint=18
        attendu=5 fichier='entier PONT-EST' requetes=$(premieres 18)
        erreurs=("$d2" "$d21" ">> Transfert interrompu : le port $com21 a disparu : le cable ou l adaptateur a ete debranche, le materiel eteint ou hors de portee, ou le pilote du port s est arrete."
            '>> Fichier incomplet : @FICHIER@ (2 lignes)') ;;
    uarts-vides)  # ttyS2 and ttyS3, which the kernel makes with no UART behind them:
        # not ports, so 3 is a number like any other outside the list
        uarts=4 reponses='3\n'
        sortie=('Il y a eu 2 port(s) disponibles...' $'\t\t\tCOM 1' $'\t\t\tCOM 2'
            $'\tAdressez-vous au guichet 35')
        absent=($'\t\t\tCOM 3' $'\t\t\tCOM 4') erreurs=("$d1" "$d2") ;;
    douze)  # twelve adapters: ttyUSB10 and ttyUSB11 are past COM20; ttyUSB10 brought
        # in as COM5 the way gsicom's line says (a USB adapter under a ttyS name is a port)
        lien=ftdi adaptateurs=12 reponses='0\n' avant='ln -s /dev/ttyUSB10 /dev/ttyS4'
        for n in 5 {11..20}; do sortie+=($'\t\t\t'"COM $n"); done
        erreurs=(">> /dev/ttyUSB11 existe, mais gsicom ne parle qu aux ports COM1 a COM30 (/dev/ttyS0-9, /dev/ttyUSB0-9, /dev/ttyACM0-9) : debranchez les adaptateurs dont gsicom n a pas besoin et rebranchez celui-ci (il prend le plus petit numero libre), ou donnez-lui un de ces noms, par exemple COM6 : sudo ln -s /dev/ttyUSB11 /dev/ttyS5 (jusqu au redemarrage), puis relancez gsicom."
            "$d1" "$d2" ">> COM5 (/dev/ttyS4) : $ftdi_sys")
        for n in {0..9}; do erreurs+=(">> COM$((n + 11)) (/dev/ttyUSB$n) : $ftdi_sys"); done ;;
    sans-dialout)  # an account outside dialout, the ports root:dialout 0660 as udev
        # makes them; ttyS2 and ttyS3, with no UART behind them, refused too: not named
        compte=geometre uarts=4 reponses='1\n' sortie=('Il y a eu 0 port(s) disponibles...')
        erreurs=(">> $com1 : acces refuse : le port est au groupe dialout ; ajoutez-y le compte geometre (sudo usermod -a -G dialout geometre), puis reconnectez-vous."
            '>> COM2 (/dev/ttyS1) : acces refuse : le port est au groupe dialout ; ajoutez-y le compte geometre (sudo usermod -a -G dialout geometre), puis reconnectez-vous.') ;;
    brltty | sans-module | delie | puce-inconnue)  # the adapter gives no ttyUSB0: its
        # interface taken through usbfs by a program named brltty (@PID@ its pid), as the
        # braille daemon does; ftdi_sio unloaded; the driver unbound; or no module of the
        # kernel knows the chip (its index made without ftdi_sio's aliases: ftdi_sio is
        # given its IDs). Standard output as
        # with no adapter; standard error names it, why, and what to do
        lien=ftdi reponses='0\n' sortie=('Il y a eu 2 port(s) disponibles...') absent=($'\t\t\tCOM 11')
        ftdi='>> Adaptateur USB-serie "QEMU USB SERIAL" (0403:6001) ne donne aucun port : '
        case $cas in
            brltty) avant='u=/sys/bus/usb/devices/1-1; /brltty $(printf /dev/bus/usb/%03d/%03d $(cat $u/busnum $u/devnum)) >/pris &
n=0; while ! grep -q pris /pris && [ $n -lt 300 ]; do sleep 0.1; n=$((n + 1)); done; cat /pris'
                erreurs=("${ftdi}brltty (pid @PID@) le tient par usbfs : brltty, le service des afficheurs braille, prend les adaptateurs USB-serie : retirez-le (sudo apt remove brltty), puis debranchez et rebranchez l adaptateur, et relancez gsicom.") ;;
            sans-module) avant='rmmod ftdi_sio'
                erreurs=("${ftdi}aucun pilote ne l a pris : son module ftdi_sio n est pas charge : sudo modprobe ftdi_sio, puis relancez gsicom.") ;;
            delie) avant='echo 1-1:1.0 >/sys/bus/usb/drivers/ftdi_sio/unbind'
                erreurs=("${ftdi}aucun pilote ne l a pris, bien que son module ftdi_sio soit charge : debranchez et rebranchez l adaptateur, puis relancez gsicom.") ;;
            puce-inconnue) avant='rmmod ftdi_sio; m=/lib/modules/$(uname -r); grep -v " ftdi_sio$" $m/modules.alias >$m/a; mv $m/a $m/modules.alias'
                erreurs=("${ftdi}aucun module de ce noyau (${noyau##*/}) ne connait ce produit : donnez-le au pilote ftdi_sio (jusqu au redemarrage) : sudo modprobe ftdi_sio, puis echo 0403 6001 | sudo tee /sys/bus/usb-serial/drivers/ftdi_sio/new_id, et relancez gsicom.") ;;
        esac
        erreurs+=("$d1" "$d2") ;;
    modemmanager | modemmanager-compte)  # ttyACM0 held in exclusive mode by a process
        # named ModemManager (@PID@ its pid), as that service holds a new CDC ACM port while
        # it probes it: its remedies, the rule with the gadget's IDs. Root sees it hold the
        # port; an account of dialout sees it only run. COM2 alone listed: none described
        lien=acm reponses='0\n' sortie=('Il y a eu 1 port(s) disponibles...')
        avant='/ModemManager /dev/ttyACM0 >/pris &
n=0; while ! grep -q pris /pris && [ $n -lt 300 ]; do sleep 0.1; n=$((n + 1)); done; cat /pris'
        qui='ModemManager (pid @PID@), le service des modems, le sonde'
        if [[ $cas == modemmanager-compte ]]; then
            compte=geometre qui='pris en exclusif par un programme d un autre compte, sans doute ModemManager (pid @PID@), le service des modems, qui le sonde'
            avant+='; chown root:dialout /dev/ttyACM0; chmod 660 /dev/ttyACM0; sed -i "s/^dialout:x:20:$/&geometre/" /etc/group'
        fi
        erreurs=(">> $com21 : $qui : attendez quelques secondes, puis relancez gsicom ; s il le reprend, faites-lui ignorer ce materiel : la ligne ATTRS{idVendor}==\"0525\", ATTRS{idProduct}==\"a4a7\", ENV{ID_MM_DEVICE_IGNORE}=\"1\" dans /etc/udev/rules.d/99-gsicom.rules, puis sudo udevadm control --reload, et debranchez et rebranchez-le ; en dernier recours, sudo systemctl stop ModemManager (le modem mobile d un portable en a besoin : sudo systemctl start ModemManager le rend).") ;;
    *) echo "pilotes.sh: unknown case: $cas" >&2; exit 2 ;;
esac
[[ $lien == ftdi ]] && ((adaptateurs == 0)) && adaptateurs=1
[[ $lien == acm ]] && uarts=4  # the third is the signal's

preparer_travail
qemu_pid= relais_pid=
fin_invite() {
    [[ -n $qemu_pid ]] && kill "$qemu_pid" 2>/dev/null  # timeout passes it on to QEMU
    [[ -n $relais_pid ]] && kill "$relais_pid" 2>/dev/null
    if ((echecs > 0)) && [[ -s $travail/invite.txt ]]; then
        echo "--- invite.txt (the guest's console)"
        tr -d '\r' <"$travail/invite.txt" | grep -av '^[A-Za-z0-9+/=]*$' | tail -n 40 | cut -c1-300
    fi
    terminer
}
trap fin_invite EXIT

# The guest's root: busybox, gsicom and the libraries either links (ldd), the kernel's
# modules, an account outside dialout, the case and its answers.
racine=$travail/racine
mkdir -p "$racine"/{bin,dev,proc,sys,etc} && ln -s bin "$racine/sbin" && cp -a "$noyau/lib" "$racine/" || exit 1
busybox=$(command -v busybox) || sans "no busybox: apt-get install busybox-static"
cp "$busybox" "$racine/bin/busybox" && cp "$GSICOM" "$racine/gsicom" && cp "$BRLTTY" "$MODEMMANAGER" "$racine/" ||
    exit 1
for a in $("$busybox" --list); do [[ $a == busybox ]] || ln -s busybox "$racine/bin/$a"; done
for l in $(for b in "$GSICOM" "$busybox" "$BRLTTY" "$MODEMMANAGER"; do ldd "$b"; done 2>/dev/null |
    awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }'); do
    cp --parents -L "$l" "$racine/" || exit 1
done
modules=
((adaptateurs > 0)) && modules=$'xhci-pci\nftdi_sio'
[[ $lien == acm ]] && modules=$'configfs\nudc-core\ndummy_hcd\nlibcomposite\nu_serial\nusb_f_acm\ng_serial use_acm=1\ncdc-acm'
printf '%s\n' 'root:x:0:0::/:/bin/sh' 'geometre:x:1000:1000::/:/bin/sh' >"$racine/etc/passwd"
printf '%s\n' 'root:x:0:' 'dialout:x:20:' 'geometre:x:1000:' >"$racine/etc/group"
printf '%s\n' 'passwd: files' 'group: files' >"$racine/etc/nsswitch.conf"
printf '%b' "$reponses" >"$racine/entree"
attendre=
((adaptateurs > 0)) && attendre=/dev/ttyUSB$((adaptateurs - 1))
[[ $lien == acm ]] && attendre=/dev/ttyACM0
cat >"$racine/cas" <<EOF
lien='$lien'
modules='$modules'
attendre='$attendre'
compte='$compte'
avant='$avant'
EOF
cat >"$racine/init" <<'EOF'
#!/bin/sh
# The guest's init: one run of gsicom, reported on the console, then off.
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
exec </dev/null >/dev/console 2>&1
. /cas
echo "$modules" | while read -r m; do [ -z "$m" ] || modprobe $m || echo "@@modprobe $m: failed"; done
n=0
while [ -n "$attendre" ] && [ ! -e "$attendre" ] && [ $n -lt 300 ]; do sleep 0.1; n=$((n + 1)); done
# As Debian's udev gives them.
for t in /dev/ttyS* /dev/ttyUSB*; do [ -e "$t" ] && chown root:dialout "$t" && chmod 660 "$t"; done
if [ "$lien" = acm ]; then
    # The relay and the switch, on nodes gsicom does not scan; the settings on held
    # descriptors, so that the cats open nothing anew.
    mv /dev/ttyS0 /dev/lien && mv /dev/ttyS2 /dev/signal
    exec 5<>/dev/lien 6<>/dev/ttyGS0 7<>/dev/signal
    stty 19200 raw -echo <&5 && stty raw -echo <&6 && stty raw -echo <&7
    cat <&6 >&5 &
    cat <&5 >&6 &
    { head -c 1 <&7 >/dev/null && echo disconnect >/sys/class/udc/dummy_udc.0/soft_connect; } &
    exec 5>&- 6>&- 7>&-
fi
eval "$avant"
mkdir /export && chmod 777 /export && cd /export
debut=$(cut -d' ' -f1 /proc/uptime)
if [ "$compte" = root ]; then
    /gsicom </entree >/sortie 2>/erreurs
else
    su -s /bin/sh -c 'exec /gsicom' "$compte" </entree >/sortie 2>/erreurs
fi
code=$?
echo "@@code $code $debut $(cut -d' ' -f1 /proc/uptime)"
echo @@sortie; base64 /sortie
echo @@erreurs; base64 /erreurs
for f in /export/*; do [ -f "$f" ] && echo "@@fichier ${f#/export/}" && base64 "$f"; done
echo @@serie; cat /proc/tty/driver/serial
echo @@fin
# Off once the console's UART has sent it all.
tx() { sed -n 's/^1:.* tx:\([0-9]*\).*/\1/p' /proc/tty/driver/serial; }
avant= apres=$(tx)
while [ "$avant" != "$apres" ]; do avant=$apres; sleep 0.1; apres=$(tx); done
poweroff -f
EOF
chmod 755 "$racine/init"
(cd "$racine" && find . | cpio -o -H newc -R 0:0 --quiet) >"$travail/initrd" || exit 1

# The machine of the case.
accel=tcg
[[ -f ${ACCEL-} ]] && accel=$(cat "$ACCEL")
mkfifo "$travail/moniteur.in" "$travail/moniteur.out" || exit 1
exec 3<>"$travail/moniteur.in"  # held open both ways: a write never waits for QEMU
machine+=(-accel "$accel" -initrd "$travail/initrd"
    -append "console=ttyS1,115200 quiet loglevel=1 panic=-1 no_timer_check 8250.nr_uarts=$uarts"
    -chardev "file,id=console,path=$travail/invite.txt"
    -chardev "pipe,id=moniteur,path=$travail/moniteur" -mon chardev=moniteur,mode=readline)
case $lien in
    8250) machine+=(-chardev "serial,id=lien,path=@PTY@" -serial chardev:lien) ;;
    telnet) machine+=(-chardev "socket,id=lien,path=$travail/telnet,server=on,wait=on,telnet=on"
        -serial chardev:lien) ;;
    ftdi) machine+=(-serial null) ;;
    acm) machine+=(-chardev "serial,id=lien,path=@PTY@" -serial chardev:lien) ;;
esac
machine+=(-serial chardev:console)
if [[ $lien == acm ]]; then
    mkfifo "$travail/signal.in" "$travail/signal.out" || exit 1
    exec 4<>"$travail/signal.in"  # as the monitor's: a write never waits for QEMU
    machine+=(-chardev "pipe,id=signal,path=$travail/signal" -serial chardev:signal)
fi
if ((adaptateurs > 0)); then
    machine+=(-device qemu-xhci,p2=15,p3=15
        -chardev "serial,id=lien,path=@PTY@" -device usb-serial,id=adaptateur,chardev=lien)
    # A USB serial device whose backend is not open never attaches: a file is.
    for ((i = 1; i < adaptateurs; i++)); do
        machine+=(-chardev "file,id=vide$i,path=/dev/null" -device "usb-serial,chardev=vide$i")
    done
fi

demarrer_sim "${sim[@]}"
machine=("${machine[@]//@PTY@/$pty}")
t0=$(date +%s%N)
debut=${t0:0:-9}
# The limit stops a guest that hangs: alone one ends in 6 to 25 s, but nine at once on a
# busy machine each took past 100 s to boot.
timeout -s KILL 200 "$qemu" "${machine[@]}" >"$travail/qemu.txt" 2>&1 &
qemu_pid=$!
if [[ $lien == telnet ]]; then
    "$RELAIS" "$travail/telnet" "$pty" "$coupure" 2>>"$travail/qemu.txt" &
    relais_pid=$!
fi
if [[ -n $debranche$eteint ]]; then
    while kill -0 "$qemu_pid" 2>/dev/null; do  # until the simulator has the request
        (($(requetes_recues | wc -l) >= ${debranche:-$eteint})) && break
        sleep 0.1
    done
    if [[ -n $debranche ]]; then echo 'device_del adaptateur' >&3; else printf x >&4; fi
fi
wait "$qemu_pid"
code_qemu=$?
qemu_pid=
t1=$(date +%s%N)
fin=${t1:0:-9}
[[ -n $relais_pid ]] && { wait "$relais_pid"; relais_pid=; }
((code_qemu == 0)) || echec "QEMU ended with code $code_qemu: $(tail -n 3 "$travail/qemu.txt")"

# The guest's report.
tr -d '\r' <"$travail/invite.txt" >"$travail/invite.lignes"
section() {  # section NAME: the base64 lines after the marker @@NAME, decoded
    awk -v m="@@$1" '$0 == m { dedans = 1; next } /^@@/ { dedans = 0 } dedans' \
        "$travail/invite.lignes" | base64 -d
}
grep -qx '@@fin' "$travail/invite.lignes" || echec "the guest's report is missing or cut"
read -r _ code gsicom_debut gsicom_fin < <(grep -m1 '^@@code ' "$travail/invite.lignes")
section sortie >"$travail/console.txt"
section erreurs >"$travail/erreurs.txt"
while IFS= read -r nom; do
    section "fichier $nom" >"$travail/export/$nom"
done < <(sed -n 's/^@@fichier //p' "$travail/invite.lignes")
printf 'guest (%s): gsicom started %s s after boot, ran %s s; QEMU %d.%03d s in all\n' "$accel" \
    "${gsicom_debut-?}" "$(awk -v a="${gsicom_debut-0}" -v b="${gsicom_fin-0}" 'BEGIN { printf "%.2f", b - a }')" \
    $(((t1 - t0) / 1000000000)) $(((t1 - t0) / 1000000 % 1000))
echo "exit code ${code-none}; standard error:"
sed 's/^/    /' "$travail/erreurs.txt"
if [[ -z $requetes ]]; then arreter_sim; else attendre_sim; fi

[[ ${code-} == "$attendu" ]] || echec "exit code ${code-none}, expected $attendu"
if [[ -n $serie ]]; then
    sed -n '/^@@serie$/,/^@@fin$/p' "$travail/invite.lignes" | grep -qE -- "$serie" ||
        echec "the guest's /proc/tty/driver/serial matches no $serie"
fi
erreurs=("${erreurs[@]//@PID@/$(sed -n 's/^pris //p' "$travail/invite.lignes")}")
verifier_cas
((echecs == 0)) || exit 1
echo "OK: $cas"
