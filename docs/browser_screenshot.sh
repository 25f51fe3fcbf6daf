#!/usr/bin/env bash
# Takes docs/browser.png: the browser window of the Logo program under Xvfb, in main-server mode, with
# two zelta-servers (this computer's with three virtual printers and a net printer, and a second one)
# and the tree's context menu open on a printer.
#   docs/browser_screenshot.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../build}" && pwd)/bin
work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
p1=$(free_port); p2=$(free_port); pm=$(free_port); pe=$(free_port)
"$bin/zelta-printer-emu" --model 46 --listen "127.0.0.1:$pe" > /dev/null & pids+=($!)
cat > "$work/s1.conf" <<CONF
port = $p1
announce = no
printer = Receipt, emu:46
printer = Kitchen, emu:36
printer = Slip, emu:161, escq
net_printer = Bar, 127.0.0.1, $pe
CONF
printf 'port = %s\nannounce = no\nprinter = Counter, emu:32\n' "$p2" > "$work/s2.conf"
printf '%s\nlocalhost:%s\n' "$(hostname -s)" "$p2" > "$work/servers.txt"
printf 'port = %s\nannounce = no\nserver_name = BACKOFFICE\nmain_server = yes\nserver_list = %s\n' \
  "$pm" "$work/servers.txt" > "$work/main.conf"
for c in s1 s2 main; do "$bin/zelta-server" --config "$work/$c.conf" > /dev/null & pids+=($!); done
cat > "$work/registry" <<REG
[SOFTWARE\\Zelta]
InstallationType=NETWORK
MainServer=localhost:$pm
[SOFTWARE\\Zelta\\Remote]
ServerPort=$p1
REG
sleep 1

cat > "$work/shot.sh" <<'SHOT'
"$BIN/Logo" & logo=$!
sleep 3
# A click and a right click on the printer Receipt (the window is centred on the 800 x 600 screen)
# open the tree's context menu on it.
python3 - <<'PY'
import ctypes, time
x = ctypes.cdll.LoadLibrary("libX11.so.6"); t = ctypes.cdll.LoadLibrary("libXtst.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
d = ctypes.c_void_p(x.XOpenDisplay(None))
def click(px, py, button):
    t.XTestFakeMotionEvent(d, 0, px, py, 0); x.XFlush(d); time.sleep(0.2)
    t.XTestFakeButtonEvent(d, button, 1, 0); x.XFlush(d); time.sleep(0.1)
    t.XTestFakeButtonEvent(d, button, 0, 0); x.XFlush(d); time.sleep(0.5)
click(300, 178, 1)
click(300, 178, 3)
PY
import -window root "$OUT"
kill $logo
SHOT
ZELTA_REGISTRY="$work/registry" XDG_RUNTIME_DIR="$work" USERDOMAIN=SHOPNET BIN="$bin" OUT="$work/root.png" \
  xvfb-run -a -s "-screen 0 800x600x24" bash "$work/shot.sh"
convert "$work/root.png" -trim +repage "$here/browser.png"
echo "wrote $here/browser.png"
