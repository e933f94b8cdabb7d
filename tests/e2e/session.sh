#!/usr/bin/env bash
# Whole sessions of the real gsicom against gsicom-sim over a pseudo-terminal, as
# CTest runs them:
#   session.sh CASE NAME=VALUE...
# CASE
#   telechargement        the native gsicom as COM1 (tools/com1.sh) downloads job 2
#   effacement            the native gsicom downloads job 1, then erases job 2
#   wine-prefixe          makes the Wine prefix of the test session
#   wine-telechargement   gsicom.exe under Wine, as COM1 too, downloads job 2
#   wine-menage           removes the Wine prefix
# NAME=VALUE: GSICOM, SIM, COM1, MEMOIRE, and for Wine EXE, WINE, WINESERVER, PREFIXE.
# Checked: the console text, the requests the simulator received, the exit code and
# the export file byte for byte. Exit 0 when all holds, 77 when the case cannot run
# here (CTest shows it skipped), 1 otherwise, with what differed.
set -uo pipefail

cas=${1:?usage: session.sh CASE NAME=VALUE...}
shift
for a in "$@"; do
    case $a in
        GSICOM=* | SIM=* | COM1=* | MEMOIRE=* | EXE=* | WINE=* | WINESERVER=* | PREFIXE=*)
            declare "$a" ;;
        *) echo "session.sh: unknown argument: $a" >&2; exit 2 ;;
    esac
done

passer() { echo "SKIPPED: $*"; exit 77; }

if [[ $cas == wine-* ]]; then
    [[ -n ${WINE-} && -x ${WINE-} ]] || passer "no wine here"
    [[ -f ${EXE-} ]] || passer "no gsicom.exe at ${EXE-}: cmake --preset windows && cmake --build build/windows"
    export WINEPREFIX=$PREFIXE WINEDEBUG=-all
fi
case $cas in
    wine-prefixe)
        # One prefix for the session; its server must be gone before the runs, or
        # they would reach it and the machine's own /dev through it.
        rm -rf "$PREFIXE"
        "$WINE" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; exit 1; }
        "$WINESERVER" -w
        exit 0 ;;
    wine-menage)
        "$WINESERVER" -k 2>/dev/null
        rm -rf "$PREFIXE"
        exit 0 ;;
    telechargement | effacement | wine-telechargement) ;;
    *) echo "session.sh: unknown case: $cas" >&2; exit 2 ;;
esac
[[ $(id -u) -eq 0 ]] || passer "needs root: COM1 is a pty bind-mounted in a private /dev"
[[ $cas != wine-* || -d $PREFIXE ]] || { echo "no Wine prefix at $PREFIXE"; exit 1; }

travail=$(mktemp -d "${TMPDIR:-/tmp}/gsicom-e2e.XXXXXX")
mkdir "$travail/export"
sim_pid=
echecs=0
echec() { echo "FAILED: $*"; echecs=$((echecs + 1)); }

