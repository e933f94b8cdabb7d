#!/usr/bin/env bash
# The demo: builds the native gsicom and gsicom-sim, starts the simulator, and runs
# gsicom with the simulator as COM1 (the only port it finds) on this terminal. The
# answers come from standard input, so it also runs from a pipe:
#   printf '1\n2\n2\n1\n1\n' | bash tools/demo.sh
# The exported file lands in build/demo/ (GSICOM_DEMO_DIR to change it).
# GSICOM_SIM_OPTIONS gives the simulator options besides its log (gsicom-sim --aide),
# split at blanks; an instrument whose line is set to 9600 baud, for instance:
#   printf '1\n2\n2\n1\n1\n' | GSICOM_SIM_OPTIONS='--vitesse 9600' bash tools/demo.sh
# At the end the requests the simulator received are shown and the simulator is
# stopped. The exit code is gsicom's. It runs as a normal user: tools/com1.sh makes
# its private /dev in an unprivileged user namespace (root is needed only where the
# kernel refuses those, and to install the few packages of the native build when they
# are missing).
set -euo pipefail
racine=$(cd "$(dirname "$0")/.." && pwd)
cd "$racine"

source tools/paquets.sh
gsicom_paquets=("${gsicom_paquets_demo[@]}") gsicom_paquets_nus=()
gsicom_installer_paquets </dev/null

# The native gsicom and gsicom-sim alone (no tests: no googletest to install).
echo "== build (native, build/demo-bin)"
cmake --preset demo </dev/null >/dev/null
cmake --build build/demo-bin -j2 --target gsicom gsicom-sim </dev/null
bin=$racine/build/demo-bin

demo=${GSICOM_DEMO_DIR:-$racine/build/demo}
mkdir -p "$demo"
journal=$demo/requetes.log

sim_pid=
arreter_sim() {
    if [[ -n $sim_pid ]] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid"
        wait "$sim_pid" 2>/dev/null || true
    fi
    sim_pid=
}
trap arreter_sim EXIT

read -ra options_sim <<<"${GSICOM_SIM_OPTIONS-}"
coproc SIM { exec "$bin/sim/gsicom-sim" --journal "$journal" "${options_sim[@]}"; }
sim_pid=$SIM_PID
sim_sortie=${SIM[0]}  # bash forgets SIM if the simulator ends at once
ligne=
read -r -t 5 ligne <&"$sim_sortie" 2>/dev/null || true
pty=${ligne#gsicom-sim: }
if [[ $ligne != "gsicom-sim: "* || ! -c $pty ]]; then
    echo "demo: gsicom-sim did not start (${ligne:-no output})" >&2
    exit 1
fi
echo "== gsicom-sim on $pty, log in $journal"
echo "== gsicom, with $pty as COM1, in $demo"

code=0
(cd "$demo" && "$racine/tools/com1.sh" "$pty" "$bin/gsicom") || code=$?

echo
echo "== gsicom ended with code $code; requests received by the simulator:"
arreter_sim
cat "$journal"
ls -l "$demo"/*.GSI 2>/dev/null || true
exit "$code"
