#!/usr/bin/env bash
# Lists the errors under src/core (or the folders given) still raised with a
# plain English text in place of a message key: a `throw Error(...)` or an
# `: Error(...)` base whose first argument is built from a text (a literal,
# what(), std::string, "+") or is a lone name, such as a string variable;
# a call other than the known Message builders is listed to be looked at.
# Prints file:line and the argument; exits 1 when any is left.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- src/core

found=$(find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z | xargs -0 -r perl -0777 -ne '
    my $text = $_;
    while ($text =~ /(?:\bthrow\s+|:\s*)Error\s*\(/g) {
        my $at = $-[0];
        my $pos = pos($text);
        # The first argument: up to a comma or the closing parenthesis at
        # depth 0, skipping string literals.
        my ($depth, $arg, $quoted) = (0, "", 0);
        for (; $pos < length $text; $pos++) {
            my $c = substr($text, $pos, 1);
            if ($quoted) {
                $arg .= $c;
                if ($c eq "\\") {
                    $arg .= substr($text, ++$pos, 1);
                } elsif ($c eq q(")) {
                    $quoted = 0;
                }
                next;
            }
            $quoted = 1 if $c eq q(");
            $depth++ if $c =~ /[({\[]/;
            last if $depth == 0 && $c =~ /[,)]/;
            $depth-- if $c =~ /[)}\]]/;
            $arg .= $c;
        }
        pos($text) = $at + 1;
        $arg =~ s/\s+/ /g;
        $arg =~ s/^ //;
        next if $arg eq "" || $arg =~ /^(msg::|k[A-Z]\w*$|Message\s*[{(])|Said(\(\))?$/;
        my $plain = $arg =~ /"|what\(\)|std::(?:to_)?string|\+/ || $arg =~ /^[A-Za-z_][\w.>-]*$/;
        # A call may build a text or a Message; those known to give a
        # Message pass, any other is listed to be looked at.
        my $call = !$plain && $arg =~ /^([A-Za-z_][\w:]*)\s*\(/ && $1 !~ /^(ReadError|SystemReason|withFolderReplaced|MessageOf)$/;
        next unless $plain || $call;
        my $line = (substr($text, 0, $at) =~ tr/\n//) + 1;
        print "$ARGV:$line: ", substr($arg, 0, 120), ($call ? "  (a call: check what it gives)" : ""), "\n";
    }
')
if [ -n "$found" ]; then
    printf '%s\n' "$found"
    echo "$(printf '%s\n' "$found" | wc -l) errors with a plain text" >&2
    exit 1
fi
echo "no errors with a plain text" >&2
