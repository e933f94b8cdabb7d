#!/usr/bin/env bash
# The operator's documents describe every line gsicom prints on standard error: each
# fragment of lignes.txt must stand in the sources, in the manual page (Linux) and in
# the ZIP's notes (Windows), as its row marks; and every ">> ..." text of the sources
# must hold a fragment of the list, so that a new ">> ..." text cannot go undescribed.
#   lignes.sh SOURCE_TREE
# Exit 0 when all holds, 1 otherwise (each miss said on standard error).
set -euo pipefail
racine=${1:?usage: lignes.sh SOURCE_TREE}
liste=$(dirname "${BASH_SOURCE[0]}")/lignes.txt

# The sources with adjacent string literals joined, as the compiler joins them.
sources=$(find "$racine/src" -name '*.cpp' -o -name '*.hpp' | sort | xargs cat |
    perl -0pe 's/"\s*\n\s*"//g')
# The manual page as its reader sees the words: no requests, no font or hyphenation
# escapes, the escaped characters as they print, one line.
man=$(perl -ne 'next if /^\.\\"/; s/^\.[A-Za-z]+ ?//; s/"//g;
    s/\\f[BIRP]//g; s/\\[%&]//g; s/\\-/-/g; s/\\\(dq/"/g; s/\\\(aq/\x27/g;
    s/\\\(ti/~/g; s/\\\(rs/\\/g; s/\\e/\\/g; print' "$racine/docs/man/gsicom.1.in" |
    tr -s ' \n' '  ')
notes=$(tr -s ' \n\r' '   ' <"$racine/docs/LISEZMOI-README.txt")

manques=0
manque() {
    echo "$1" >&2
    manques=$((manques + 1))
}
fragments=()
while IFS=$'\t' read -r portee fragment; do
    [[ -z $portee || $portee == \#* ]] && continue
    fragments+=("$fragment")
    grep -qF -- "$fragment" <<<"$sources" || manque "not in the sources (a line gone?): $fragment"
    case $portee in
        tous | linux) grep -qF -- "$fragment" <<<"$man" ||
            manque "not in docs/man/gsicom.1.in: $fragment" ;;&
        tous | windows) grep -qF -- "$fragment" <<<"$notes" ||
            manque "not in docs/LISEZMOI-README.txt: $fragment" ;;
        sortie | aucun) ;;
        linux) ;;
        *) manque "lignes.txt: unknown scope \"$portee\" for: $fragment" ;;
    esac
done <"$liste"

# Each ">> ..." text the sources print, its formats and escapes taken out.
while IFS= read -r texte; do
    [[ $texte =~ [a-zA-Z]{3} ]] || continue  # ">> %s\n": the words come from elsewhere
    trouve=false
    for fragment in "${fragments[@]}"; do
        [[ $texte == *"$fragment"* ]] && { trouve=true; break; }
    done
    $trouve || manque "a \">>\" line of the sources that lignes.txt does not name: $texte"
done < <(perl -ne 'while (/">> ?((?:[^"\\]|\\.)*)"/g) { my $t = $1;
    $t =~ s/\\n/ /g; $t =~ s/%-?[0-9]*(?:ll|l)?[sdu]//g; print "$t\n" }' <<<"$sources")

if ((manques > 0)); then
    echo "FAILED: $manques miss(es): describe each line in the documents of its systems" \
        "(docs/man/gsicom.1.in, docs/LISEZMOI-README.txt) and name it in $liste" >&2
    exit 1
fi
echo "${#fragments[@]} lines, each in the sources and in the documents of its systems"
