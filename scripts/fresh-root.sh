#!/usr/bin/env bash
# Runs a command in a fresh Debian root, as on a new machine where nothing was installed by
# hand: a minimal root of Debian 13 (the stable release), 12, or unstable (the next
# release), made with mmdebstrap (apt, git and ca-certificates only), the
# project's committed state cloned into it (with ../shared beside it when there is one), and
# the command run there as root, in a private mount namespace, so that nothing outside the
# root changes and every mount goes away with it.
#   scripts/fresh-root.sh [--release 13|12|unstable] [--keep] -- COMMAND...
# COMMAND runs in the clone's top folder. PNG files that it leaves in the clone's build/ are
# copied to build/fresh-root/. The root is removed afterwards unless --keep is given. Exits
# with COMMAND's status.
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
name=$(basename "$project")

usage() {
  echo "usage: scripts/fresh-root.sh [--release 13|12|unstable] [--keep] -- COMMAND..." >&2
  exit 2
}
keep=0
release=13
while (($#)); do
  case $1 in
    --keep) keep=1; shift ;;
    --release) (($# > 1)) || usage; release=$2; shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
case $release in
  13) suite=trixie ;;
  12) suite=bookworm ;;
  unstable | sid) release=unstable suite=sid ;;
  *) echo "fresh-root: no Debian release $release: 13, 12 or unstable" >&2; exit 2 ;;
esac
(($#)) || usage
if [[ $(id -u) -ne 0 ]]; then
  echo "fresh-root: making a root and entering it needs root" >&2
  exit 2
fi
if ! command -v mmdebstrap >/dev/null; then
  echo "fresh-root: installing mmdebstrap"
  # Several roots started at once each install it: the later ones wait for the first's lock.
  lock=(-o DPkg::Lock::Timeout=600)
  apt-get "${lock[@]}" update -qq ||
    echo "fresh-root: apt-get update reported errors; installing from what it fetched" >&2
  DEBIAN_FRONTEND=noninteractive apt-get "${lock[@]}" install -y -qq --no-install-recommends \
    mmdebstrap >/dev/null
fi

base=$(mktemp -d "${TMPDIR:-/var/tmp}/jumper-root.XXXXXX")
fresh=$base/root
cleanup() {
  # Mounts live only in the namespace of the command below, which has ended by now; a root
  # with anything still mounted in it is left alone rather than emptied through the mount.
  if ((keep)); then
    echo "fresh-root: kept in $fresh"
  elif findmnt -rn -o TARGET | grep -q "^$fresh/"; then
    echo "fresh-root: $fresh still has mounts; not removed" >&2
  else
    rm -rf "$base"
  fi
}
trap cleanup EXIT

# The machine's own Debian package sources, so that the root reaches the same archive, with
# the machine's release name changed to the root's, and less the security suite: a mirror in
# the middle of syncing it has served an i386 index that does not match, which leaves the
# 32-bit packages at other versions than the 64-bit ones (scripts/setup.sh copes with that on
# a real machine; the root, thrown away after the run, need not). Without sources of its own,
# mmdebstrap uses Debian's default mirror.
host_suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
sources=()
if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
  awk 'BEGIN { RS = ""; ORS = "\n\n" } !/Suites:[^\n]*-security/' \
    /etc/apt/sources.list.d/debian.sources >"$base/debian.sources"
  sources=("$base/debian.sources")
elif [[ -f /etc/apt/sources.list ]]; then
  grep -E '^deb ' /etc/apt/sources.list | grep -v -- '-security' >"$base/sources.list" || true
  [[ -s $base/sources.list ]] && sources=("$base/sources.list")
fi
if ((${#sources[@]})) && [[ -n $host_suite && $host_suite != "$suite" ]]; then
  if [[ $suite == sid ]]; then
    # Unstable has no -updates (or -backports) suite of its own.
    sed -i -E "s/\<$host_suite-[a-z]+\>//g; s/\<$host_suite\>/$suite/g" "${sources[0]}"
  else
    sed -i -E "s/\<$host_suite(-[a-z]+)?\>/$suite\1/g" "${sources[0]}"
  fi
fi
# A mirror's snapshot of unstable may carry a Release file past its Valid-Until date, which
# apt refuses; that is accepted for unstable only, whose snapshot is taken as it is. A stable
# release past its date is a stale mirror, and fails.
aptopts=()
[[ $suite == sid ]] && aptopts=(--aptopt='Acquire::Check-Valid-Until "false"')
echo "fresh-root: making a Debian $release ($suite) root in $fresh"
start=$SECONDS
mmdebstrap --quiet --variant=apt --include=git,ca-certificates "${aptopts[@]}" \
  "$suite" "$fresh" "${sources[@]}"
cp /etc/resolv.conf "$fresh/etc/resolv.conf"
echo "fresh-root: root made in $((SECONDS - start)) s"
if [[ $suite == sid ]]; then
  for release_file in "$fresh"/var/lib/apt/lists/*_InRelease "$fresh"/var/lib/apt/lists/*_Release; do
    [[ -f $release_file ]] || continue
    until=$(sed -n 's/^Valid-Until: //p' "$release_file" | head -1)
    if [[ -n $until ]] && (($(date -d "$until" +%s) < $(date +%s))); then
      echo "fresh-root: $(basename "$release_file") was valid until $until; accepted for unstable"
    fi
  done
fi

mkdir -p "$fresh/work"
git clone --quiet "$project" "$fresh/work/$name"
if [[ -d $project/../shared ]]; then
  cp -r "$project/../shared" "$fresh/work/shared"
fi

status=0
unshare --mount --propagation private -- sh -c '
  set -e
  fresh=$1; dir=$2; shift 2
  for fs in proc sys dev; do mount --rbind "/$fs" "$fresh/$fs"; done
  exec chroot "$fresh" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" CI="${CI:-}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    sh -c "cd \"\$0\" && exec \"\$@\"" "$dir" "$@"
' sh "$fresh" "/work/$name" "$@" || status=$?

if compgen -G "$fresh/work/$name/build/*.png" >/dev/null; then
  mkdir -p "$project/build/fresh-root"
  cp "$fresh/work/$name"/build/*.png "$project/build/fresh-root/"
  echo "fresh-root: screenshots copied to build/fresh-root/"
fi
# Quiet on success, so that COMMAND's own last line stays the last.
((status == 0)) || echo "fresh-root: $* exited with $status" >&2
exit "$status"
