#!/bin/sh
# varnoth-cli-man.sh VARNOTH_CLI STATIC.h2m OUT.1
# Makes the man page of varnoth-cli with help2man: the overview from
# "varnoth-cli --help", one subsection per command from "varnoth-cli COMMAND
# --help", and the hand-written sections of STATIC.h2m.
set -eu
cli=$1 static=$2 out=$3
include="$out.h2m"

# roff-safe text: backslashes doubled, a leading "." or "'" escaped.
roff() { sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

{
  cat "$static"
  echo '[COMMANDS]'
  "$cli" --help | sed -n '/^Commands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }' |
    while read -r cmd; do
      echo ".SS $cmd"
      echo '.nf'
      # Qt's generic --help-all line is of no use in a man page.
      "$cli" "$cmd" --help | grep -v -e '--help-all' | fold -s -w 78 | roff
      echo '.fi'
    done
} > "$include"

help2man --no-info --section=1 \
  --name='command-line FTP transfers, listings and mirror runs of Varnoth' \
  --include="$include" --output="$out" "$cli"
rm -f "$include"
