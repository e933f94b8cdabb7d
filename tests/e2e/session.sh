#!/usr/bin/env bash
# Whole sessions of the real gsicom against gsicom-sim over a pseudo-terminal, as
# CTest runs them:
#   session.sh CASE NAME=VALUE...
# CASE
#   telechargement        the native gsicom as COM1 (tools/com1.sh) downloads job 2
#   effacement            the native gsicom downloads job 1, then erases job 2
#   wine-prefixe          makes the Wine prefix of the test session, which each Wine
#                         run copies
#   wine-telechargement   gsicom.exe under Wine, as COM1 too, downloads job 2
#   wine-effacement       and under Wine downloads job 1, then erases job 2
#   wine-menage           removes the Wine prefix
# NAME=VALUE: GSICOM, SIM, COM1, MEMOIRE, and for Wine EXE, WINE, WINESERVER, PREFIXE.
# Checked: the console text, the requests the simulator received, the exit code and
# the export file byte for byte. Exit 0 when all holds, 77 when the case cannot run
# here (CTest shows it skipped), 1 otherwise, with what differed.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/commun.sh"

cas=${1:?usage: session.sh CASE NAME=VALUE...}
shift
lire_arguments "$@"

[[ $cas == wine-* ]] && preparer_wine
case $cas in
    wine-prefixe)
        # One prefix for the session, its server gone before the runs copy it.
        rm -rf "$PREFIXE"
        "$WINE" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; exit 1; }
        "$WINESERVER" -w
        exit 0 ;;
    wine-menage)
        "$WINESERVER" -k 2>/dev/null
        rm -rf "$PREFIXE"
        exit 0 ;;
    telechargement | effacement | wine-telechargement | wine-effacement) ;;
    *) echo "session.sh: unknown case: $cas" >&2; exit 2 ;;
esac
exiger_root
preparer_travail

# executer ANSWERS: the run, native or under Wine, with those answers.
executer() {
    printf '%b' "$1" >"$travail/entree"
    if [[ -n $sous_wine ]]; then lancer_wine 75; else lancer 45 "$GSICOM"; fi
    attendre_sim
}

verifier_console() {
    ((code == 0)) || echec "exit code $code, expected 0"
    [[ -s $travail/erreurs.txt ]] && echec "standard error not empty"
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

# verifier_fichier JOB: the one export file holds every line of the job as the
# memory file has it, its LF stored as CR LF.
verifier_fichier() {
    fichier_export "$1" || return
    lignes_du_job "$1" | while IFS= read -r l; do printf '%s\r\r\n' "$l"; done >"$travail/attendu"
    cmp "$travail/attendu" "$chemin_export" >&2 || echec "export file bytes differ from the job's lines"
}

demarrer_sim
lignes=$(lignes_du_job PONT-EST | wc -l)
case ${cas#wine-} in
    telechargement)
        executer '1\n2\n2\n1\n1\n'
        verifier_console
        verifier_fichier PONT-EST
        verifier_requetes < <(requetes_attendues 2 "$lignes") ;;
    effacement)
        executer '1\n2\n1\n1\n2\n1472583690\n2\n'
        verifier_console
        ligne_attendue $'\t\t\t\tCHOIX : >>PONT-EST  KILLED'
        ligne_attendue 'FIN POUR LE MOMENT'
        verifier_fichier DEFAULT
        verifier_requetes < <(requetes_attendues 1 "$(lignes_du_job DEFAULT | wc -l)"
            printf '%s\n' c c JOB/ERASE/2) ;;
esac
port_ferme_vu
((echecs == 0)) || exit 1
echo "OK: $cas"
