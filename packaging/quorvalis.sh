#!/bin/sh
# Starts Quorvalis '95 for the current user.
#
# The launcher keeps its settings file, Quorvalis.ini, beside the executable it runs as, and
# the installed directory is not the user's to write. So each user runs a copy of the
# launcher of their own, in ${XDG_DATA_HOME:-$HOME/.local/share}/quorvalis/, refreshed from
# the installed one whenever the two differ; the settings file there is never touched here.
set -eu

here=$(dirname "$(readlink -f "$0")")
installed="$here/../lib/quorvalis/Quorvalis"
if [ ! -x "$installed" ]; then
  echo "quorvalis: $installed is missing" >&2
  exit 1
fi

# A relative XDG_DATA_HOME is invalid and ignored.
data_home="${XDG_DATA_HOME:-}"
case "$data_home" in
  /*) ;;
  *)
    if [ -z "${HOME:-}" ]; then
      echo "quorvalis: neither XDG_DATA_HOME nor HOME is set" >&2
      exit 1
    fi
    data_home="$HOME/.local/share"
    ;;
esac
dir="$data_home/quorvalis"
mkdir -p "$dir"

if ! cmp -s "$installed" "$dir/Quorvalis"; then
  # Copied under a name of its own and renamed over the old copy, so a launcher already
  # running from it, or a second start at the same moment, never sees a half-written file.
  tmp=$(mktemp "$dir/.Quorvalis.XXXXXX")
  if ! cp "$installed" "$tmp" || ! chmod 755 "$tmp" || ! mv -f "$tmp" "$dir/Quorvalis"; then
    rm -f "$tmp"
    echo "quorvalis: cannot copy the launcher to $dir" >&2
    exit 1
  fi
fi
# Started in the installed directory: the first-run prompt for the emulator opens in the
# current directory with "Zelko.exe" filled in, and the emulator bridge is there.
cd "$(dirname "$installed")"
exec "$dir/Quorvalis" "$@"
