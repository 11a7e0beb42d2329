#!/usr/bin/env bash
# Runs the whole suite (scripts/test.sh: both builds, the sanitizers, the
# fuzzer, the package check, the desktop and screen-reader checks) inside a
# Debian 13 (trixie) system made here with debootstrap, from the archive that
# apt on this machine already uses. The system is kept in a cache folder
# between runs, packages and all; only the checkout is copied in afresh.
#
# usage: scripts/debian13.sh [COMMAND...]   as root; scripts/test.sh runs it on Debian 12.
#        COMMAND (default scripts/test.sh) runs in the copy of the checkout.
# environment: ZAQ_DEBIAN13_DIR         where the system is kept (default /var/cache/zaqchat/debian13)
#              ZAQ_DEBIAN13_MINUTES     limit for COMMAND (default 30)
#              ZAQ_DEBIAN13_KEEP_BUILD=1  keeps build/ of the last copy, for
#                                       working on one fix (a run that proves
#                                       anything starts clean)
# Bounded: every step has its limit and a failure ends the run with a message.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
system="${ZAQ_DEBIAN13_DIR:-/var/cache/zaqchat/debian13}"
minutes="${ZAQ_DEBIAN13_MINUTES:-30}"
suite=trixie
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
started=$SECONDS

say() { echo "debian13: $*"; }
die() { echo "debian13: FAIL: $*" >&2; exit 1; }
took() { say "$1 took $(((SECONDS - $2) / 60)) min $(((SECONDS - $2) % 60)) s"; }

[ "$(id -u)" -eq 0 ] || die "needs root (debootstrap, chroot and mounts)"
command -v debootstrap >/dev/null || die "debootstrap is not installed (scripts/deps.sh --test)"
[ -f "$keyring" ] || die "no $keyring (package debian-archive-keyring)"

# --- the archive apt uses ------------------------------------------------------
# Prints "URI SUITE" for every enabled deb source, one-line and deb822 alike.
apt_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk '$1 == "deb" { i = 2; if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ } print $i, $(i + 1) }' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'function out(  u, s, i, j) {
           if (types ~ /(^| )deb( |$)/ && enabled != "no")
             for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++) print uri[i], suites[j]
           types = ""; enabled = ""; nu = 0; ns = 0
         }
         /^[ \t]*$/ { out(); next }
         /^#/ { next }
         tolower($1) == "types:" { $1 = ""; types = $0 }
         tolower($1) == "enabled:" { enabled = tolower($2) }
         tolower($1) == "uris:" { for (k = 2; k <= NF; k++) uri[++nu] = $k }
         tolower($1) == "suites:" { for (k = 2; k <= NF; k++) suites[++ns] = $k }
         END { out() }' "$f"
  done
}
. /etc/os-release
here="${VERSION_CODENAME:?no VERSION_CODENAME in /etc/os-release}"
sources="$(apt_sources)"
mirror="$(awk -v s="$here" '$2 == s { print $1; exit }' <<<"$sources")"
security="$(awk -v s="$here-security" '$2 == s { print $1; exit }' <<<"$sources")"
[ -n "$mirror" ] || die "apt has no source for $here to take $suite from: $sources"
say "archive $mirror${security:+, security $security}"

