#!/usr/bin/env bash
# Tries the README's two commands on a fresh Debian machine, as a new user would.
#
#   sudo scripts/fresh-check.sh [RELEASE] [--keep] [--dir DIR] [--mirror URL]
#
# RELEASE is bookworm (Debian 12) or trixie (Debian 13, the default). Makes a minimal root of
# that release (debootstrap --variant=minbase RELEASE, from the mirror this machine's apt
# sources name), mounts /proc, /sys, /dev, /dev/pts, /dev/shm and a /tmp in it,
# clones this repository at its checked-out commit (HEAD; uncommitted changes are not in it)
# into /root/quorvalis there and runs, as root inside the new root:
#
#   bash scripts/demo.sh --headless
#   bash scripts/test.sh
#
# Reports each one's exit status and time and exits 0 only when both exit 0. Everything
# mounted is unmounted on exit, also on failure or Ctrl-C; the root is removed unless --keep
# is given. Takes a while: several minutes of debootstrap and apt, then the whole suite.
# Needs root, debootstrap (installed when missing) and git; the root needs about 6 GB.
#
#   --keep        leave the root for inspection (its path is printed)
#   --dir DIR     make the root in DIR, which must not exist (default: a new directory under
#                 /var/tmp)
#   --mirror URL  the Debian mirror (default: the first one the apt sources name)
set -euo pipefail
# The whole script is one block, read before it runs: editing this file while a check runs
# cannot change what the running check does next.
{
repo="$(cd "$(dirname "$0")/.." && pwd)"
args=("$@")
keep=0
root=""
mirror=""
release=trixie
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) keep=1 ;;
    --dir) root="$2"; shift ;;
    --mirror) mirror="$2"; shift ;;
    -h|--help) sed -n '2,23p' "$0"; exit 0 ;;
    bookworm|trixie) release="$1" ;;
    *) echo "fresh-check: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[ "$(id -u)" -eq 0 ] || { echo "fresh-check: needs root (debootstrap, chroot, mount)" >&2; exit 2; }

# In a mount namespace of its own: nothing mounted here is seen outside, and whatever the
# trap below could not unmount goes away with the namespace.
if [ -z "${QV_FRESH_NS:-}" ]; then
  QV_FRESH_NS=1 exec unshare --mount --propagation private bash "$0" "${args[@]}"
fi

# The mirror the apt sources name for this machine's own release (one-line or deb822 format);
# it serves the other release too.
sources_mirror() {
  local f own
  own="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
  if [ -f /etc/apt/sources.list ]; then
    awk -v own="$own" '$1 == "deb" { for (i = 2; i < NF; i++) if ($i !~ /^\[/ && $i ~ /:\/\//) {
           if ($(i + 1) == own) { print $i; exit } break } }' /etc/apt/sources.list
  fi
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v own="$own" 'BEGIN { RS = ""; FS = "\n" }
         { uri = ""; suite = 0
           for (i = 1; i <= NF; i++) {
             if ($i ~ /^URIs:/) { split(substr($i, 6), u, " "); uri = u[1] }
             if ($i ~ /^Suites:/ && (" " substr($i, 8) " ") ~ (" " own " ")) suite = 1
           }
           if (uri != "" && suite) { print uri; exit } }' "$f"
  done
}
if [ -z "$mirror" ]; then
  mirror="$(sources_mirror | head -n1)"
  [ -n "$mirror" ] || mirror="http://deb.debian.org/debian"
fi

if ! command -v debootstrap >/dev/null; then
  echo "fresh-check: installing debootstrap"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -q --no-install-recommends debootstrap ||
    { apt-get update -q && apt-get install -y -q --no-install-recommends debootstrap; }
