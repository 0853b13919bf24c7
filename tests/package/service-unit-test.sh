#!/usr/bin/env bash
# systemd-analyze verify on the recorder service template as an instance. systemd only warns
# about a directive it does not know, so anything it says fails the check; a copy with a
# misspelt directive must be caught, which shows the check sees such faults here.
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
