# The pieces the end-to-end scripts share (session.sh, pannes.sh, and the guest's
# ../noyau/pilotes.sh); sourced, not run.
# A script reads its NAME=VALUE arguments, makes its work directory, starts gsicom-sim
# on a pty, runs gsicom as COM1 (natively through tools/com1.sh, or gsicom.exe under
# Wine) with the operator's answers on standard input, then checks what came of it:
# the console text, the requests the simulator logged, the export file. Each failed
# check is counted by echec; the work directory is kept when one failed.

# NAME=VALUE: GSICOM, SIM, COM1, MEMOIRE, FSYNC_EIO (a library whose fsync fails),
# ICOUNT (a library whose driver counts line errors), LIGNES (the shared wording's lines
# for devices with a problem, lignes_en_panne.cpp), OUVERTURE_LENTE (a library with which
# Wine's open of COM8 waits, then fails), for Wine EXE, WINE, WINESERVER,
# PREFIXE, CFGMGR32 (the tests' cfgmgr32.dll), and for the guest under QEMU NOYAU,
# RELAIS, BRLTTY, ACCEL.
lire_arguments() {
    local a
    for a in "$@"; do
        case $a in
            GSICOM=* | SIM=* | COM1=* | MEMOIRE=* | FSYNC_EIO=* | ICOUNT=* | LIGNES=* | OUVERTURE_LENTE=* | EXE=* | \
                WINE=* | WINESERVER=* | PREFIXE=* | CFGMGR32=* | NOYAU=* | RELAIS=* | BRLTTY=* | MODEMMANAGER=* | ACCEL=*)
                declare -g "$a" ;;
            *) echo "${0##*/}: unknown argument: $a" >&2; exit 2 ;;
        esac
    done
}

passer() { echo "SKIPPED: $*"; exit 77; }

# Wine runs need wine, the exe and the prefix made once for the test session
# (session.sh wine-prefixe); each run then takes a copy of its own (preparer_travail).
sous_wine=
preparer_wine() {
    [[ -n ${WINE-} && -x ${WINE-} ]] || passer "no wine here"
    [[ -f ${EXE-} ]] || passer "no gsicom.exe at ${EXE-}: cmake --preset windows && cmake --build build/windows"
    export WINEPREFIX=$PREFIXE WINEDEBUG=-all
    sous_wine=1
    exe_wine=$EXE
}

