#!/usr/bin/env bash
# Faults of the line and bad input, end to end: the real gsicom (or gsicom.exe under
# Wine, for the cases named wine-CASE: every case but those marked natif; those marked
# windows under Wine alone) as COM1 against gsicom-sim over a pty, one case a run, as
# CTest runs them:
#   pannes.sh CASE NAME=VALUE...      (NAME=VALUE as for session.sh)
# Every case checks that the run ends with its exit code, within its time and with its
# messages (standard error exactly: under Wine, the program's lines of it), that the
# requests the simulator logged are
# the expected ones (no JOB/ERASE in any case), and that the export file, when there is
# one, holds every byte the simulator sent in the transfer before the fault, each LF
# stored as CR LF. Exit 0 when all holds, 77 when the case cannot run here, 1 otherwise.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/commun.sh"

cas=${1:?usage: pannes.sh CASE NAME=VALUE...}
shift
lire_arguments "$@"

# The requests of a run that downloads job 2 (4 lines) or job 1 (2 lines), by number:
# 1 a, 2 c, 3 name, 4 temperature, 5 c, 6 formats, 7 c, 8 c, 9 the listing (row 1),
# 10-12 "?" (rows 2, 3, the marker), 13 c, 14-15 FORM/SET/0, 16 JOB/RCV (line 1),
# 17... "?" (line 2...), then "?" for the marker and c.
job2=$(requetes_attendues 2 4)
job1=$(requetes_attendues 1 2)
premieres() { head -n "$1" <<<"$job2"; }
fois() { for ((i = 0; i < $1; i++)); do echo "$2"; done; }

# A GSI-16 line far longer than one read (2047 bytes): 5000 bytes and its CR LF.
longue=$(for ((i = 0; i < 208; i++)); do printf '*41%04d+000000000000%04d ' "$i" "$i"; done)
longue="${longue}x${longue:0:7}"
# Two lines of 2000 bytes for a disk of 4 KiB: the second does not fit.
bloc=${longue:0:2000}
code_effacement=1472583690
mega() { head -c 1048576 /dev/zero | tr '\0' "$1"; }

# The table. Each case sets:
#   sim       the simulator's fault options. Every reply goes out in one write
#             (--sans-cadence): paced at the line's rate, a reply still coming when
#             gsicom reads (a long one, or any after a stall of the simulator on a busy
#             machine) is cut by gsicom's 50 ms between bytes, and the case then checks
#             a timing, not the program. Sent whole, each reply is in the log before
#             the request that follows it.
#   reponses  the operator's answers (printf %b), then end of input; or entree(), a
#             function that writes them
#   attendu   the exit code
#   sortie    lines standard output must hold; erreurs: standard error, exactly
#             (@FICHIER@ stands for the export file's name, @OCTETS@ for how many
#             bytes the simulator sent)
#   absent    texts standard output must not hold
#   journal   lines the simulator's log must hold (after its clock)
#   fichier   empty: no file may be made; "entier JOB": every byte sent in the
#             transfer; "debut JOB": the start of them, cut by a write that failed at
#             the last reply
#   requetes  the requests the simulator must receive, in order
#   fenetre   REF MIN MAX: the run ends MIN to MAX s after request number REF (or the
#             hang-up); duree: it ends within this many seconds of its start
#   commande  how gsicom is run (default: the native binary as is); disque: the size
#             of the disk it writes on (com1.sh --disque)
#   occupant  another program (sleep, @PID@ in erreurs) holds the pty during the run;
#   droits    the pty belongs to this group, mode 660
#   natif     why the case runs on the native build only (a wine-CASE is refused)
#   windows   why the case runs under Wine only (a CASE is refused)
#   nom_pty   natively, the pty's name in /dev instead of ttyS0 (com1.sh --nom)
#   port_wine under Wine, COMn beside COM1 that lead to the pty too (the prefix's Ports),
#             separated by spaces
#   peripheriques under Wine, devices in the run's registry with their problem codes
#             (peripheriques_wine in commun.sh has the fields); sans_com1: no COM1 at all
#   bluetooth under Wine, the names Windows' Bluetooth stack keeps for paired devices
#             (noms_bluetooth_wine in commun.sh)
#   precharge a library preloaded into gsicom (or into Wine)
#   temporaire the run stays in the system's temporary folder (@DOSSIER@ in erreurs):
#             the work directory natively, the Wine prefix's own (%TEMP%) under Wine