terminer() {
    [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null
    if ((echecs == 0)); then
        rm -rf "$travail"
    else
        for f in console.txt erreurs.txt requetes.log sim.err; do
            [[ -s $travail/$f ]] && { echo "--- $f"; tail -n 60 "$travail/$f"; }
        done
        echo "--- kept in $travail"
    fi
}
trap terminer EXIT

demarrer_sim() {
    coproc SIM { exec "$SIM" --memoire "$MEMOIRE" --journal "$travail/requetes.log" \
        --une-session 2>"$travail/sim.err"; }
    sim_pid=$SIM_PID
    local ligne=
    read -r -t 5 ligne <&"${SIM[0]}"
    pty=${ligne#gsicom-sim: }
    [[ $ligne == "gsicom-sim: "* && -c $pty ]] || { echec "gsicom-sim did not start: $ligne"; exit 1; }
}

# Ends once the program has closed the port: anything else is a fault of its own.
attendre_sim() {
    for _ in {1..50}; do
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$sim_pid" 2>/dev/null && echec "gsicom-sim still serving after the session"
    wait "$sim_pid"
    local code=$?
    sim_pid=
    ((code == 0)) || echec "gsicom-sim ended with code $code"
}

# lancer ANSWERS LIMIT COMMAND...: COMMAND as COM1's user, in the export directory.
lancer() {
    local reponses=$1 limite=$2
    shift 2
    debut=$(date +%s)
    (cd "$travail/export" && printf '%b' "$reponses" |
        timeout -s KILL "$limite" "$COM1" "$pty" "$@" >"$travail/console.brute" 2>"$travail/erreurs.txt")
    code=$?
    fin=$(date +%s)
    sed 's/\r$//' "$travail/console.brute" >"$travail/console.txt"  # Wine ends lines with CR LF
}

ligne_attendue() {
    grep -qxF -- "$1" "$travail/console.txt" || echec "console: no line $(printf '%q' "$1")"
}

verifier_console() {
    ((code == 0)) || echec "exit code $code, expected 0"
    local ports
    ports=$(grep -E $'^\t\t\tCOM [0-9]+$' "$travail/console.txt")
    [[ $ports == $'\t\t\tCOM 1' ]] || echec "ports listed: $(printf '%q' "$ports"), expected COM 1 alone"
    ligne_attendue 'Il y a eu 1 port(s) disponibles...'
    ligne_attendue 'Wake UP ! ....................'
    ligne_attendue $'Modele detecte : \t\tTS-SIM 30 et il est @ 23 degres Celsius'
    ligne_attendue 'Liste des JOBS detectes (3) :'
    ligne_attendue $'\t\t|  1 | DEFAULT   |      2 |       3 |'
    ligne_attendue $'\t\t|  2 | PONT-EST  |      4 |       5 |'
    ligne_attendue $'\t\t|  3 | LOT 17    |     25 |      26 |'
}

# The job's observation lines as the memory file holds them.
lignes_du_job() {
    sed -n "/^job $1,/,/^job /s/^obs //p" "$MEMOIRE"
}

# verifier_fichier JOB: one file, named after the local time of the run and the job,
# holding every line the simulator sent with its LF stored as CR LF.
verifier_fichier() {
    local fichiers=("$travail/export"/*)
    if ((${#fichiers[@]} != 1)) || [[ ! -f ${fichiers[0]} ]]; then
        echec "export: ${#fichiers[@]} file(s): ${fichiers[*]##*/}"
        return
    fi
    local nom=${fichiers[0]##*/}
    local motif="^([0-9]{4}-[0-9]{2}-[0-9]{2}) - ([0-9]{2})-([0-9]{2})-([0-9]{2}) - $1\\.GSI\$"
    if [[ ! $nom =~ $motif ]]; then
        echec "export file name: $nom"
        return
    fi
    local quand
    quand=$(date -d "${BASH_REMATCH[1]} ${BASH_REMATCH[2]}:${BASH_REMATCH[3]}:${BASH_REMATCH[4]}" +%s)
    ((quand >= debut && quand <= fin)) || echec "export file time $nom not within the run"
    ligne_attendue $'\t\t\t\tCHOIX : '">> Exportation : $nom"  # the answer is not echoed
    lignes_du_job "$1" | while IFS= read -r l; do printf '%s\r\r\n' "$l"; done >"$travail/attendu"
    cmp "$travail/attendu" "${fichiers[0]}" >&2 || echec "export file bytes differ from the job's lines"
}

# requetes_attendues POSITION LINES: the requests of a run up to the end of the download.
requetes_attendues() {
    printf '%s\n' a c '%R1Q,5004:' CONF/91 c FORM/CONF/LIST c c JOB/CONF/LIST '?' '?' '?' c \
        FORM/SET/0 FORM/SET/0 "JOB/RCV/OBSERV/$1"
    for ((i = 0; i < $2; i++)); do echo '?'; done
    echo c
}

verifier_requetes() {  # the expected requests on stdin (not a pipe: echec counts here)
    sed -n 's/^[0-9:.]* *[0-9]*\.[0-9]* > //p' "$travail/requetes.log" >"$travail/requetes"
    diff -u - "$travail/requetes" >&2 || echec "requests received differ (- expected, + received)"
    grep -q '# port ferme par le programme$' "$travail/requetes.log" ||
        echec "the simulator did not see the port closed"
}

demarrer_sim
lignes=$(lignes_du_job PONT-EST | wc -l)
case $cas in
    telechargement)
        lancer '1\n2\n2\n1\n1\n' 45 "$GSICOM"
        attendre_sim
        verifier_console
        [[ -s $travail/erreurs.txt ]] && echec "standard error not empty"
        verifier_fichier PONT-EST
        verifier_requetes < <(requetes_attendues 2 "$lignes") ;;
    effacement)
        lancer '1\n2\n1\n1\n2\n1472583690\n2\n' 45 "$GSICOM"
        attendre_sim
        verifier_console
        ligne_attendue $'\t\t\t\tCHOIX : >>PONT-EST  KILLED'
        ligne_attendue 'FIN POUR LE MOMENT'
        verifier_fichier DEFAULT
        verifier_requetes < <(requetes_attendues 1 "$(lignes_du_job DEFAULT | wc -l)"
            printf '%s\n' c c JOB/ERASE/2) ;;
    wine-telechargement)
        # Wine's own links to the machine's ports are not seen in the private /dev,
        # where ttyS0 is the pty; com1 leads to it, and the server ends with the run.
        export PTY=$pty WINE EXE WINESERVER
        lancer '1\n2\n2\n1\n1\n' 75 bash -c 'rm -f "$WINEPREFIX"/dosdevices/com*
            ln -s "$PTY" "$WINEPREFIX/dosdevices/com1"
            "$WINE" "$EXE" 2>/dev/null; code=$?
            "$WINESERVER" -k 2>/dev/null; exit $code'
        attendre_sim
        verifier_console
        verifier_fichier PONT-EST
        verifier_requetes < <(requetes_attendues 2 "$lignes") ;;
esac
((echecs == 0)) || exit 1
echo "OK: $cas"