# peripheriques_wine ROW...: devices as Windows keeps them under Enum, written into the
# run's registry before its server starts (wine reg add would cost a Wine start), which
# Wine's setupapi lists; and a copy of the exe with the tests' cfgmgr32.dll beside it,
# which gives each device the problem code of its row (Wine's own gives none). A ROW is
# INSTANCE|CLASS|FRIENDLYNAME|DEVICEDESC|HARDWAREIDS|COMPATIBLEIDS|PROBLEM, and for a
# port's device |PORTNAME|PRODUCT|PARENT: IDs separated by ";", CLASS one of Ports,
# Image, HIDClass, USB, Bluetooth, or empty for a device with no driver; a FRIENDLYNAME
# dword:N is a value of the wrong type; PROBLEM empty for a device that works; PORTNAME
# the device key's (Wine's SetupDiOpenDevRegKey opens "Device Parameters"); PRODUCT the
# USB product string (DEVPKEY_Device_BusReportedDeviceDesc) and PARENT the instance ID of
# the device it hangs on (DEVPKEY_Device_Parent, which Windows gives from its device
# tree), both as Wine's setupapi keeps a device's properties.
peripheriques_wine() {
    [[ -f ${CFGMGR32-} ]] ||
        passer "no cfgmgr32.dll at ${CFGMGR32-}: cmake --preset windows && cmake --build build/windows"
    mkdir "$travail/exe" && cp "$EXE" "$travail/exe/gsicom.exe" && cp "$CFGMGR32" "$travail/exe/" ||
        { echec "cannot copy the exe and cfgmgr32.dll"; exit 1; }
    exe_wine=$travail/exe/gsicom.exe
    local ligne instance classe guid nom description materiel compatibles probleme port produit parent
    for ligne in "$@"; do
        IFS='|' read -r instance classe nom description materiel compatibles probleme port produit parent <<<"$ligne"
        case $classe in  # as the prefix's Control\Class names them
            Ports) guid='{4d36e978-e325-11ce-bfc1-08002be10318}' ;;
            Image) guid='{6bdd1fc6-810f-11d0-bec7-08002be2092f}' ;;
            HIDClass) guid='{745a17a0-74d3-11d0-b6fe-00a0c90f57da}' ;;
            USB) guid='{36fc9e60-c465-11cf-8056-444553540000}' ;;
            Bluetooth) guid='{e0cbf06c-cd8b-4647-bb8a-263b43f0f974}' ;;
            '') guid='{4d36e97e-e325-11ce-bfc1-08002be10318}' ;;  # "other devices": no class key
            *) echo "peripheriques_wine: unknown class: $classe" >&2; exit 2 ;;
        esac
        texte_reg instance "$instance"
        printf '\n[System\\\\CurrentControlSet\\\\Enum\\\\%s]\n"ClassGUID"="%s"\n' "$instance" "$guid"
        if [[ $nom == dword:* ]]; then
            printf '"FriendlyName"=%s\n' "$nom"
        elif [[ -n $nom ]]; then
            texte_reg nom "$nom"
            printf '"FriendlyName"="%s"\n' "$nom"
        fi
        texte_reg description "$description"
        [[ -z $description ]] || printf '"DeviceDesc"="%s"\n' "$description"
        texte_reg materiel "${materiel//;/$'\n'}"
        [[ -z $materiel ]] || printf '"HardwareID"=str(7):"%s\\0"\n' "$materiel"
        texte_reg compatibles "${compatibles//;/$'\n'}"
        [[ -z $compatibles ]] || printf '"CompatibleIDs"=str(7):"%s\\0"\n' "$compatibles"
        [[ -z $probleme ]] || printf '"Probleme"=dword:%08x\n' "$probleme"
        [[ -z $port ]] || printf '\n[System\\\\CurrentControlSet\\\\Enum\\\\%s\\\\Device Parameters]\n"PortName"="%s"\n' "$instance" "$port"
        [[ -z $produit ]] || propriete_reg "$instance" '{540b947e-8b40-45bc-a8a2-6a0b894cbda2}\\0004' "$produit"
        [[ -z $parent ]] || propriete_reg "$instance" '{4340a6c5-93fa-4706-972c-7b648008a5a7}\\0008' "$parent"
    done | perl -CS -pe 's/([^\x00-\x7f])/sprintf("\\x%04x", ord $1)/ge' >>"$WINEPREFIX/system.reg" ||
        { echec "cannot add the devices to the Wine prefix"; exit 1; }
}

# propriete_reg INSTANCE KEY TEXT: a string property of the device, as Wine's setupapi
# keeps it (its type DEVPROP_TYPE_STRING, 0x12, in the value's, the text in UTF-16).
propriete_reg() {
    printf '\n[System\\\\CurrentControlSet\\\\Enum\\\\%s\\\\Properties\\\\%s]\n@=hex(ffff0012):%s\n' "$1" "$2" \
        "$(printf '%s\0' "$3" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//')"
}

# noms_bluetooth_wine ADDRESS|NAME...: the names Windows' Bluetooth stack keeps for the
# paired devices (BTHPORT's Name: REG_BINARY, UTF-8, ended by a NUL), in the run's registry.
noms_bluetooth_wine() {
    local ligne adresse nom
    for ligne in "$@"; do
        IFS='|' read -r adresse nom <<<"$ligne"
        printf '\n[System\\\\CurrentControlSet\\\\Services\\\\BTHPORT\\\\Parameters\\\\Devices\\\\%s]\n"Name"=hex:%s\n' \
            "$adresse" "$(printf '%s\0' "$nom" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//')"
    done >>"$WINEPREFIX/system.reg" || { echec "cannot add the Bluetooth names to the Wine prefix"; exit 1; }
}

