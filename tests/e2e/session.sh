#!/usr/bin/env bash
# Whole sessions of the real gsicom against gsicom-sim over a pseudo-terminal, as
# CTest runs them:
#   session.sh CASE NAME=VALUE...
# CASE
#   telechargement        the native gsicom as COM1 (tools/com1.sh) downloads job 2
#   effacement            the native gsicom downloads job 1, then erases job 2
#   tue-puis-relance      a gsicom killed mid-transfer, then a second run that lists COM1
#   sim-suspendu          the simulator stopped while its slave is opened twice, then
#                         while it is closed twice: it answers, rests, and ends on SIGTERM
#   regard-concurrent     a program opens the port while the simulator looks for a left
#                         exclusive mode (the look held open by GSICOM_SIM_REGARD_MS):
#                         it is answered, and its own mode is kept
#   journal-sans-lecteur  the simulator's log on a pipe that nobody reads, filled: it
#                         ends on SIGTERM all the same
#   wine-prefixe          makes the Wine prefix of the test session, which each Wine
#                         run copies
#   wine-telechargement   gsicom.exe under Wine, as COM1 too, downloads job 2
#   wine-effacement       and under Wine downloads job 1, then erases job 2
#   wine-menage           removes the Wine prefix
# NAME=VALUE: GSICOM, SIM, COM1, MEMOIRE, FSYNC_EIO, ICOUNT, and for Wine EXE, WINE,
# WINESERVER, PREFIXE.
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
    wine-menage)  # with the copies of runs killed before their own clean-up
        "$WINESERVER" -k 2>/dev/null
        rm -rf "$PREFIXE" "$PREFIXE".copie.*
        exit 0 ;;
    telechargement | effacement | tue-puis-relance | sim-suspendu | regard-concurrent | \
        journal-sans-lecteur | wine-telechargement | wine-effacement) ;;
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

# The simulator ends within 1 s of SIGTERM, with code 0.
arret_en_une_seconde() {
    local t0
    t0=$(date +%s%N)
    kill -TERM "$sim_pid"
    for _ in {1..10}; do kill -0 "$sim_pid" 2>/dev/null && sleep 0.1; done
    kill -0 "$sim_pid" 2>/dev/null && echec "gsicom-sim still serving 1 s after SIGTERM"
    kill -KILL "$sim_pid" 2>/dev/null
    wait "$sim_pid"
    local code=$?
    sim_pid=
    ((code == 0)) || echec "gsicom-sim ended with code $code on SIGTERM"
    echo "gsicom-sim ended $((($(date +%s%N) - t0) / 1000000)) ms after SIGTERM"
}

