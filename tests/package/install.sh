#!/usr/bin/env bash
# The package as a user gets it: cpack builds it from the host tree; dpkg
# installs it into a scratch root (its database a copy of this machine's, so
# that the package's dependencies are checked against what is installed);
# the installed qev then packs an installer with no path to the stub, takes
# it from the scratch root, and the installed manual page shows the synopsis
# that `qev help` shows.
set -euo pipefail
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
for tool in cpack dpkg dpkg-deb man; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done
[ -f "$QEV_HOST_TREE/CPackConfig.cmake" ] || fail "no host tree at $QEV_HOST_TREE: build it first"
work=$QEV_PACKAGE_WORK
rm -rf "$work"
mkdir -p "$work"

cpack -G DEB --config "$QEV_HOST_TREE/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(tail -5 "$work/cpack.log")"
deb=$(ls "$work"/out/qev_*.deb)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sort)
for f in ./usr/bin/qev ./usr/share/qev/qevstub.exe ./usr/share/man/man1/qev.1.gz; do
  grep -qx "$f" <<<"$contents" || fail "the package lacks $f: $contents"
done

root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
cp /var/lib/dpkg/status "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-not-root -i "$deb" >"$work/dpkg.log" 2>&1 ||
  fail "dpkg -i failed: $(cat "$work/dpkg.log")"
qev="$root/usr/bin/qev"
cmp -s "$QEV_STUB" "$root/usr/share/qev/qevstub.exe" || fail "the installed stub is not the built one"

mkdir -p "$work/product/docs"
echo "read me" >"$work/product/docs/readme.txt"
printf 'MZ program\n' >"$work/product/lumetra.exe"
(cd "$work" && "$qev" pack product -o setup.exe --installer -v) >"$work/pack.log" 2>&1 ||
  fail "qev pack --installer failed: $(cat "$work/pack.log")"
grep -qF "stub: $root/usr/share/qev/qevstub.exe" "$work/pack.log" ||
  fail "the installer was not made with the installed stub: $(cat "$work/pack.log")"
# The stub as packed: its image with the resource section the packer adds.
stub_size=$(sed -n 's/.* with the \([0-9,]*\)-byte stub$/\1/p' "$work/pack.log" | tr -d ,)
[ -n "$stub_size" ] && [ "$stub_size" -ge "$(stat -c %s "$QEV_STUB")" ] ||
  fail "no stub size in the summary: $(cat "$work/pack.log")"
[ "$(tail -c +$((stub_size + 1)) "$work/setup.exe" | head -c 4 | od -An -c | tr -d ' ')" = 'QEV\n' ] ||
  fail "no archive right behind the stub in setup.exe"
"$qev" test "$work/setup.exe" >"$work/test.log" 2>&1 || fail "qev test: $(cat "$work/test.log")"

page=$(MANPAGER=cat MANWIDTH=100 man -l "$root/usr/share/man/man1/qev.1.gz" 2>&1) ||
  fail "man -l failed: $page"
synopses=0
while read -r line; do
  grep -qF "$line" <<<"$page" || fail "the manual page lacks \"$line\""
  synopses=$((synopses + 1))
done < <("$qev" help | sed -nE 's/^ +(qev [a-z]+ [A-Z].*)/\1/p')
[ "$synopses" -ge 4 ] || fail "qev help shows $synopses command synopses"
echo "package $(basename "$deb") installs into a scratch root and packs an installer there"