# The port as gsicom's messages name it.
com1='COM1 (/dev/ttyS0)'
[[ $cas == wine-* ]] && com1=COM1
sim=() reponses= attendu=0 sortie=() erreurs=() absent=() journal=() fichier= requetes= fenetre=()
duree=30 commande=() disque= occupant= droits= natif= precharge= nom_pty= port_wine=
temporaire= windows= peripheriques=() sans_com1= bluetooth=()
base=${cas#wine-}

# Devices as Windows lists them, in the registry's order (Wine's setupapi gives them in
# it). Each serial adapter or port with a problem has its line, one for both interfaces
# of the CP2105 (their instance IDs show one device), and the USB device Windows could
# not read has its own; a name longer than the first read (256 characters) is read
# again, whole.
long=$(printf '%.0s, cable de l instrument' {1..12})
adaptateurs=('ACPI\PNP0501\1|Ports|Communications Port (COM2)||ACPI\PNP0501|*PNP0501|43'
    $'FTDIBUS\\COMPORT&VID_0403&PID_6015\\DN05ABCDA|Ports|P\xc3\xa9riph\xc3\xa9rique "s\xc3\xa9rie" USB||FTDIBUS\\COMPORT&VID_0403&PID_6015||22'
    'USB\VID_0000&PID_0002\5&4d5e6f7&0&3|||Unknown USB Device (Device Descriptor Request Failed)|USB\DEVICE_DESCRIPTOR_FAILURE||43'
    'USB\VID_067B&PID_2303\6&1d2e3f4&0&2|Ports|Prolific USB-to-Serial Comm Port (COM3)||USB\VID_067B&PID_2303&REV_0300;USB\VID_067B&PID_2303||10'
    'USB\VID_10C4&PID_EA70&MI_00\6&2b1f3e9a&0&0000|||CP2105 Dual USB to UART Bridge Controller|USB\VID_10C4&PID_EA70&REV_0100&MI_00;USB\VID_10C4&PID_EA70&MI_00|USB\Class_FF&SubClass_00&Prot_00;USB\Class_FF|28'
    'USB\VID_10C4&PID_EA70&MI_01\6&2b1f3e9a&0&0001|||CP2105 Dual USB to UART Bridge Controller|USB\VID_10C4&PID_EA70&REV_0100&MI_01;USB\VID_10C4&PID_EA70&MI_01|USB\Class_FF&SubClass_00&Prot_00;USB\Class_FF|28'
    'USB\VID_1A86&PID_55D4\5&3c4d5e6&0&4|Ports|USB-Enhanced-SERIAL CH9102 (COM5)||USB\VID_1A86&PID_55D4&REV_0442;USB\VID_1A86&PID_55D4||14'
    "USB\\VID_1A86&PID_7523\\5&2a1b3c4&0&1||USB-SERIAL CH340$long||USB\\VID_1A86&PID_7523&REV_0264;USB\\VID_1A86&PID_7523|USB\\Class_FF&SubClass_01;USB\\Class_FF|28"
    # its friendly name of the wrong type: named by its description
    'USB\VID_2E8A&PID_000A&MI_00\7&3a4b5c6&0&0000||dword:00000001|Board CDC|USB\VID_2E8A&PID_000A&MI_00|USB\Class_02&SubClass_02&Prot_01;USB\Class_02|43')
# None of these has a line: a printer port, a camera and a bridge maker's other product,
# each with a problem, and an adapter that works.
autres=('ACPI\PNP0401\0|Ports|ECP Printer Port (LPT1)||ACPI\PNP0401|*PNP0400|22'
    'USB\VID_0403&PID_6001\A50285BI|Ports|USB Serial Port (COM4)||USB\VID_0403&PID_6001&REV_0600||'
    'USB\VID_046D&PID_0825\8&1a2b3c4&0&3|Image|Webcam C270||USB\VID_046D&PID_0825&REV_0012|USB\Class_0E;USB\Class_02&SubClass_02|43'
    'USB\VID_10C4&PID_EA90\0001||CP2112 HID USB-to-SMBus Bridge||USB\VID_10C4&PID_EA90&REV_0000|USB\Class_03|28')
# A paired instrument's two Bluetooth ports as Windows gives them, COM8 the outgoing one
# (its address in its instance ID), COM9 the incoming one, and the instrument's own node.
spp='BTHENUM\{00001101-0000-1000-8000-00805f9b34fb}_LOCALMFG&000f'
appaire=("$spp\\7&2a4b8c7e&0&001122334455_C00000000|Ports|Standard Serial over Bluetooth link (COM8)||$spp|||COM8"
    "$spp\\7&2a4b8c7e&0&000000000000_00000000|Ports|Standard Serial over Bluetooth link (COM9)||$spp|||COM9"
    'BTHENUM\Dev_001122334455\7&2a4b8c7e&0&BluetoothDevice_001122334455|Bluetooth|TS16')
case $base in
    # --- The line goes wrong
    identite-muette)  # switched off after the wake-up: no name
        sim=(--silence-des 3) reponses='1\n2\n2\n1\n1\n' attendu=4
        sortie=('Le materiel ne donne pas son identite.')
        erreurs=(">> $com1 : le materiel a repondu au reveil, mais rien a la demande de son nom.")
        requetes=$(premieres 3) fenetre=(3 20.6 22.5) duree=40 ;;
    muet-des-le-debut)  # silent from the first request: off, or another cable or port
        sim=(--silence-des 1) reponses='1\n2\n2\n1\n1\n' attendu=4
        sortie=('Le materiel ne donne pas son identite.')
        erreurs=(">> $com1 : aucun octet recu du materiel depuis l ouverture du port : verifiez qu il est allume, que le cable le relie a ce port et que sa liaison est reglee sur 19200 bauds, 8 bits, sans parite.")
        requetes=$(premieres 3) fenetre=(3 20.6 22.5) duree=75 ;;
    repertoire-muet)  # switched off after the first directory line
        sim=(--silence-des 10) reponses='1\n2\n2\n1\n1\n' attendu=5
        erreurs=('>> Le materiel ne repond plus : liste des JOBS interrompue.')
        requetes=$(premieres 9; fois 4 '?') fenetre=(10 82.5 86) duree=105 ;;
    transfert-muet)  # switched off after the second line of the job
        sim=(--silence-des 18) reponses='1\n2\n2\n1\n1\n' attendu=5 fichier='entier PONT-EST'
        erreurs=('>> Transfert interrompu : le materiel ne repond plus.'
            '>> Fichier incomplet : @FICHIER@ (2 lignes)')
        requetes=$(premieres 16; fois 5 '?'; echo c) fenetre=(18 103.5 107) duree=125 ;;
    raccroche)  # the line goes away at the third line of the job, as a pulled adapter
        # does: the port is said gone, and not asked again. Under Wine, ReadFile waits
        # its whole time-out (20.5 s) on the hung-up pty; the ClearCommError after it fails.
        sim=(--raccroche-des 18) reponses='1\n2\n2\n1\n1\n' attendu=5 fichier='entier PONT-EST'
        # Windows does not tell an instrument's own port from an adapter's: both named.
        pourquoi='le cable ou l adaptateur a ete debranche, ou le pilote du port s est arrete.'
        [[ $cas == wine-* ]] && pourquoi=${pourquoi/ ou le/ le materiel eteint ou hors de portee, ou le}
        erreurs=(">> Transfert interrompu : le port $com1 a disparu : $pourquoi"
            '>> Fichier incomplet : @FICHIER@ (2 lignes)')
        requetes=$(premieres 18) fenetre=(raccroche 0 3)
        # Wine's ReadFile waits out its time-out, then ClearCommError fails; the end
        # includes Wine's own, far below the silent line's 83 s
        [[ $cas == wine-* ]] && fenetre=(raccroche 20.5 35) ;;
    raccroche-acm)  # the same on an instrument's own USB port (cdc-acm's ttyACM0,
        # COM21): switched off, it hangs up as well, and is named as a cause
        nom_pty=ttyACM0 natif='a pty named ttyACM0 (com1.sh --nom)'
        sim=(--raccroche-des 18) reponses='21\n2\n2\n1\n1\n' attendu=5 fichier='entier PONT-EST'
        erreurs=('>> Transfert interrompu : le port COM21 (/dev/ttyACM0) a disparu : le cable ou l adaptateur a ete debranche, le materiel eteint ou hors de portee, ou le pilote du port s est arrete.'
            '>> Fichier incomplet : @FICHIER@ (2 lignes)')
        requetes=$(premieres 18) fenetre=(raccroche 0 3) ;;
    reponse-perdue)  # the reply to the third line of the job is lost: the job still ends
        sim=(--sans-reponse 18) reponses='1\n2\n2\n1\n1\n' fichier='entier PONT-EST'
        erreurs=('>> Attention : 1 reponse(s) vide(s) pendant le transfert, il peut manquer des lignes dans @FICHIER@ : verifiez-le avant de supprimer le job.')
        requetes=$job2 duree=40 ;;
    vitesse-fausse)  # the instrument's line at 9600 baud, the program's at 19200: each
        # reply garbled, every byte of it illegible (@OCTETS@: how many the log shows)
        sim=(--vitesse 9600) reponses='1\n2\n2\n1\n1\n' attendu=4
        sortie=('Le materiel ne donne pas son identite.')
        # Wine's ClearCommError flags no line error on a pty: none is said.
        erreurs=(">> $com1 : @OCTETS@ octet(s) recu(s) depuis l ouverture du port, dont @OCTETS@ illisible(s) : la liaison du materiel n est sans doute pas reglee sur 19200 bauds, 8 bits, sans parite.")
        journal=('# vitesse de la ligne 19200 bauds, appareil a 9600 : rien n est compris')
        requetes=$(premieres 3) ;;
    identite-coupee)  # the name reply split by 500 ms: its closing quote comes too late
        sim=(--coupure 20 --ecart 500) reponses='1\n2\n2\n1\n1\n' attendu=4
        sortie=('Le materiel ne donne pas son identite.')
        erreurs=(">> $com1 : le materiel repond, mais pas par son nom : "'"%R1P,0,0:0,\"TS-SIM 3"')
        requetes=$(premieres 3) ;;
    transfert-coupe)  # every job line split by 400 ms: each read takes the end of one
        # line and the start of the next, the last read the end of the last line and
        # the marker behind it
        sim=(--coupure 60 --ecart 400)
        reponses='1\n2\n2\n1\n1\n' fichier='entier PONT-EST' requetes=$job2 ;;
    reponse-longue)  # a line of 5000 bytes: three reads of at most 2047
        sim=(--reponse-a "17=$longue\r\n") reponses='1\n2\n2\n1\n1\n'
        fichier='entier PONT-EST' requetes=$job2 ;;
    octets-nuls)  # NUL and SUB inside lines, and a line of NULs: the 6 NULs are told
        sim=(--reponse-a '17=*110002+00\x00\x00\x0000001001 21.322\x1A+0000000012345670 \r\n'
            --reponse-a '18=\x00\x00\x00\r\n')
        erreurs=('>> Attention : 6 octet(s) illisible(s) pendant le transfert : des octets de @FICHIER@ peuvent etre faux : verifiez-le avant de supprimer le job.')
        reponses='1\n2\n2\n1\n1\n' fichier='entier PONT-EST' requetes=$job2 ;;
    sortie-erreur-fermee)  # started with standard error closed: the port does not take
        # its descriptor, and the warning of octets-nuls goes nowhere, not to the instrument
        sim=(--reponse-a '17=*110002+00\x00\x0000001001 21.322+0000000012345670 \r\n')
        reponses='1\n2\n2\n1\n1\n' fichier='entier PONT-EST' requetes=$job2
        natif='a descriptor closed at the start (Wine gives the exe handles of its own)'
        commande=(bash -c 'exec "$0" 2>&-' "$GSICOM") ;;
    erreurs-de-ligne)  # the driver counts 3 line errors at the third line of the job
        # (a preloaded TIOCGICOUNT: a pty counts none); the file is whole, the operator told
        reponses='1\n2\n2\n1\n1\n' fichier='entier PONT-EST' requetes=$job2
        natif='TIOCGICOUNT, a Linux ioctl (under Wine, ClearCommError flags none)'
        precharge=${ICOUNT:-}
        [[ -n $precharge ]] || passer "no ICOUNT library given"
        erreurs=('>> Attention : 3 erreur(s) de ligne pendant le transfert : des octets de @FICHIER@ peuvent etre faux : verifiez-le avant de supprimer le job.') ;;
    nom-barre | nom-lecteur | nom-controle)  # a job name that would lead the file elsewhere
        case $base in
            nom-barre) nom='A/B' ;;
            nom-lecteur) nom='C:FLUX' ;;
            nom-controle) nom='A\x1B[2JB' ;;
        esac
        sim=(--reponse-a "9=$nom,1,1,1\r\n") reponses='1\n2\n1\n1\n' attendu=1
        [[ $base == nom-controle ]] && pourquoi='le nom du job contient un caractere de controle' ||
            pourquoi='le nom du job contient un caractere interdit dans un nom de fichier (/ \ : < > " | ? *)'
        erreurs=(">> Erreur improbable de creation du fichier...: $pourquoi")
        requetes=$(premieres 12) ;;
    disque-plein)  # a disk of 4 KiB: the third line does not fit
        sim=(--reponse-a "17=$bloc\r\n" --reponse-a "18=$bloc\r\n") reponses='1\n2\n2\n1\n1\n'
        attendu=1 fichier='debut PONT-EST' disque=4k
        erreurs=('>> Erreur d ecriture du fichier @FICHIER@ : No space left on device')
        requetes=$(premieres 18; echo c)
        if [[ $cas == wine-* ]]; then
            # Windows' file systems refuse a write that does not fit whole; a tmpfs takes
            # what fits, a short write that Wine's C runtime reports as EINVAL. So three
            # lines fill the disk to the byte (each stored with CR CR LF), and the fourth
            # finds no room at all.
            premiere=$(lignes_du_job PONT-EST | head -n 1)
            juste=${longue:0:$((4096 - ${#premiere} - 3 - 2003 - 3))}
            sim=(--reponse-a "17=$bloc\r\n" --reponse-a "18=$juste\r\n" --reponse-a "19=$bloc\r\n")
            requetes=$(premieres 19; echo c)
        fi ;;
    signaux-ignores)  # started in the background by a script under trap "" HUP, as nohup
        # does (the shell ignores SIGINT and SIGQUIT there): a hang-up, Ctrl-C and quit
        # in the wake-up change nothing
        reponses='1\n2\n2\n1\n1\n' fichier='entier PONT-EST' requetes=$job2
        natif='Linux signals'
        commande=(bash -c 'trap "" HUP; "$0" <&0 & sleep 2
            kill -HUP $!; kill -INT $!; kill -QUIT $!; wait $!' "$GSICOM") ;;
    fichier-trop-grand)  # a file size limit of 4 KiB: the write fails, SIGXFSZ kills nothing
        # (the console goes through a pipe, which the limit does not cut)
        sim=(--reponse-a "17=$bloc\r\n" --reponse-a "18=$bloc\r\n") reponses='1\n2\n2\n1\n1\n'
        attendu=1 fichier='debut PONT-EST' natif='a file-size limit (Windows has none)'
        commande=(bash -c 'set -o pipefail; { ulimit -f 4; exec "$0"; } | cat' "$GSICOM")
        erreurs=('>> Erreur d ecriture du fichier @FICHIER@ : File too large')
        requetes=$(premieres 18; echo c) ;;
    disque-refuse)  # the whole job came, but the disk does not take it from the cache
        # (fsync fails): no closing menu, so no erase of the only copy
        # (under Wine, _commit's fsync)
        reponses="1\n2\n2\n1\n2\n$code_effacement\n-1\n" attendu=1 fichier='entier PONT-EST'
        precharge=${FSYNC_EIO:-}
        [[ -n $precharge ]] || passer "no FSYNC_EIO library given"
        erreurs=('>> Erreur d ecriture du fichier @FICHIER@ : Input/output error')
        requetes=$job2 absent=('Que faire') ;;
    dossier-temporaire)  # the file would be lost with the temporary folder: said at the
        # start and again before the closing menu offers the erase; nothing else changes
        reponses='1\n2\n2\n1\n1\n' fichier='entier PONT-EST' requetes=$job2 temporaire=1
        remede='Placez-vous dans un dossier a vous (cd ~/Documents, par exemple), puis relancez gsicom.'
        [[ $cas == wine-* ]] &&
            remede='Copiez gsicom.exe dans un dossier a vous (Documents, par exemple) et lancez-le de la.'
        erreurs=(">> Attention : le dossier courant (@DOSSIER@) est un dossier temporaire que le systeme peut vider : le fichier GSI y serait perdu. $remede")
        erreurs+=("${erreurs[0]}") ;;

    # --- The port cannot be used: nothing is listed, standard error says why
    tenu-par-sleep)  # another program has the port open, and asks for neither lock
        # natively only: Wine does not enforce share mode 0
        occupant=1 reponses='1\n' natif='a holder that takes no lock'
        sortie=('Il y a eu 0 port(s) disponibles...')
        erreurs=('>> COM1 (/dev/ttyS0) : occupe par un autre programme (sleep, pid @PID@) : fermez-le, puis relancez gsicom.') ;;
    sans-droit)  # an account outside the port's group
        droits=dialout reponses='1\n' natif='Linux permissions'
        commande=(setpriv --reuid=nobody --regid=nogroup --clear-groups "$GSICOM")
        sortie=('Il y a eu 0 port(s) disponibles...')
        erreurs=('>> COM1 (/dev/ttyS0) : acces refuse : le port est au groupe dialout ; ajoutez-y le compte nobody (sudo usermod -a -G dialout nobody), puis reconnectez-vous.') ;;
    sans-compte)  # a uid with no account: no usermod command to give
        droits=dialout reponses='1\n' natif='Linux permissions'
        commande=(setpriv --reuid=54321 --regid=nogroup --clear-groups "$GSICOM")
        sortie=('Il y a eu 0 port(s) disponibles...')
        erreurs=('>> COM1 (/dev/ttyS0) : acces refuse : le port est au groupe dialout, et l uid 54321 n a pas de compte : demandez a l administrateur l acces a ce port.') ;;
    hors-table)  # a serial port beyond COM30: never opened, named with its remedy
        reponses='0\n'
        if [[ $cas == wine-* ]]; then
            port_wine=COM34 sortie=($'\t\t\tCOM 1' $'\tAdressez-vous au guichet 35')
            erreurs=('>> COM34 existe, mais gsicom ne parle qu aux ports COM1 a COM30 : donnez-lui un numero de 1 a 30 (Gestionnaire de peripheriques, Ports (COM et LPT), Proprietes, Parametres du port, Avance), puis relancez gsicom.')
        else  # the only serial device: no COM1 at all
            nom_pty=ttyUSB12 sortie=('Il y a eu 0 port(s) disponibles...' 'Pas de ports !')
            erreurs=('>> /dev/ttyUSB12 existe, mais gsicom ne parle qu aux ports COM1 a COM30 (/dev/ttyS0-9, /dev/ttyUSB0-9, /dev/ttyACM0-9) : debranchez les adaptateurs dont gsicom n a pas besoin et rebranchez celui-ci (il prend le plus petit numero libre), ou donnez-lui un de ces noms, par exemple COM5 : sudo ln -s /dev/ttyUSB12 /dev/ttyS4 (jusqu au redemarrage), puis relancez gsicom.')
        fi ;;
    adaptateurs-en-panne)  # no port: a line for each adapter, word for word the shared
        # wording's (LIGNES), none for the other devices
        windows="SetupAPI (the tests' cfgmgr32.dll gives the problem codes)"
        peripheriques=("${adaptateurs[@]}" "${autres[@]}") reponses='1\n'
        sans_com1=1 nom_pty=simulateur  # no ttyS0 either, which Wine would make COM1
        sortie=('Il y a eu 0 port(s) disponibles...' 'Pas de ports !')
        [[ -x ${LIGNES-} ]] || passer "no LIGNES tool given"
        mapfile -t erreurs < <(lignes_en_panne "${peripheriques[@]}")
        secondes=$(printf '%s\n' "${adaptateurs[@]}" | grep -c '&MI_0[1-9]')  # share a line
        ((${#erreurs[@]} == ${#adaptateurs[@]} - secondes)) ||
            { echo "lignes_en_panne gave ${#erreurs[@]} line(s) for ${#adaptateurs[@]} adapters" >&2; exit 2; } ;;
    ports-decrits)  # each listed port said by its device, from the records of every
        # class whose key names a port: the product string for a generic name (an FTDI's
        # on its USB device, a CDC one's its own; a third keeps its name), the PC's UART,
        # a paired instrument's two Bluetooth ports, named through its own node or the
        # stack's Name; each outgoing one announced before its open
        windows='SetupAPI and the registry of devices'
        peripheriques=('ACPI\PNP0501\1|Ports|Communications Port (COM2)||ACPI\PNP0501|*PNP0501||COM2'
            'FTDIBUS\VID_0403+PID_6001+A10K1XYZA\0000|Ports|USB Serial Port (COM3)||FTDIBUS\COMPORT&VID_0403&PID_6001|||COM3||USB\VID_0403&PID_6001\A10K1XYZ'
            'USB\VID_0403&PID_6001\A10K1XYZ|USB||USB Serial Converter|USB\VID_0403&PID_6001&REV_0600||||FT232R USB UART'
            $'USB\\VID_2E8A&PID_000A&MI_00\\7&3a4b5c6&0&0000|Ports|P\xc3\xa9riph\xc3\xa9rique s\xc3\xa9rie USB (COM4)||USB\\VID_2E8A&PID_000A&REV_0100&MI_00|USB\\Class_02&SubClass_02&Prot_01||COM4|Pico'
            'USB\VID_0483&PID_5740\3&1|Ports|USB Serial Device (COM5)||USB\VID_0483&PID_5740&REV_0200|||COM5'
            "${appaire[@]}"
            "$spp\\7&2a4b8c7e&0&0a1b2c3d4e5f_C00000000|Ports|Standard Serial over Bluetooth link (COM10)||$spp|||COM10")
        bluetooth=($'0a1b2c3d4e5f|GS18 G\xc3\xa9o')
        port_wine='COM2 COM3 COM4 COM5 COM8 COM9 COM10' reponses='0\n'
        sortie=($'\t\t\tCOM 1' $'\t\t\tCOM 10' $'\tAdressez-vous au guichet 35')
        attente='(quelques secondes s il est eteint ou hors de portee)...'
        erreurs=(">> COM8 : connexion Bluetooth a \"TS16\" $attente"
            ">> COM10 : connexion Bluetooth a \"GS18 G\\xC3\\xA9o\" $attente"
            '>> COM2 : port serie du PC'
            '>> COM3 : "FT232R USB UART", USB 0403:6001'
            '>> COM4 : "Pico", USB 2E8A:000A'
            '>> COM5 : "USB Serial Device", USB 0483:5740'
            '>> COM8 : Bluetooth, port sortant vers "TS16" : le port a choisir pour lui'
            '>> COM9 : Bluetooth, port entrant : aucun materiel n y repond, choisissez COM8 ou COM10'
            '>> COM10 : Bluetooth, port sortant vers "GS18 G\xC3\xA9o" : le port a choisir pour lui') ;;
    bluetooth-eteint)  # the paired instrument off: its outgoing port's open waits, then
        # fails (ouverture_lente.cpp), said in French; the incoming one alone is left
        windows='SetupAPI and the registry of devices'
        peripheriques=("${appaire[@]}") port_wine='COM8 COM9' reponses='0\n'
        precharge=${OUVERTURE_LENTE:-}
        [[ -n $precharge ]] || passer "no OUVERTURE_LENTE library given"
        sortie=($'\t\t\tCOM 1' $'\t\t\tCOM 9' $'\tAdressez-vous au guichet 35') absent=($'\t\t\tCOM 8')
        erreurs=('>> COM8 : connexion Bluetooth a "TS16" (quelques secondes s il est eteint ou hors de portee)...'
            '>> COM8 : "TS16" n a pas repondu a la connexion (eteint, hors de portee ou plus appaire) : allumez-le pres du PC (ou appairez-le de nouveau), puis relancez gsicom.'
            '>> COM9 : Bluetooth, port entrant : aucun materiel n y repond') ;;
    autres-peripheriques)  # with COM1, devices that are not serial adapters or that work:
        # nothing said of them
        windows="SetupAPI (the tests' cfgmgr32.dll gives the problem codes)"
        peripheriques=("${autres[@]}") reponses='0\n'
        sortie=($'\t\t\tCOM 1' $'\tAdressez-vous au guichet 35') ;;

    # --- The operator's bad input. Letters, NULs or 0xFF at a prompt stay in the input
    # and stand before every later prompt, which keeps its preset too; end of input
    # likewise. Digits that do not fit are refused; a wrap to 32 bits would pick COM1
    # (4294967297), job 2, the erase menu (4294967298), the erase code (5767550986),
    # or every job (4294967295).
    port-lettres) reponses='abc\n1\n' ;;
    port-fin) reponses= ;;
    port-trop-grand) reponses='4294967297\n2\n' ;;
    port-tres-grand) reponses='99999999999999999999\n' ;;
    port-mega) entree() { mega 1; echo; } ;;
    port-binaire) reponses='\x00\xff\n1\n' ;;
    vitesse-lettres) reponses='1\nabc\n2\n2\n' fichier='entier DEFAULT' requetes=$job1 ;;
    vitesse-fin) reponses='1\n' fichier='entier DEFAULT' requetes=$job1 ;;
    nombres-trop-grands)  # at the speed, job, content and menu prompts
        reponses="1\n4294967297\n4294967298\n4294967298\n4294967298\n$code_effacement\n-1\n"
        fichier='entier DEFAULT' requetes=$job1 absent=('Code de suppression') ;;
    code-trop-grand) reponses='1\n2\n1\n1\n2\n5767550986\n-1\n' ;;
    code-lettres) reponses='1\n2\n1\n1\n2\nabc\n' ;;
    code-fin) reponses='1\n2\n1\n1\n2\n' ;;
    cible-lettres) reponses="1\n2\n1\n1\n2\n$code_effacement\nabc\n" ;;
    cible-fin) reponses="1\n2\n1\n1\n2\n$code_effacement\n" ;;
    cible-deborde) reponses="1\n2\n1\n1\n2\n$code_effacement\n4294967295\n" ;;
    cible-tres-grand) reponses="1\n2\n1\n1\n2\n$code_effacement\n99999999999999999999\n" ;;
    cible-mega) entree() { printf '1\n2\n1\n1\n2\n%s\n' $code_effacement; mega 7; echo; } ;;
    cible-binaire) reponses="1\n2\n1\n1\n2\n$code_effacement\n\\x00\\xff\n-1\n" ;;
    *) echo "pannes.sh: unknown case: $cas" >&2; exit 2 ;;
