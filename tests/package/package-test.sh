#!/usr/bin/env bash
# package-test.sh BUILD_DIR: cpack's .deb holds the three programs, their man pages, the
# desktop entry and the icon, declares its dependencies, and its programs run from an unpacked
# root.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$scratch"/out/tervo_*.deb)
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "package: $(basename "$deb"), Depends: $depends"
for needed in libqt6widgets6 libqt6printsupport6 libc6 libstdc++6 fonts-arphic-uming \
              libmosquitto1 libsystemd0 libmicrohttpd12 libqt6keychain1; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed"
done

dpkg-deb -x "$deb" "$scratch/root"
usr=$scratch/root/usr
for f in bin/tervo bin/tervo-cli bin/qt570-emu \
         share/man/man1/tervo.1.gz share/man/man1/tervo-cli.1.gz share/man/man1/qt570-emu.1.gz \
         share/applications/tervo.desktop share/icons/hicolor/scalable/apps/tervo.svg \
         share/man/zh_CN/man1/tervo.1.gz \
         lib/systemd/system/tervo-record@.service share/doc/tervo/copyright; do
  [ -f "$usr/$f" ] || fail "missing /usr/$f"
done
grep -qx 'Exec=tervo %f' "$usr/share/applications/tervo.desktop" || fail "desktop entry Exec"
grep -qx 'Icon=tervo' "$usr/share/applications/tervo.desktop" || fail "desktop entry Icon"
grep -q '^Comment\[zh_CN\]=.*温控仪' "$usr/share/applications/tervo.desktop" ||
  fail "desktop entry in Chinese"
grep -q '^ExecStart=/bin/sh -c .exec /usr/bin/tervo-cli record /etc/tervo/%i.awt --out "/var/lib/tervo/%i/T' \
  "$usr/lib/systemd/system/tervo-record@.service" || fail "recorder service ExecStart"
zcat "$usr/share/man/man1/tervo-cli.1.gz" | grep -q 'record' || fail "tervo-cli man page"
zcat "$usr/share/man/man1/tervo-cli.1.gz" | grep -q 'force' || fail "tervo-cli man page: --force"
zcat "$usr/share/man/man1/qt570-emu.1.gz" | grep -q 'addresses' || fail "qt570-emu man page"

"$usr/bin/tervo-cli" --help | grep -q '^usage: tervo-cli' || fail "tervo-cli --help"
"$usr/bin/qt570-emu" --help | grep -q '^usage: qt570-emu' || fail "qt570-emu --help"
for program in tervo-cli qt570-emu tervo; do
  said=$(QT_QPA_PLATFORM=offscreen "$usr/bin/$program" --version)
  name=$program; [ "$program" = tervo ] && name=Tervo
  [ "$(head -n1 <<<"$said")" = "$name $version" ] || fail "$program --version"
  grep -q 'GPL-3.0-or-later' <<<"$said" || fail "$program --version: licence"
done
grep -q '^License: GPL-3.0-or-later' "$usr/share/doc/tervo/copyright" || fail "copyright file"
zcat "$usr/share/man/man1/tervo.1.gz" | grep -q 'free software' || fail "tervo man page: licence"
zcat "$usr/share/man/man1/tervo.1.gz" | grep -q 'TERVO_LANG' || fail "tervo man page: --lang"
zcat "$usr/share/man/zh_CN/man1/tervo.1.gz" | grep -q '界面语言' || fail "tervo man page in Chinese"
echo "package-test: ok"