# texte_reg NAME TEXT: NAME set to TEXT as Wine's registry files hold a string, but for
# the characters outside ASCII (\xHHHH, peripheriques_wine): \ and " escaped, a newline
# as the NUL between the strings of a list.
texte_reg() {
    local t=${2//\\/\\\\}
    t=${t//\"/\\\"}
    printf -v "$1" '%s' "${t//$'\n'/\\0}"
}

# lignes_en_panne ROW...: what standard error says of those devices (ROWs as for
# peripheriques_wine), in the shared wording's own words.
lignes_en_panne() {
    local ligne instance classe nom description materiel compatibles probleme reste
    for ligne in "$@"; do
        IFS='|' read -r instance classe nom description materiel compatibles probleme reste <<<"$ligne"
        [[ -n $probleme ]] || continue  # a device that works is not read further
        [[ -z $nom || $nom == dword:* ]] && nom=$description
        printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$nom" "${materiel%%;*}" "$classe" "$compatibles" "$probleme" \
            "$instance"
    done | "$LIGNES" | sed 's/^/>> /'
}

# The run's own prefix, so that runs go side by side: its own com1 link and its own
# wineserver (Wine starts one a prefix directory). Wine only reads the 700 MB of
# system files, which are hard links (so the copy stands beside the prefix, on its
# file system); the registry, which its server writes back, and every folder are
# copies. WINEPREFIX leads to the copy before it is made: the clean-up stops and
# removes the copy's server and files, never the shared prefix's.
prefixe_copie=
copier_prefixe() {
    [[ -d $PREFIXE ]] || { echec "no Wine prefix at $PREFIXE"; exit 1; }
    prefixe_copie=$(mktemp -d "$PREFIXE.copie.XXXXXX") || { echec "no folder beside $PREFIXE"; exit 1; }
    export WINEPREFIX=$prefixe_copie
    cp -a --link "$PREFIXE/." "$prefixe_copie/" || { echec "cannot copy the Wine prefix"; exit 1; }
    local f
    for f in "$PREFIXE"/*.reg; do
        cp --remove-destination "$f" "$prefixe_copie/" || { echec "cannot copy $f"; exit 1; }
    done
}

# COM1 is a pty bind-mounted in a private /dev (com1.sh): root, or a normal user where
# the kernel allows unprivileged user namespaces.
exiger_root() {
    [[ $(id -u) -eq 0 ]] || unshare --user --map-root-user --mount true 2>/dev/null ||
        passer "needs root or user namespaces: COM1 is a pty bind-mounted in a private /dev"
}

echecs=0
echec() { echo "FAILED: $*"; echecs=$((echecs + 1)); }

# The work directory lies in the temporary folder, where gsicom says that its file
# would not last: a run sees its export directory in /mnt instead (com1.sh
# --hors-tmp), wherever the checkout lies, unless the case drops that option.
preparer_travail() {
    travail=$(mktemp -d "${TMPDIR:-/tmp}/gsicom-e2e.XXXXXX")
    mkdir "$travail/export"
    sim_pid=
    com1_options=(--hors-tmp)
    trap terminer EXIT
    [[ -z $sous_wine ]] || copier_prefixe
}

terminer() {
    [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null
    if [[ -n $prefixe_copie ]]; then  # no server left behind, even after a run killed
        "$WINESERVER" -k 2>/dev/null
        "$WINESERVER" -w 2>/dev/null
        rm -rf "$prefixe_copie"
    fi
    if ((echecs == 0)); then
        rm -rf "$travail"
    else
        local f
        for f in console.txt erreurs.txt requetes.log sim.err; do
            [[ -s $travail/$f ]] && { echo "--- $f"; tail -n 60 "$travail/$f" | cut -c1-300; }
        done
        echo "--- kept in $travail"
    fi
}

# demarrer_sim [OPTION]...: gsicom-sim serving MEMOIRE for one session (for ever when
# une_session is set empty), logging to journal_sim (requetes.log when unset), with
# these options besides (faults); sets pty to its device.
demarrer_sim() {
    coproc SIM { exec "$SIM" --memoire "$MEMOIRE" --journal "${journal_sim:-$travail/requetes.log}" \
        ${une_session---une-session} "$@" 2>"$travail/sim.err"; }
    sim_pid=$SIM_PID
    local ligne=
    read -r -t 5 ligne <&"${SIM[0]}"
    pty=${ligne#gsicom-sim: }
    [[ $ligne == "gsicom-sim: "* && -c $pty ]] || { echec "gsicom-sim did not start: $ligne"; exit 1; }
}

# Ends once the program has closed the port, or once the line hung up: anything else
# is a fault of its own.
attendre_sim() {
    for _ in {1..50}; do
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$sim_pid" 2>/dev/null; then
        echec "gsicom-sim still serving after the session"
        kill "$sim_pid"
    fi
    wait "$sim_pid"
    local code=$?
    sim_pid=
    ((code == 0)) || echec "gsicom-sim ended with code $code"
}

# For a run that never talked to the instrument: the simulator serves on, so stop it.
arreter_sim() {
    kill -TERM "$sim_pid" 2>/dev/null
    wait "$sim_pid"
    local code=$?
    sim_pid=
    ((code == 0)) || echec "gsicom-sim ended with code $code on SIGTERM"
}

# Milliseconds since midnight, local time, of "HH:MM:SS.fff..." (the log's clock).
ms_du_jour() {
    local h=${1:0:2} m=${1:3:2} s=${1:6:2} f=${1:9:3}
    echo $(((10#$h * 3600 + 10#$m * 60 + 10#$s) * 1000 + 10#$f))
}

# lancer LIMIT COMMAND...: COMMAND as COM1's user, in the export directory (where it
# leads, when it is a link), with $travail/entree as standard input (the operator's
# answers, then end of input), killed after LIMIT seconds; com1_options go to com1.sh.
# Sets code, debut and fin (epoch seconds), fin_ms (ms since midnight, as the log
# counts) and duree_ms.
lancer() {
    local limite=$1
    shift
    local t0 t1
    t0=$(date +%s%N)
    debut=${t0:0:-9}
    (cd -P "$travail/export" &&
        timeout -s KILL "$limite" "$COM1" "${com1_options[@]}" "$pty" "$@" <"$travail/entree" \
            >"$travail/console.brute" 2>"$travail/erreurs.brute")
    code=$?
    t1=$(date +%s%N)
    fin=${t1:0:-9}
    fin_ms=$(ms_du_jour "$(date -d "@$fin.${t1: -9}" +%H:%M:%S.%N)")
    duree_ms=$(((t1 - t0) / 1000000))
    ((code == 137)) && echec "killed after ${limite} s: the run did not end"
    # Wine ends console lines with CR LF.
    sed 's/\r$//' "$travail/console.brute" >"$travail/console.txt"
    sed 's/\r$//' "$travail/erreurs.brute" >"$travail/erreurs.txt"
}

# lancer_wine LIMIT: gsicom.exe under Wine with the same pty as COM1. Wine's own
# links to the machine's ports are not seen in the private /dev, where ttyS0 is the
# pty; the run's prefix links com1 to it, and its server ends with the run. Of
# standard error only the program's lines are kept, those that begin with ">>":
# Wine adds its own. PRECHARGE, when set, is a library preloaded into Wine. With
# sans_com1 set there is no COM1 at all, if the pty is not ttyS0 either (com1.sh --nom),
# which Wine would make COM1 of. The tests' cfgmgr32.dll, when peripheriques_wine put it
# beside the exe, is loaded instead of Wine's own.
lancer_wine() {
    local surcharges=
    [[ $exe_wine == "$EXE" ]] || surcharges=cfgmgr32=n
    export PTY=$pty WINE EXE_WINE=$exe_wine WINESERVER WINE_ERR=$travail/wine.err PRECHARGE=${PRECHARGE-}
    export SANS_COM1=${sans_com1-} WINEDLLOVERRIDES=$surcharges
    lancer "$1" bash -c 'rm -f "$WINEPREFIX"/dosdevices/com*
        [[ -n $SANS_COM1 ]] || ln -s "$PTY" "$WINEPREFIX/dosdevices/com1"
        LD_PRELOAD=$PRECHARGE "$WINE" "$EXE_WINE" 2>"$WINE_ERR"; code=$?
        grep -a "^>>" "$WINE_ERR" >&2
        "$WINESERVER" -k 2>/dev/null; exit $code'
}

# ligne_attendue TEXT [FILE]: FILE (the console by default) holds the line TEXT.
ligne_attendue() {
    local fichier=${2:-$travail/console.txt}
    grep -aqxF -- "$1" "$fichier" || echec "${fichier##*/}: no line $(printf '%q' "$1")"
}

# The requests the simulator received, one a line as it logged them (C escapes).
requetes_recues() {
    sed -n 's/^[0-9:.]* *[0-9]*\.[0-9]* > //p' "$travail/requetes.log"
}

verifier_requetes() {  # the expected requests on stdin (not a pipe: echec counts here)
    requetes_recues >"$travail/requetes"
    diff -u - "$travail/requetes" >&2 || echec "requests received differ (- expected, + received)"
}

# The log's time of the port's release by the program; nothing when it was not seen.
heure_port_ferme() {
    grep -m1 ' # port ferme par le programme$' "$travail/requetes.log" | cut -d' ' -f1
}

port_ferme_vu() {
    [[ -n $(heure_port_ferme) ]] || echec "the simulator did not see the port closed"
}

# requetes_attendues POSITION LINES [COORD]: the requests of a run up to the end of
# the download of job POSITION, LINES lines long.
requetes_attendues() {
    printf '%s\n' a c '%R1Q,5004:' CONF/91 c FORM/CONF/LIST c c JOB/CONF/LIST '?' '?' '?' c \
        FORM/SET/0 FORM/SET/0 "JOB/RCV/${3:-OBSERV}/$1"
    for ((i = 0; i < $2; i++)); do echo '?'; done
    echo c
}

# The job's observation lines as the memory file holds them.
lignes_du_job() {
    sed -n "/^job $1,/,/^job /s/^obs //p" "$MEMOIRE"
}

# fichier_export JOB: the export directory holds one file, named after the local time
# of the run and the job, and the console names it; sets chemin_export to its path and
# nom_export to its name. False, with the failure counted, otherwise.
fichier_export() {
    local fichiers=("$travail/export"/*)
    if ((${#fichiers[@]} != 1)) || [[ ! -f ${fichiers[0]} ]]; then
        echec "export: ${#fichiers[@]} file(s): ${fichiers[*]##*/}"
        return 1
    fi
    chemin_export=${fichiers[0]}
    nom_export=${chemin_export##*/}
    local motif="^([0-9]{4}-[0-9]{2}-[0-9]{2}) - ([0-9]{2})-([0-9]{2})-([0-9]{2}) - $1\\.GSI\$"
    if [[ ! $nom_export =~ $motif ]]; then
        echec "export file name: $nom_export"
        return 1
    fi
    local quand
    quand=$(date -d "${BASH_REMATCH[1]} ${BASH_REMATCH[2]}:${BASH_REMATCH[3]}:${BASH_REMATCH[4]}" +%s)
    ((quand >= debut && quand <= fin)) || echec "export file time $nom_export not within the run"
    ligne_attendue $'\t\t\t\tCHOIX : '">> Exportation : $nom_export"  # the answer is not echoed
}

sans_fichier_export() {
    local fichiers=("$travail/export"/*)
    [[ -e ${fichiers[0]} ]] && echec "export: a file was made: ${fichiers[*]##*/}"
}

# The reply pieces the simulator sent in the transfer (C escapes, one a line): from
# the JOB request on, up to the end-of-data marker or the c that ends the transfer. A
# reply is logged once its last byte is out: one that gsicom ends before the marker
# must go out whole (--sans-cadence), or it may be logged after that c.
pieces_du_transfert() {
    awk 'match($0, /^[0-9:.]+ +[0-9]+\.[0-9]+ . /) {
            genre = substr($0, RLENGTH - 1, 1); texte = substr($0, RLENGTH + 1)
            if (genre == ">" && texte ~ /^JOB\/RCV\//) { dedans = 1; next }
            if (!dedans) next
            if (genre == ">" && texte == "c") exit
            if (genre == "<") { if (texte ~ /^\\x1A/) exit; print texte }
        }' "$travail/requetes.log"
}

# What the file must hold: those bytes, each LF stored as CR LF.
octets_stockes() {
    printf '%b' "$(tr -d '\n')" | perl -pe 's/\n/\r\n/g'
}

# verifier_fichier_envoye MODE JOB: the one export file holds, for MODE "entier", every
# byte the simulator sent in the transfer of JOB; for "debut", the start of them, cut by
# a write that failed at the last reply.
verifier_fichier_envoye() {
    local mode=$1 job=$2
    fichier_export "$job" || return
    pieces_du_transfert >"$travail/pieces"
    octets_stockes <"$travail/pieces" >"$travail/attendu"
    local nuls_envoyes nuls_gardes
    nuls_envoyes=$(tr -cd '\0' <"$travail/attendu" | wc -c)
    nuls_gardes=$(tr -cd '\0' <"$chemin_export" | wc -c)
    if [[ $mode == entier ]]; then
        cmp "$travail/attendu" "$chemin_export" >&2 ||
            echec "export file differs from the bytes sent ($(wc -c <"$travail/attendu") expected)"
        ((nuls_envoyes == nuls_gardes)) || echec "NUL bytes: $nuls_envoyes sent, $nuls_gardes kept"
        return
    fi
    # debut: what fitted, which is at least every reply before the last one.
    local taille avant
    taille=$(wc -c <"$chemin_export")
    avant=$(head -n -1 "$travail/pieces" | octets_stockes | wc -c)
    cmp -n "$taille" "$travail/attendu" "$chemin_export" >&2 || echec "export file is not the start of the bytes sent"
    ((taille >= avant && taille < $(wc -c <"$travail/attendu"))) ||
        echec "export file holds $taille bytes: not what fitted before the last reply (at least $avant)"
}

# verifier_cas: the checks a row of a case table (pannes.sh, ../noyau/pilotes.sh) asks
# for, from its fields: sortie, lines standard output holds; absent, texts it does not
# hold; journal, lines of the simulator's log (after its clock); fichier, empty for no
# export file, else MODE JOB as verifier_fichier_envoye takes them; erreurs, standard
# error exactly (@OCTETS@: how many bytes the simulator sent, @FICHIER@: the export
# file's name); requetes, the requests received, in order (none when empty).
verifier_cas() {
    local l attendues=("${erreurs[@]}")
    for l in "${sortie[@]}"; do ligne_attendue "$l"; done
    for l in "${absent[@]}"; do
        grep -aqF -- "$l" "$travail/console.txt" && echec "console holds $(printf '%q' "$l")"
    done
    for l in "${journal[@]}"; do
        sed 's/^[0-9:.]* *[0-9]*\.[0-9]* //' "$travail/requetes.log" | grep -qxF -- "$l" ||
            echec "the simulator's log holds no line $(printf '%q' "$l")"
    done
    if [[ -n $fichier ]]; then verifier_fichier_envoye $fichier; else sans_fichier_export; fi
    if ((${#attendues[@]} == 0)); then
        : >"$travail/erreurs.attendues"
    else
        [[ ${attendues[*]} == *@OCTETS@* ]] && attendues=("${attendues[@]//@OCTETS@/$(octets_envoyes)}")
        printf '%s\n' "${attendues[@]//@FICHIER@/${nom_export-}}" >"$travail/erreurs.attendues"
    fi
    diff -u "$travail/erreurs.attendues" "$travail/erreurs.txt" >&2 ||
        echec "standard error differs (- expected, + received)"
    if [[ -n $requetes ]]; then
        verifier_requetes <<<"$requetes"
    else
        requetes_recues | grep -q . && echec "the simulator received requests: the port was opened"
    fi
}

# How many bytes the simulator sent, from the "<" lines of its log (C escapes).
octets_envoyes() {
    sed -n 's/^[0-9:.]* *[0-9]*\.[0-9]* < //p' "$travail/requetes.log" | tr -d '\n' |
        perl -pe 's/\\x[0-9A-Fa-f]{2}|\\./x/g' | wc -c
}