esac
case $base in
    port-*)  # never past the port prompt: the port is not opened after the scan
        sortie=($'\tAdressez-vous au guichet 35') duree=10 ;;
    code-*)
        fichier='entier DEFAULT' requetes=$job1 absent=('Detruire  le JOB No') ;;
    cible-*)
        fichier='entier DEFAULT' requetes=$job1 sortie=('Aucun JOB supprime.') ;;
esac
declare -F entree >/dev/null || entree() { printf '%b' "$reponses"; }
((${#commande[@]})) || commande=("$GSICOM")
# The sanitizer's runtime wants to be the first library: it lets this one go first.
[[ -z $precharge ]] || commande=(env LD_PRELOAD="$precharge"
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" "${commande[@]}")

if [[ $cas == wine-* ]]; then
    [[ -z $natif ]] || { echo "pannes.sh: $base runs natively only: $natif" >&2; exit 2; }
    preparer_wine
    # Wine's start: a few seconds alone, past 30 at a load of 19 on two cores.
    duree=$((duree + 60))
elif [[ -n $windows ]]; then
    echo "pannes.sh: $base runs under Wine only: $windows" >&2
    exit 2
fi
exiger_root
# Giving the pty to a group, and running as nobody, need the real root.
[[ -z $droits || $(id -u) -eq 0 ]] || passer "needs root: the pty goes to group $droits"
preparer_travail
if [[ -n $temporaire ]]; then
    com1_options=()
    if [[ -n $sous_wine ]]; then
        # As GetTempPath gives it in the run's prefix (C:\users\root\Temp): the export
        # directory becomes a link to a folder there.
        temp_wine=$("$WINE" cmd /c 'echo %TEMP%' 2>/dev/null | tr -d '\r')
        "$WINESERVER" -k 2>/dev/null
        "$WINESERVER" -w 2>/dev/null
        [[ $temp_wine == [Cc]:\\* ]] || { echec "no %TEMP% on C: in the prefix: $temp_wine"; exit 1; }
        temp_unix=$WINEPREFIX/drive_c/$(tr '\\' / <<<"${temp_wine:3}")
        mkdir -p "$temp_unix/gsicom-e2e" && rmdir "$travail/export" &&
            ln -s "$temp_unix/gsicom-e2e" "$travail/export" || { echec "no folder in $temp_unix"; exit 1; }
        dossier=$temp_wine\\gsicom-e2e
    else
        dossier=$(cd -P "$travail/export" && pwd)
    fi
fi
[[ -n $disque ]] && com1_options+=(--disque "$disque")
[[ -n $nom_pty ]] && com1_options+=(--nom "$nom_pty")

millisecondes() { awk -v s="$1" 'BEGIN { printf "%d", s * 1000 }'; }

# The time from request REF (a number, or "raccroche" for the hang-up) to the end.
verifier_fenetre() {
    local ref=$1 min=$2 max=$3 heure
    if [[ $ref == raccroche ]]; then
        heure=$(grep -m1 ' # raccroche' "$travail/requetes.log" | cut -d' ' -f1)
    else
        heure=$(grep -E '^[0-9:.]+ +[0-9]+\.[0-9]+ > ' "$travail/requetes.log" | sed -n "${ref}p" | cut -d' ' -f1)
    fi
    [[ -n $heure ]] || { echec "no request $ref in the log"; return; }
    # Under Wine, the end is the port's release: the pause's cmd.exe and Wine's own
    # ending after it are not the program's waits. After a hang-up the simulator logs
    # no release: the run's end stands for it, Wine's ending included.
    local fin=$fin_ms
    if [[ -n $sous_wine && $ref != raccroche ]]; then
        fin=$(heure_port_ferme)
        [[ -n $fin ]] || { echec "the simulator did not see the port closed"; return; }
        fin=$(ms_du_jour "$fin")
    fi
    local ms=$(((fin - $(ms_du_jour "$heure") + 86400000) % 86400000))
    printf 'run ended %d.%03d s after request %s\n' $((ms / 1000)) $((ms % 1000)) "$ref"
    ((ms >= $(millisecondes "$min") && ms <= $(millisecondes "$max"))) ||
        echec "run ended $ms ms after request $ref, expected $min to $max s"
}

entree >"$travail/entree"
demarrer_sim --sans-cadence "${sim[@]}"
if [[ -n $droits ]]; then
    chgrp "$droits" "$pty" && chmod 660 "$pty" || { echec "cannot give $pty to $droits"; exit 1; }
fi
# Wine lists a port of its Ports key: a value written into the run's registry before
# its server starts (wine reg add would cost a Wine start more).
if [[ -n $port_wine ]]; then
    { printf '\n[Software\\\\Wine\\\\Ports]\n' && printf '"%s"="%s"\n' $(printf "%s $pty " $port_wine); } \
        >>"$WINEPREFIX/system.reg" || { echec "cannot add $port_wine to the Wine prefix"; exit 1; }
fi
((${#peripheriques[@]} == 0)) || peripheriques_wine "${peripheriques[@]}"
((${#bluetooth[@]} == 0)) || noms_bluetooth_wine "${bluetooth[@]}"
occupant_pid=
if [[ -n $occupant ]]; then
    sleep 60 <>"$pty" &
    occupant_pid=$!
    for _ in {1..50}; do  # until it is sleep and holds the pty
        [[ $(cat "/proc/$occupant_pid/comm") == sleep ]] && break
        sleep 0.05
    done
fi
if [[ $cas == wine-* ]]; then
    PRECHARGE=$precharge lancer_wine "$((duree + 15))"
else
    lancer "$((duree + 15))" "${commande[@]}"
fi
printf 'exit code %d after %d.%03d s\n' "$code" $((duree_ms / 1000)) $((duree_ms % 1000))
[[ -n $occupant_pid ]] && kill "$occupant_pid"
if [[ -z $requetes ]]; then arreter_sim; else attendre_sim; fi

((code == attendu)) || echec "exit code $code, expected $attendu"
((duree_ms <= duree * 1000)) || echec "the run took $duree_ms ms, more than $duree s"
((${#fenetre[@]} == 0)) || verifier_fenetre "${fenetre[@]}"
# No case erases; under Wine, erreurs.txt holds the program's lines alone (lancer_wine).
absent+=(KILLED)
erreurs=("${erreurs[@]//@PID@/$occupant_pid}")
erreurs=("${erreurs[@]//@DOSSIER@/"${dossier-}"}")
verifier_cas
requetes_recues | grep -a '^JOB/ERASE' && echec "an erase request reached the instrument"
[[ $base == raccroche* || -z $requetes ]] || port_ferme_vu
((echecs == 0)) || exit 1
echo "OK: $cas"