# Whether the simulator has the slave open itself (its look for a left exclusive mode).
# No process started per descriptor: on a busy machine those forks took longer than
# the look lasts, and it went unseen.
sim_tient() {
    local f
    for f in /proc/"$sim_pid"/fd/*; do [[ $f -ef $pty ]] && return 0; done
    return 1
}

# exclusif set|clear|get: the exclusive mode of the pty open on descriptor 4 (TIOCEXCL,
# TIOCNXCL, TIOCGEXCL), which bash cannot reach.
exclusif() {
    perl -e 'open(my $f, "+<&=", 4) or die "fd 4: $!\n";
        if ($ARGV[0] eq "get") {
            my $v = pack("i", 0);
            ioctl($f, 0x80045440, $v) or die "TIOCGEXCL: $!\n";
            print unpack("i", $v);
        } else {
            ioctl($f, $ARGV[0] eq "set" ? 0x540C : 0x540D, 0) or die "$ARGV[0]: $!\n";
        }' "$1"
}

case $cas in
    tue-puis-relance | sim-suspendu | regard-concurrent | journal-sans-lecteur)
        une_session= ;;  # it serves on
esac
[[ $cas == regard-concurrent ]] && export GSICOM_SIM_REGARD_MS=1500
if [[ $cas == journal-sans-lecteur ]]; then  # a reader that never reads: this script
    journal_sim=$travail/tube
    mkfifo "$journal_sim" && exec 5<>"$journal_sim" || { echec "no pipe at $journal_sim"; exit 1; }
fi
# Replies whole, as in pannes.sh: paced, one that a stall leaves coming while gsicom
# reads is cut, and the requests that follow differ.
demarrer_sim --sans-cadence
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
    tue-puis-relance)
        # Only root opens a pty past the exclusive mode a killed run left.
        [[ $(id -u) -eq 0 ]] || passer "needs root: the simulator opens the pty past its exclusive mode"
        # SIGKILL runs no clean-up: the exclusive mode stays on the pty, and only the
        # simulator can clear it once the slave is free.
        printf '1\n2\n3\n1\n1\n' >"$travail/entree"
        (cd "$travail" && exec "$COM1" "$pty" "$GSICOM" <entree >/dev/null 2>&1) &
        premier=$!
        for _ in {1..200}; do  # until the second line of job 3 is asked for
            (($(requetes_recues | sed -n '/^JOB\/RCV/,$p' | grep -c '^?$') >= 1)) && break
            sleep 0.1
        done
        kill -KILL $(cat "/proc/$premier/task/$premier/children")  # gsicom, in com1.sh's namespace
        wait "$premier"
        efface=
        for _ in {1..30}; do  # it looks once the port has stayed free for 0.3 s
            grep -q '# mode exclusif laisse par un programme termine : efface$' \
                "$travail/requetes.log" && efface=1 && break
            sleep 0.1
        done
        [[ -n $efface ]] || echec "the simulator did not clear the killed run's exclusive mode"
        printf '1\n2\n2\n1\n1\n' >"$travail/entree"
        lancer 45 "$GSICOM"
        verifier_console
        verifier_fichier PONT-EST
        arreter_sim ;;
    sim-suspendu)
        # inotify merges the second of two identical events: two opens, then two
        # closes, while the simulator cannot read them.
        kill -STOP "$sim_pid"; exec 3<>"$pty" 4<>"$pty"; kill -CONT "$sim_pid"
        sleep 0.2; exec 3<&-; sleep 0.2
        printf 'a\r\n' >&4
        reponse=
        read -r -t 2 -u 4 reponse
        [[ $reponse == $'?\r' ]] || echec "no reply to a holder that opened twice: $(printf '%q' "$reponse")"
        exec 4<&-
        exec 3<>"$pty"; sleep 0.2; exec 4<>"$pty"; sleep 0.2
        kill -STOP "$sim_pid"; exec 3<&- 4<&-; kill -CONT "$sim_pid"
        sleep 0.2
        cpu() { awk '{ print $14 + $15 }' "/proc/$sim_pid/stat"; }
        avant=$(cpu); sleep 1
        (($(cpu) - avant <= $(getconf CLK_TCK) / 20)) ||
            echec "gsicom-sim took $(($(cpu) - avant)) ticks of CPU in 1 s with nobody on the port"
        arret_en_une_seconde ;;
    regard-concurrent)
        exec 3<>"$pty"; exec 3<&-  # touched, then free: the look comes 0.3 s later
        for _ in {1..40}; do sim_tient && break; sleep 0.05; done
        sim_tient || echec "the simulator did not look at the free port"
        exec 4<>"$pty"  # in the look, which has the slave open for 1.5 s
        exclusif set
        for _ in {1..60}; do sim_tient || break; sleep 0.05; done
        printf 'a\r\n' >&4
        reponse=
        read -r -t 2 -u 4 reponse
        [[ $reponse == $'?\r' ]] ||
            echec "no reply to the program that opened the port in the look: $(printf '%q' "$reponse")"
        [[ $(exclusif get) == 1 ]] || echec "the exclusive mode of the port's holder was cleared"
        grep -E '# mode exclusif .*(efface|impossible a effacer)' "$travail/requetes.log" &&
            echec "the simulator took the holder's mode for one left"
        exclusif clear
        exec 4<&-
        for _ in {1..20}; do [[ -n $(heure_port_ferme) ]] && break; sleep 0.1; done
        arreter_sim ;;
    journal-sans-lecteur)
        # The replies are read, the log is not: the pipe (64 KiB) fills, then the
        # simulator's buffer of 1 MiB, past which its lines are dropped.
        exec 4<>"$pty"
        cat <&4 >/dev/null &
        lecteur=$!
        timeout 20 bash -c 'yes "$0" | head -n 30000 >&4' $'a\r' ||
            echec "the simulator stopped reading the requests"
        sleep 0.5
        arret_en_une_seconde
        kill "$lecteur"
        exec 4<&- 5<&- ;;
esac
[[ $cas == journal-sans-lecteur ]] || port_ferme_vu  # its log is in the pipe
((echecs == 0)) || exit 1
echo "OK: $cas"
