#!/usr/bin/env bash
# Makes the Wine 10 tree the Windows tests run in, once per machine: a minimal Debian 13
# ("trixie") system in /opt/corvane-wine10 (CORVANE_WINE10_TREE elsewhere) holding wine64 and
# libwine, with the 32-bit Windows DLLs of the same version's libwine:i386 beside the 64-bit ones.
# That Wine runs the 32-bit setup in a 64-bit prefix (WoW64) without any 32-bit Linux program,
# which these machines' kernels refuse. Debian 12's Wine 8 cannot: its WoW64 mode fails on the
# first window. scripts/wine10/bin/ runs the tree's programs (see scripts/wine-env.sh).
# A finished tree carries a stamp file; a tree without one (an earlier run broke off) is made
# again from nothing. Mirror hiccups are retried.
set -euo pipefail
tree=${CORVANE_WINE10_TREE:-/opt/corvane-wine10}
# Written last; a different recipe makes the tree anew.
stamp=$tree/.corvane-ready
recipe="trixie wine64 libwine libwine:i386-windows recipe 1"

[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ] && exit 0

# The Debian mirror apt already uses here: the first source of Debian 12 ("bookworm") packages,
# other than the security archive, in apt's own configuration under $1 (/etc/apt): deb822
# stanzas in sources.list.d/*.sources (fields in any order, "Enabled: no" skipped) or one-line
# entries in sources.list and sources.list.d/*.list. Prints nothing when apt names none.
mirror() {
  local apt=${1:-/etc/apt} m f lists=()
  for f in "$apt"/sources.list "$apt"/sources.list.d/*.list; do [ -f "$f" ] && lists+=("$f"); done
  m=$(awk 'BEGIN { RS = ""; FS = "\n" }
    { types = uris = suites = ""; enabled = "yes"
      for (i = 1; i <= NF; i++) {
        line = $i
        if (line ~ /^[ \t]*#/) continue
        key = tolower(line); sub(/:.*/, "", key)
        value = line; sub(/^[^:]*:[ \t]*/, "", value)
        if (key == "types") types = value
        else if (key == "uris") uris = value
        else if (key == "suites") suites = value
        else if (key == "enabled") enabled = tolower(value)
      }
      split(uris, u, /[ \t]+/)
      if (enabled != "no" && (" " types " ") ~ /[ \t]deb[ \t]/ && (" " suites " ") ~ /[ \t]bookworm[ \t]/ &&
          u[1] != "" && u[1] !~ /security/) { print u[1]; exit }
    }' "$apt"/sources.list.d/*.sources 2>/dev/null || true)
  [ -n "$m" ] || [ ${#lists[@]} -eq 0 ] || m=$(awk '$1 == "deb" { sub(/\[[^]]*\][ \t]*/, "")
    if ($2 !~ /security/ && $2 ~ /debian/) { print $2; exit } }' "${lists[@]}" 2>/dev/null || true)
  echo "$m"
}

retry() { # what, then the command
  local what=$1 attempt
  shift
  for attempt in 1 2 3 4; do
    "$@" && return 0
    [ "$attempt" -lt 4 ] || break
    echo "wine10-tree: $what failed (try $attempt of 4); trying again in $((attempt * 15)) s" >&2
    sleep $((attempt * 15))
  done
  echo "wine10-tree: $what failed" >&2
  return 1
}

# Runs a command in the tree, with /proc and /dev inside a mount namespace of its own.
in_tree() {
  unshare -m -- sh -c 'mount -t proc proc "$0/proc" && mount --rbind /dev "$0/dev" && exec chroot "$@"' \
    "$tree" "$tree" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"
}

# Each step checks its result: set -e does not act inside a function called as a condition.
make_tree() {
  local version tmp
  rm -rf "$tree"
  echo "wine10-tree: debootstrap trixie from $url into $tree" >&2
  debootstrap --variant=minbase trixie "$tree" "$url" >"$tree.log" 2>&1 ||
    { tail -n 20 "$tree.log" >&2; return 1; }
  in_tree dpkg --add-architecture i386 || return 1
  echo "wine10-tree: installing wine64 and libwine" >&2
  retry "apt-get update in the tree" in_tree apt-get update -qq || return 1
  retry "installing wine64 and libwine" in_tree apt-get install -y -qq --no-install-recommends \
    wine64 libwine >>"$tree.log" 2>&1 || { tail -n 20 "$tree.log" >&2; return 1; }
  version=$(in_tree dpkg-query -W -f='${Version}' libwine) && [ -n "$version" ] || return 1
  echo "wine10-tree: the 32-bit Windows DLLs of libwine:i386 $version" >&2
  tmp=$tree/tmp/libwine-i386
  mkdir -p "$tmp" && chmod 777 "$tmp" || return 1 # apt downloads as its own user
  retry "downloading libwine:i386" in_tree sh -c "cd /tmp/libwine-i386 && apt-get download -qq 'libwine:i386=$version'" ||
    return 1
  dpkg-deb -x "$tmp"/libwine_*_i386.deb "$tmp/x" || return 1
  [ -d "$tmp/x/usr/lib/i386-linux-gnu/wine/i386-windows" ] ||
    { echo "wine10-tree: libwine:i386 has no i386-windows folder" >&2; return 1; }
  cp -a "$tmp/x/usr/lib/i386-linux-gnu/wine/i386-windows" "$tree/usr/lib/x86_64-linux-gnu/wine/" ||
    return 1
  [ -x "$tree/usr/lib/wine/wine64" ] && [ -x "$tree/usr/lib/wine/wineserver64" ] || return 1
  rm -rf "$tmp"
  in_tree apt-get clean
  rm -f "$tree.log"
}

mkdir -p "$(dirname "$tree")"
exec 9>"$tree.lock"
flock 9
# Another run may have made it while this one waited.
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ] && exit 0
url=$(mirror /etc/apt)
if [ -z "$url" ]; then
  echo "wine10-tree: apt's configuration (/etc/apt/sources.list, /etc/apt/sources.list.d/*.list" \
    "and *.sources) names no Debian 12 (bookworm) mirror to make the tree from; add the one this" \
    "machine should use there and run again" >&2
  exit 1
fi
echo "wine10-tree: making the Wine 10 tree in $tree (once per machine; about 350 MB to download)" >&2
for attempt in 1 2 3; do
  if make_tree; then
    echo "$recipe" >"$stamp"
    echo "wine10-tree: ready: $(in_tree /usr/lib/wine/wine64 --version 2>/dev/null || echo wine)" >&2
    exit 0
  fi
  [ "$attempt" -lt 3 ] && { echo "wine10-tree: starting again in $((attempt * 30)) s" >&2; sleep $((attempt * 30)); }
done
echo "wine10-tree: could not make the Wine 10 tree in $tree" >&2
exit 1
