#!/usr/bin/env bash
# cmake --install into a temporary root (DESTDIR, prefix /usr, as the package does), the installed programs
# run from there, and cpack's Debian package of the same tree.
# Usage: install_test.sh BUILD_DIR
set -uo pipefail
build=$1
root=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pids=()
trap 'for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; done; rm -rf "$root"' EXIT

DESTDIR=$root cmake --install "$build" --prefix /usr >"$root/install.log" 2>&1 || {
  cat "$root/install.log" >&2
  exit 1
}
usr=$root/usr
pkg=$usr/lib/zelta-logo

# Where everything went.
for link in Logo OPOSETUP zelta-server zelta-printer-emu zelta-logo-tool; do
  [ "$(readlink "$usr/bin/$link")" = "../lib/zelta-logo/$link" ] || fail "bin/$link is not a link into lib/zelta-logo"
  [ -x "$usr/bin/$link" ] || fail "bin/$link does not lead to a program"
done
for variant in OPOSETUP DEMO SETUP MEMORY KDM410G; do
  [ "$(readlink "$pkg/$variant")" = Logo ] || fail "$variant is not a link to Logo"
done
for f in Logo.INI ColorTable_{BW,2C,3C}.txt icons/{DOMAIN,SERVER,PRINTER,NETPRINTER}.png; do
  [ -f "$pkg/$f" ] || fail "$f not beside the programs"
done
for f in share/zelta-logo/samples/{shop_name,line_drawing,gradient}.bmp \
  share/icons/hicolor/scalable/apps/zelta-logo.svg \
  share/doc/zelta-logo/zelta-server.conf.example lib/sysusers.d/zelta-logo.conf; do
  [ -f "$usr/$f" ] || fail "$f missing"
done
unit=$usr/lib/systemd/system/zelta-server.service
for line in 'ExecStart=/usr/bin/zelta-server --config /etc/zelta/zelta-server.conf' User=zelta \
  'SupplementaryGroups=lp dialout' NoNewPrivileges=yes ProtectSystem=strict ProtectHome=yes PrivateTmp=yes \
  StateDirectory=zelta; do
  grep -qx "$line" "$unit" || fail "unit without $line"
done
# systemd's own reckoning of the unit's exposure (0 to 10; 2 or less is what the options above give).
if command -v systemd-analyze >/dev/null; then
  systemd-analyze security --offline=yes --threshold=20 --root="$root" "$unit" >"$root/security.txt" 2>&1 ||
    fail "unit exposure: $(grep 'Overall exposure' "$root/security.txt")"
fi
desktop=$usr/share/applications/zelta-logo.desktop
grep -qx 'Exec=/usr/bin/Logo' "$desktop" && grep -qx 'Icon=zelta-logo' "$desktop" || fail "desktop entry"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop" || fail "desktop entry invalid"; fi
grep -qx 'InstallationType=LOCAL' "$root/etc/zelta/registry" || fail "/etc/zelta/registry"

for conf in "$root/etc/zelta/zelta-server.conf" "$usr/share/doc/zelta-logo/zelta-server.conf.example"; do
  "$usr/bin/zelta-server" --check "$conf" >/dev/null 2>&1 || fail "zelta-server --check $conf"
done

# Waits up to 10 s for "listening on 127.0.0.1:PORT" in file; prints PORT.
listening_port() {
  for _ in $(seq 100); do
    grep -om1 'listening on 127.0.0.1:[0-9]*' "$1" | cut -d: -f2 | grep . && return
    sleep 0.1
  done
  return 1
}

# The installed virtual printer answers GS I 1 with its model ID.
"$usr/bin/zelta-printer-emu" --model 46 --listen 127.0.0.1:0 >"$root/emu.out" 2>&1 &
pids+=($!)
if port=$(listening_port "$root/emu.out"); then
  answer=$(exec 3<>"/dev/tcp/127.0.0.1/$port" && printf '\x1dI\x01' >&3 && timeout 5 head -c1 <&3 | od -An -tu1)
  [ "${answer// /}" = 46 ] || fail "zelta-printer-emu answered '$answer' to GS I 1"
else
  fail "zelta-printer-emu did not listen: $(cat "$root/emu.out")"
fi

# Logo started through bin/Logo, offscreen, against the installed server through a relay that counts the
# bytes: an HTTP/2 exchange through it shows that Logo found its icons (a missing one stops the start at
# a message box) and asked the server for its printers.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'listen = 127.0.0.1\nport = %s\nannounce = no\nprinter = Virtual, emu:46\n' "$port" >"$root/server.conf"
"$usr/bin/zelta-server" --config "$root/server.conf" >"$root/server.out" 2>&1 &
pids+=($!)
server_port=$(listening_port "$root/server.out") || fail "installed zelta-server did not start: $(cat "$root/server.out")"
python3 "$(dirname "$0")/relay_count.py" "${server_port:-1}" >"$root/relay.out" &
pids+=($!)
for _ in $(seq 50); do
  relay_port=$(head -1 "$root/relay.out" 2>/dev/null)
  [ -n "$relay_port" ] && break
  sleep 0.1
done
printf '[SOFTWARE\\Zelta]\nInstallationType=LOCAL\n[SOFTWARE\\Zelta\\Remote]\nServerPort=%s\n' "$relay_port" \
  >"$root/registry"
ZELTA_REGISTRY=$root/registry XDG_RUNTIME_DIR=$root QT_QPA_PLATFORM=offscreen "$usr/bin/Logo" >"$root/logo.out" 2>&1 &
logo=$!
pids+=("$logo")
for _ in $(seq 100); do [ "$(cat "$root/relay.out" 2>/dev/null | wc -l)" -ge 2 ] && break; sleep 0.1; done
read -r up down preface < <(sed -n 2p "$root/relay.out")
if [ "${preface:-}" != "PRI * HTTP/2.0" ] || [ "${up:-0}" -lt 100 ] || [ "${down:-0}" -lt 100 ]; then
  fail "installed Logo did not talk to the server (relay: $(tr '\n' ' ' <"$root/relay.out"); $(cat "$root/logo.out"))"
fi
kill -0 "$logo" 2>/dev/null || fail "installed Logo ended"

# The Debian package holds the same tree under /usr and /etc, its configuration as conffiles.
if cpack -G DEB --config "$build/CPackConfig.cmake" -B "$root/pkg" >"$root/cpack.log" 2>&1; then
  deb=$(ls "$root"/pkg/zelta-logo_*.deb)
  # Every file and link of the installed tree, no more.
  packaged=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
  [ "$packaged" = "$(cd "$root" && find ./usr ./etc ! -type d | sort)" ] || fail "package and installed tree differ"
  # grep reads all of its input: one that stops early fails the writer under pipefail.
  dpkg-deb -I "$deb" conffiles | grep -x /etc/zelta/zelta-server.conf >/dev/null || fail "configuration not a conffile"
  dpkg-deb -f "$deb" Depends | grep libqt6widgets6 >/dev/null || fail "package without its library dependencies"
  dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/system/zelta-server.service |
    grep -x 'ExecStart=/usr/bin/zelta-server --config /etc/zelta/zelta-server.conf' >/dev/null ||
    fail "packaged unit's paths"
else
  fail "cpack -G DEB: $(tail -5 "$root/cpack.log")"
fi

[ "$failures" -eq 0 ] && echo "installation: all checks passed"
exit "$failures"
