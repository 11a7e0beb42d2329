#!/usr/bin/env bash
# Makes a pinned font set and prints the fontconfig file that shows it, and
# only it, to a process: FONTCONFIG_FILE=$(scripts/fontsets.sh noto) ...
# The fonts come from Debian's packages, unpacked (never installed) into a
# cache folder, so nothing on the machine changes, no root is needed and the
# machine's other fonts do not count.
#   bench  the program's own fonts and the Noto fonts a desktop has (core, CJK)
#   noto   the program's own fonts and Debian's whole Noto family (about
#          2,900 font files): what a user with many fonts has
# The rules of the machine's fontconfig (hinting, the generic families) stay;
# the folders it reads fonts from (system, user, local) do not.
#
# A set is unpacked once and kept under $ZAQ_FONT_CACHE (default .cache/fonts
# in the project), made again only when a package's version changes.
# Usage: scripts/fontsets.sh bench|noto
set -euo pipefail
cd "$(dirname "$0")/.."

own=(fonts-dejavu-core fonts-dejavu-extra fonts-liberation fonts-comic-neue)
case ${1:-} in
  bench) packages=("${own[@]}" fonts-noto-core fonts-noto-cjk) ;;
  noto) packages=("${own[@]}" fonts-noto-core fonts-noto-extra fonts-noto-ui-core fonts-noto-ui-extra
                  fonts-noto-mono fonts-noto-cjk fonts-noto-cjk-extra fonts-noto-color-emoji) ;;
  *) echo "usage: scripts/fontsets.sh bench|noto" >&2; exit 2 ;;
esac

cache=${ZAQ_FONT_CACHE:-$PWD/.cache/fonts}
set_dir=$cache/$1
# The versions apt would fetch now: a set made from others is made again.
versions=$(apt-cache policy "${packages[@]}" | awk '/^[^ ]/ {p=$1} /Candidate:/ {print p, $2}')
if [ -f "$set_dir/fonts.conf" ] && [ "$(cat "$set_dir/versions" 2>/dev/null)" = "$versions" ]; then
  echo "$set_dir/fonts.conf"
  exit 0
fi

echo "fontsets: unpacking ${packages[*]} into $set_dir" >&2
started=$(date +%s)
rm -rf "$set_dir"
mkdir -p "$set_dir/root" "$set_dir/cache"
debs=$(mktemp -d /tmp/zaq-fonts.XXXXXX)
trap 'rm -rf "$debs"' EXIT
chmod 777 "$debs" # apt's download user writes there
(cd "$debs" && apt-get download -q "${packages[@]}" >&2)
for deb in "$debs"/*.deb; do
  dpkg-deb -x "$deb" "$set_dir/root"
done

{
  echo '<?xml version="1.0"?>'
  echo '<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">'
  echo '<fontconfig>'
  echo "  <cachedir>$set_dir/cache</cachedir>"
  echo "  <dir>$set_dir/root/usr/share/fonts</dir>"
  # The packages' own rules, then the machine's but for the user's and the
  # local folders of fonts.
  for conf in "$set_dir"/root/usr/share/fontconfig/conf.avail/*.conf "$set_dir"/root/etc/fonts/conf.avail/*.conf; do
    [ -f "$conf" ] && echo "  <include ignore_missing=\"yes\">$conf</include>"
  done
  for conf in /etc/fonts/conf.d/*.conf; do
    case $(basename "$conf") in
      50-user.conf | 51-local.conf) ;;
      *) echo "  <include ignore_missing=\"yes\">$conf</include>" ;;
    esac
  done
  echo '</fontconfig>'
} >"$set_dir/fonts.conf.new"
FONTCONFIG_FILE=$set_dir/fonts.conf.new fc-cache "$set_dir/root/usr/share/fonts" >&2
echo "$versions" >"$set_dir/versions"
mv "$set_dir/fonts.conf.new" "$set_dir/fonts.conf"
echo "fontsets: $1: $(FONTCONFIG_FILE=$set_dir/fonts.conf fc-list | wc -l) font files, made in $(($(date +%s) - started)) s" >&2
echo "$set_dir/fonts.conf"
