#!/usr/bin/env bash
# The map of docs/ARCHITECTURE.md, as the includes show it:
# - the floor (src/socle/) and the seam (src/plateforme/plateforme.hpp) include nothing
#   of the devices' words, the link, the stages or the console;
# - the devices' words (src/appareils/) include nothing of the floor, the link (but its
#   COM names), the stages or the console;
# - nothing outside src/plateforme/linux/ and src/plateforme/windows/ includes a
#   system's own header (a <....h>: the standard library's have no suffix);
# - the program includes nothing of the simulator;
# - no header of src/ includes itself again through others (no loop).
#   inclusions.sh SOURCE_TREE
set -euo pipefail
cd "${1:?usage: inclusions.sh SOURCE_TREE}"
fautes=0
faute() {
    echo "$1" >&2
    fautes=$((fautes + 1))
}

while IFS= read -r ligne; do
    faute "the floor or the seam includes a room above it: $ligne"
done < <(grep -Hn '#include "\(appareils\|serial\|instrument\|console\)/' src/socle/* src/plateforme/plateforme.hpp || true)

while IFS= read -r ligne; do
    faute "the devices' words include the run or the link: $ligne"
done < <(grep -Hn '#include "\(socle\|serial\|instrument\|console\)/' src/appareils/* |
    grep -v '"serial/chemin_com.hpp"' || true)

while IFS= read -r ligne; do
    faute "a system's own header outside src/plateforme/<os>/: $ligne"
done < <(grep -rHn '#include <[^>]*\.h>' src --include='*.cpp' --include='*.hpp' |
    grep -v '^src/plateforme/\(linux\|windows\)/' || true)

while IFS= read -r ligne; do
    faute "the program includes the simulator: $ligne"
done < <(grep -rHn '#include "\(sim/\|instrument\.hpp\|serveur\.hpp\|memoire\.hpp\|journal\.hpp\|pty\.hpp\|options\.hpp\)' src || true)

# Every quoted include of src/ as an edge for tsort, which names a loop when there is one.
boucle=$(grep -rH '^#include "' src --include='*.cpp' --include='*.hpp' |
    sed 's|^src/\([^:]*\):#include "\(.*\)".*|\1 \2|' | tsort 2>&1 >/dev/null || true)
[[ -z $boucle ]] || faute "an include loop: $boucle"

((fautes == 0)) || { echo "FAILED: $fautes fault(s) in the includes; docs/ARCHITECTURE.md says why each rule holds" >&2; exit 1; }
echo "includes: the floor, the seam and the devices' words stand alone, the systems' headers stay in their rooms, no loop"