fi
commit="$(git -C "$repo" rev-parse HEAD)"
if [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
  echo "fresh-check: note: uncommitted changes in $repo are not checked (only $commit)"
fi

if [ -n "$root" ]; then
  [ ! -e "$root" ] || { echo "fresh-check: $root exists" >&2; exit 2; }
  mkdir -p "$root"
else
  root="$(mktemp -d "/var/tmp/qv-fresh-$release.XXXXXX")"
fi
root="$(cd "$root" && pwd)"
chmod 755 "$root"

mounted=()
cleanup() {
  local status=$? i p
  set +e
  # Processes still running inside the root (a leftover X server or wineserver) are ours.
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
  sleep 0.5
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" ||
      echo "fresh-check: could not unmount ${mounted[i]}" >&2
  done
  if grep -q " $root/" /proc/self/mounts; then
    echo "fresh-check: something is still mounted under $root; left in place" >&2
  elif [ "$keep" -eq 1 ]; then
    echo "fresh-check: the root is kept in $root"
  else
    rm -rf --one-file-system "$root"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

echo "fresh-check: debootstrap --variant=minbase $release $root $mirror"
start=$SECONDS
debootstrap --variant=minbase "$release" "$root" "$mirror" >"$root.debootstrap.log" 2>&1 || {
  tail -20 "$root.debootstrap.log" >&2
  rm -f "$root.debootstrap.log"
  echo "fresh-check: debootstrap failed" >&2
  exit 1
}
rm -f "$root.debootstrap.log"
echo "fresh-check: root made in $((SECONDS - start)) s"

cp /etc/resolv.conf "$root/etc/resolv.conf"
# No services are started by package installs inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

mount_in() { # mount_in TARGET mount-arguments...
  local target="$root$1"
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounted+=("$target")
}
mount_in /proc -t proc proc
mount_in /sys -t sysfs sysfs
mount_in /dev --bind /dev
mount_in /dev/pts --bind /dev/pts
mount_in /dev/shm -t tmpfs -o mode=1777,nosuid,nodev shm
mount_in /tmp -t tmpfs -o mode=1777,nosuid,nodev tmp
# X servers listen on abstract sockets too, which the root shares with this machine: share
# the socket directory as well, so that a free display number there is free here.
mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
mount_in /tmp/.X11-unix --bind /tmp/.X11-unix

# The repository at its checked-out commit.
git clone -q --no-hardlinks "$repo" "$root/root/quorvalis"
git -C "$root/root/quorvalis" checkout -q --detach "$commit"
echo "fresh-check: cloned $commit into /root/quorvalis"

# Runs one command in the root from the clone, with the environment of a plain root login;
# keeps its output in build/fresh-check/NAME.log of this checkout, records status and time.
logs="$repo/build/fresh-check"
mkdir -p "$logs"
declare -A result
run_in_root() { # run_in_root NAME LABEL command...
  local log="$logs/$release-$1.log" label="$2" t0 rc took
  shift 2
  echo "fresh-check: === $label"
  t0=$SECONDS
  rm -f "$log.status"
  # In the background, so that a signal to this script is handled at once (the trap ends
  # what runs in the root).
  {
    rc=0
    chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash \
      TERM="${TERM:-dumb}" PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      /bin/bash -c 'cd /root/quorvalis && exec "$@"' bash "$@" </dev/null 2>&1 || rc=$?
    echo "$rc" >"$log.status"
  } | tee "$log" &
  wait $!
  rc=$(cat "$log.status" 2>/dev/null || echo 255)
  rm -f "$log.status"
  took=$((SECONDS - t0))
  result[$label]="exit $rc in $((took / 60)) min $((took % 60)) s"
  echo "fresh-check: $label: ${result[$label]} (log $log)"
  return "$rc"
}
status=0
run_in_root demo "bash scripts/demo.sh --headless" bash scripts/demo.sh --headless || status=1
run_in_root test "bash scripts/test.sh" bash scripts/test.sh || status=1

echo
echo "fresh-check: commit $commit, Debian $(cat "$root/etc/debian_version") from $mirror"
for label in "bash scripts/demo.sh --headless" "bash scripts/test.sh"; do
  echo "fresh-check: $label: ${result[$label]}"
done
exit "$status"
}