# --- mounts, and what is left running inside, go on every exit ----------------
mounted=()
stop_inside() {
  local pid link
  for pid in /proc/[0-9]*; do
    link="$(readlink "$pid/root" 2>/dev/null || true)"
    [ "$link" = "$system" ] && kill -9 "${pid#/proc/}" 2>/dev/null || true
  done
}
cleanup() {
  local i m
  stop_inside
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -R "${mounted[i]}" 2>/dev/null || umount -R -l "${mounted[i]}" ||
      echo "debian13: could not unmount ${mounted[i]}" >&2
  done
  # What the tests mounted inside (ip netns keeps /run/netns mounted), deepest first.
  while read -r m; do
    umount -l "$m" || echo "debian13: could not unmount $m" >&2
  done < <(awk -v d="$system/" 'index($2, d) == 1 { print $2 }' /proc/self/mounts | sort -r)
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Nothing may be mounted below a folder that is removed: /tmp and /dev of this
# machine would go with it.
unmounted() {
  ! awk -v d="$1" 'index($2, d) == 1 { found = 1 } END { exit !found }' /proc/self/mounts
}

# --- the system, kept between runs ----------------------------------------------
if [ ! -f "$system/.zaq-ready" ]; then
  t=$SECONDS
  new="$system.new"
  for d in "$new" "$system"; do
    unmounted "$d" || die "something is still mounted under $d"
    rm -rf "$d"
  done
  mkdir -p "$(dirname "$system")"
  say "making a $suite system in $system"
  timeout 900 debootstrap --variant=minbase --keyring="$keyring" "$suite" "$new" "$mirror" \
    >"$new.log" 2>&1 || { tail -n 30 "$new.log" >&2; die "debootstrap failed (log: $new.log)"; }
  mv "$new.log" "$new/debootstrap.log"
  # Packages installed here start no services.
  printf '#!/bin/sh\nexit 101\n' >"$new/usr/sbin/policy-rc.d"
  chmod 755 "$new/usr/sbin/policy-rc.d"
  mv "$new" "$system"
  touch "$system/.zaq-ready"
  took "debootstrap" "$t"
fi

{
  echo "Types: deb"
  echo "URIs: $mirror"
  echo "Suites: $suite $suite-updates"
  echo "Components: main"
  echo "Signed-By: $keyring"
  if [ -n "$security" ]; then
    echo
    echo "Types: deb"
    echo "URIs: $security"
    echo "Suites: $suite-security"
    echo "Components: main"
    echo "Signed-By: $keyring"
  fi
} >"$system/etc/apt/sources.list.d/debian.sources"
rm -f "$system/etc/apt/sources.list"
cp /etc/resolv.conf "$system/etc/resolv.conf"  # for apt only: no test looks up a name
[ -s "$system/etc/machine-id" ] || cat /proc/sys/kernel/random/uuid | tr -d '-' >"$system/etc/machine-id"

mount -t proc proc "$system/proc" || die "could not mount /proc"
mounted+=("$system/proc")
for d in sys dev tmp; do
  # /tmp is this machine's own: X displays, ports' lock files and the tests'
  # folders are seen by both systems, so neither takes what the other holds.
  mount --rbind "/$d" "$system/$d" || die "could not mount /$d"
  mounted+=("$system/$d")
  mount --make-rslave "$system/$d" || die "could not make /$d a slave mount"
done

# --- the checkout, as git has it (tracked and new files, not ignored ones) -----
t=$SECONDS
work="$system/srv/zaqchat"
unmounted "$work" || die "something is still mounted under $work"
if [ "${ZAQ_DEBIAN13_KEEP_BUILD:-0}" = 1 ] && [ -d "$work/build" ]; then
  find "$work" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
else
  rm -rf "$work"
fi
mkdir -p "$work"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$root" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar --null -T - -cf -) | tar -xf - -C "$work"
else
  tar -C "$root" --exclude=./build --exclude='./build-*' -cf - . | tar -xf - -C "$work"
fi
took "copying the checkout" "$t"

# --- the suite ------------------------------------------------------------------
t=$SECONDS
[ $# -gt 0 ] || set -- scripts/test.sh
say "$* inside Debian $(cat "$system/etc/debian_version"), limit $minutes min"
status=0
timeout --kill-after=30 "${minutes}m" chroot "$system" /usr/bin/env -i \
  HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
  TERM="${TERM:-dumb}" CI="${CI:-}" ${ZAQ_FUZZ_SECONDS:+ZAQ_FUZZ_SECONDS="$ZAQ_FUZZ_SECONDS"} \
  bash -c 'cd /srv/zaqchat && exec "$@"' debian13 "$@" || status=$?
took "$* inside Debian 13" "$t"
chroot "$system" apt-get clean >/dev/null 2>&1 || true  # the downloaded packages are not kept
[ "$status" -ne 124 ] || die "$* inside Debian 13 took over $minutes min"
[ "$status" -eq 0 ] || die "$* inside Debian 13 failed (status $status; the copy stays in $work)"
[ "${ZAQ_DEBIAN13_KEEP_BUILD:-0}" = 1 ] || rm -rf "$work"
took "Debian 13 in all" "$started"
say "PASS"
