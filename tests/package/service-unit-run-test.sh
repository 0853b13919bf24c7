#!/usr/bin/env bash
# The recorder unit, sandbox and all, records from an emulated controller on a pseudo-terminal
# and publishes to a broker with the password it takes as its credential. Needs root on a machine whose init is
# systemd; anywhere else it says so and is skipped (the unit is then only verified and rated
# by service-unit-test.sh).
#   service-unit-run-test.sh UNIT-TEMPLATE TERVO-CLI QT570-EMU
set -uo pipefail
template=$1
cli=$2
emu=$3

state=$(systemctl is-system-running 2>/dev/null)
if [ "$(id -u)" -ne 0 ] || [ "$(ps -p 1 -o comm= 2>/dev/null)" != systemd ] ||
   { [ "$state" != running ] && [ "$state" != degraded ]; }; then
  echo "systemd is not this machine's init, or this is not root: the unit is not run here"
  exit 77
fi
if ! command -v mosquitto >/dev/null || ! command -v mosquitto_sub >/dev/null; then
  echo "mosquitto and mosquitto_sub are not installed (scripts/bootstrap installs them): the unit is not run here"
  exit 77
fi

name=tervo-record-test$$
instance=unit$$
scratch=$(mktemp -d -p /run tervo-unit-test.XXXXXX)
emu_pid=
broker_pid=
cleanup() {
  systemctl stop "$name@$instance.service" 2>/dev/null
  rm -f "/run/systemd/system/$name@.service"
  systemctl daemon-reload
  for p in $emu_pid $broker_pid; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
  rm -rf "$scratch" "/var/lib/private/tervo/$instance" "/var/lib/tervo/$instance"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; journalctl -u "$name@$instance.service" --no-pager -n 30; exit 1; }
chmod 755 "$scratch"
install -m 755 "$cli" "$scratch/tervo-cli"

# One channel, PV of controller 0 on COM1, sampled every second.
python3 - "$scratch/w.awt" <<'PY'
import struct, sys
head = "Quorvex5工作模板".encode("gbk") + struct.pack("<ddii", 0.0, 100.0, 1, 360)
head += struct.pack("<5I", 0xFFFFD1, 0xC6C8FF, 0x8C8AFF, 0xFFC8C6, 0xFF9C9F)
head += b"".join(struct.pack("<Ii", 0x0000FF, 0) for _ in range(20))
channel = b"pv".ljust(12, b"\0") + struct.pack("<iBBB", 0, 0, 5, 0) + b"\0" * 5 + \
    struct.pack("<dd", 1.0, 0.0) + b"\0" * 56
open(sys.argv[1], "wb").write(head + struct.pack("<II", 1, 0) + channel)
PY
"$emu" --link "$scratch/com1" --addresses 0-3 >"$scratch/emu.out" 2>&1 &
emu_pid=$!
for _ in $(seq 50); do grep -q 'qt570-emu: controllers' "$scratch/emu.out" && break; sleep 0.1; done
[ -e "$scratch/com1" ] || fail "the emulator did not start"
chmod 666 "$(readlink -f "$scratch/com1")"
# A broker that wants a password, which the unit hands the recorder as its credential.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mosquitto_passwd -b -c "$scratch/passwords" op unit-secret || fail "mosquitto_passwd"
printf 'user root\nlistener %s 127.0.0.1\nallow_anonymous false\npassword_file %s\n' \
  "$port" "$scratch/passwords" >"$scratch/broker.conf"
mosquitto -c "$scratch/broker.conf" >"$scratch/broker.out" 2>&1 &
broker_pid=$!
mosquitto_sub -h 127.0.0.1 -p "$port" -u op -P unit-secret -t 'tervo/+/+/pv' -C 1 -W 60 \
  >"$scratch/heard" 2>&1 &
sub_pid=$!
printf 'TERVO_COM1=%s\nTERVO_RECORD_OPTIONS=--mqtt mqtt://op@127.0.0.1:%s\n' \
  "$scratch/com1" "$port" >"$scratch/$instance.env"
printf 'unit-secret\n' >"$scratch/$instance.mqtt-password"
chmod 600 "$scratch/$instance.env" "$scratch/$instance.mqtt-password"

sed -e "s|/usr/bin/tervo-cli|$scratch/tervo-cli|" -e "s|/etc/tervo/|$scratch/|g" \
  "$template" >"/run/systemd/system/$name@.service"
systemctl daemon-reload
systemctl start "$name@$instance.service" || fail "the unit did not start"
rows=0
for _ in $(seq 60); do
  file=$(ls /var/lib/tervo/"$instance"/T*.alt 2>/dev/null | head -1)
  if [ -n "$file" ]; then
    rows=$("$cli" dump "$file" 2>/dev/null | sed -n 's/^记录 \([0-9]*\) 行$/\1/p')
    [ "${rows:-0}" -ge 2 ] && break
  fi
  sleep 0.5
done
[ "${rows:-0}" -ge 2 ] || fail "the unit recorded ${rows:-no} rows in 30 s"
pid=$(systemctl show -p MainPID --value "$name@$instance.service")
if tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q unit-secret; then
  fail "the password shows in the recorder's command line"
fi
wait "$sub_pid"
grep -q '"value"' "$scratch/heard" || fail "nothing reached the broker: $(cat "$scratch/heard")"
echo "ok: the unit recorded $rows rows from a pseudo-terminal in its sandbox and published them"
echo "with the password it was given as a credential"
