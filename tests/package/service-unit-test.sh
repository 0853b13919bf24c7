#!/usr/bin/env bash
# systemd-analyze verify on the recorder service template as an instance. systemd only warns
# about a directive it does not know, so anything it says fails the check; a copy with a
# misspelt directive must be caught, which shows the check sees such faults here. Then its
# sandbox: `systemd-analyze security` must rate it at most 2.5 ("OK"), and a copy without its
# sandbox must rate worse, which shows the rating is read right.
#   service-unit-test.sh UNIT-TEMPLATE
set -uo pipefail
template=$1

if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze is not installed (Debian's systemd package): the recorder unit is not verified"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Prints what systemd-analyze says about DIR/tervo-record@demo.service; true when it is silent.
# The manual page named in Documentation= is not installed where the tests run.
verify() {
  local said
  said=$(cd "$1" && systemd-analyze verify --man=no ./tervo-record@demo.service 2>&1)
  local status=$?
  printf '%s' "$said"
  [ "$status" -eq 0 ] && [ -z "$said" ]
}

mkdir "$scratch/unit" "$scratch/typo"
cp "$template" "$scratch/unit/tervo-record@demo.service"
sed 's/^Restart=/Restrat=/' "$template" >"$scratch/typo/tervo-record@demo.service"
if ! grep -q '^Restrat=' "$scratch/typo/tervo-record@demo.service"; then
  echo "FAIL: the unit has no Restart= line to misspell"
  exit 1
fi

if ! verify "$scratch/unit"; then
  echo
  echo "FAIL: systemd-analyze finds fault with $template"
  exit 1
fi
said=$(verify "$scratch/typo")
if [ -z "$said" ]; then
  echo "FAIL: systemd-analyze let a misspelt directive pass; the check means nothing here"
  exit 1
fi
echo "ok: $template verifies as tervo-record@demo.service (a misspelt copy said: $said)"

# The overall exposure of DIR/tervo-record@demo.service, as "7.9"; empty when it cannot be had.
exposure() {
  (cd "$1" && systemd-analyze security --offline=true --man=no ./tervo-record@demo.service 2>/dev/null) |
    sed -n 's/.*Overall exposure level for tervo-record@demo.service: \([0-9.]*\) .*/\1/p'
}
mkdir "$scratch/bare"
sed '/^DynamicUser=/,/^RestrictAddressFamilies=/d' "$template" >"$scratch/bare/tervo-record@demo.service"
score=$(exposure "$scratch/unit")
bare=$(exposure "$scratch/bare")
if [ -z "$score" ] || [ -z "$bare" ]; then
  echo "this systemd-analyze cannot rate a unit file offline (systemd 250 or later can): the sandbox is not scored"
  exit 77
fi
if ! awk -v s="$score" -v b="$bare" 'BEGIN { exit !(s <= 2.5 && b > 2.5) }'; then
  echo "FAIL: systemd-analyze security rates the unit $score (at most 2.5 wanted; without its sandbox $bare)"
  (cd "$scratch/unit" && systemd-analyze security --offline=true --man=no ./tervo-record@demo.service | grep '✗')
  exit 1
fi
echo "ok: systemd-analyze security rates the unit $score (without its sandbox $bare)"
