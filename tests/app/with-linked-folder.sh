#!/bin/bash
# Runs one command with TURNBELL_LINKED_FOLDER naming a fresh folder as Wine sees it
# (through drive Z:), which holds "store", an empty folder, and "link", a symbolic link
# to it made on the Linux side: under Wine a folder reached through it keeps the link's
# own path, as one reached through a junction or a link does on Windows. Removes the
# folder when the command ends, however it ends; the exit status is the command's.
#   tests/app/with-linked-folder.sh command [args...]
set -u
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir "$work/store" && ln -s store "$work/link" \
  || { echo "with-linked-folder: the linked folder could not be made in $work" >&2; exit 1; }
export TURNBELL_LINKED_FOLDER="Z:${work//\//\\}"
"$@"
