#!/usr/bin/env bash
# The operator's documents describe every line gsicom prints on standard error: each
# fragment of lignes.txt must stand in the sources, in the manual page (Linux) and in
# the ZIP's notes (Windows), as its row marks; and every ">> ..." text of the sources
# must hold a fragment of the list, so that a new ">> ..." text cannot go undescribed.
#   lignes.sh SOURCE_TREE
# Exit 0 when all holds, 1 otherwise (each miss said on standard error). One perl run:
# a few milliseconds, however loaded the machine.
set -euo pipefail
racine=${1:?usage: lignes.sh SOURCE_TREE}
liste=$(dirname "${BASH_SOURCE[0]}")/lignes.txt
find "$racine/src" \( -name '*.cpp' -o -name '*.hpp' \) -print0 | sort -z |
    exec perl -0 -e '
my ($liste, $man, $notes) = @ARGV;
local $/;
sub lire { open(my $f, "<", $_[0]) or die "$_[0]: $!\n"; my $t = <$f>; return $t }
# The sources with adjacent string literals joined, as the compiler joins them.
my @fichiers = split /\0/, <STDIN>;
my $sources = join "", map { lire($_) } @fichiers;
$sources =~ s/"\s+"//g;
# The manual page as its reader sees the words: no requests, no font or hyphenation
# escapes, the escaped characters as they print, one line.
my $m = "";
for (split /\n/, lire($man)) {
    next if /^\.\\"/;
    s/^\.[A-Za-z]+ ?//; s/"//g; s/\\f[BIRP]//g; s/\\[%&]//g; s/\\-/-/g;
    s/\\\(dq/"/g; s/\\\(aq/\x27/g; s/\\\(ti/~/g; s/\\\(rs/\\/g; s/\\e/\\/g;
    $m .= "$_ ";
}
$m =~ s/\s+/ /g;
my $n = lire($notes);
$n =~ s/\s+/ /g;

my ($manques, @fragments) = (0);
sub manque { print STDERR "$_[0]\n"; $manques++ }
my %portees = map { $_ => 1 } qw(tous linux windows sortie aucun);
for (split /\n/, lire($liste)) {
    next if /^\s*(#|$)/;
    my ($portee, $fragment) = split /\t/, $_, 2;
    $portees{$portee} or manque("lignes.txt: unknown scope \"$portee\" for: $fragment"), next;
    push @fragments, $fragment;
    index($sources, $fragment) >= 0 or manque("not in the sources (a line gone?): $fragment");
    $portee =~ /^(tous|linux)$/ && index($m, $fragment) < 0
        and manque("not in docs/man/gsicom.1.in: $fragment");
    $portee =~ /^(tous|windows)$/ && index($n, $fragment) < 0
        and manque("not in docs/LISEZMOI-README.txt: $fragment");
}
# Each ">> ..." text the sources print, its formats and escapes taken out.
while ($sources =~ /">> ?((?:[^"\\]|\\.)*)"/g) {
    (my $texte = $1) =~ s/\\n/ /g;
    $texte =~ s/%-?[0-9]*(?:ll|l)?[sdu]//g;
    next unless $texte =~ /[a-zA-Z]{3}/;  # ">> %s\n": the words come from elsewhere
    grep { index($texte, $_) >= 0 } @fragments
        or manque("a \">>\" line of the sources that lignes.txt does not name: $texte");
}
if ($manques) {
    print STDERR "FAILED: $manques miss(es): describe each line in the documents of its ",
        "systems (docs/man/gsicom.1.in, docs/LISEZMOI-README.txt) and name it in $liste\n";
    exit 1;
}
print scalar(@fragments), " lines, each in the sources and in the documents of its systems\n";
' "$liste" "$racine/docs/man/gsicom.1.in" "$racine/docs/LISEZMOI-README.txt"
