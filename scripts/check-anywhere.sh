#!/usr/bin/env bash
# Runs `make test` the ways a new user might: in a clone only root can enter,
# twice in a row there, as an unprivileged user in a clone under that user's
# home, and with another time zone and locale. One line per case, and the
# exit status says whether every case passed.
#
#   sudo bash scripts/check-anywhere.sh [REF]     (REF defaults to HEAD)
#
# The clones hold what is committed at REF, not the working tree. The logs
# stay in the printed folder when a case fails.
set -uo pipefail

SRC="$(cd "$(dirname "$0")/.." && pwd)"
REF="${1:-HEAD}"
CHECK_USER="${CHECK_USER:-varnet-check}"
ZH_LOCALE="zh_CN.UTF-8"

if [ "$(id -u)" -ne 0 ]; then
  echo "check-anywhere: run as root (it acts as root and as an unprivileged user)" >&2
  exit 2
fi

bash "$SRC/scripts/install-deps.sh" || { echo "check-anywhere: install-deps failed" >&2; exit 2; }

# The Chinese locale, generated and proved to be in force (glibc falls back
# to C without a word when it is missing).
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  if ! dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q 'install ok installed'; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends locales >/dev/null
  fi
  if [ -f /etc/locale.gen ] && ! grep -q "^$ZH_LOCALE UTF-8" /etc/locale.gen; then
    echo "$ZH_LOCALE UTF-8" >>/etc/locale.gen
  fi
  locale-gen "$ZH_LOCALE" >/dev/null 2>&1 || locale-gen >/dev/null
fi
in_force="$(LANG=$ZH_LOCALE LC_ALL=$ZH_LOCALE locale 2>&1 | grep -c 'Cannot set')"
if [ "$in_force" -ne 0 ] || [ "$(LC_ALL=$ZH_LOCALE locale charmap 2>/dev/null)" != "UTF-8" ]; then
  echo "check-anywhere: the locale $ZH_LOCALE could not be put in force" >&2
  exit 2
fi

WORK="$(mktemp -d /tmp/varnet-anywhere-XXXXXX)"   # mode 700: only root enters
LOGS="$WORK/logs"
mkdir -p "$LOGS"
failed=0

report() {  # name, status, log, seconds
  local summary
  summary="$(grep -E 'tests passed|tests failed' "$3" | tail -1)"
  if [ "$2" -eq 0 ]; then
    printf 'PASS  %-52s %5ss  %s\n' "$1" "$4" "$summary"
  else
    printf 'FAIL  %-52s %5ss  %s (log: %s)\n' "$1" "$4" "${summary:-make test failed}" "$3"
    failed=1
  fi
}

run_case() {  # name, log name, command...
  local name="$1" log="$LOGS/$2.log"
  shift 2
  local start=$SECONDS
  "$@" >"$log" 2>&1
  report "$name" $? "$log" $((SECONDS - start))
}

git clone -q "$SRC" "$WORK/clone" && git -C "$WORK/clone" checkout -q "$REF" || {
  echo "check-anywhere: cannot clone $SRC at $REF" >&2
  exit 2
}

run_case "root, private clone, TZ=UTC LANG=C.UTF-8" root-1 \
  env TZ=UTC LANG=C.UTF-8 LC_ALL= make -C "$WORK/clone" test
run_case "root, the same clone again" root-2 \
  env TZ=UTC LANG=C.UTF-8 LC_ALL= make -C "$WORK/clone" test
run_case "root, TZ=Asia/Shanghai LANG=$ZH_LOCALE" root-zh \
  env TZ=Asia/Shanghai LANG=$ZH_LOCALE LC_ALL= make -C "$WORK/clone" test

# An unprivileged user with a clone of its own under its home.
if ! id "$CHECK_USER" >/dev/null 2>&1; then
  useradd --create-home --shell /bin/bash "$CHECK_USER"
fi
USER_HOME="$(getent passwd "$CHECK_USER" | cut -d: -f6)"
USER_CLONE="$USER_HOME/varnet-anywhere"
rm -rf "$USER_CLONE"
git clone -q "$WORK/clone" "$USER_CLONE" && git -C "$USER_CLONE" checkout -q "$REF"
chown -R "$CHECK_USER": "$USER_CLONE"
chmod 700 "$USER_HOME"
run_case "user $CHECK_USER, clone in its home, TZ=Asia/Shanghai" user \
  setpriv --reuid="$CHECK_USER" --regid="$(id -g "$CHECK_USER")" --init-groups \
  env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$USER_HOME" USER="$CHECK_USER" \
  TZ=Asia/Shanghai LANG=$ZH_LOCALE make -C "$USER_CLONE" test

if [ "$failed" -eq 0 ]; then
  rm -rf "$WORK" "$USER_CLONE"
else
  echo "logs kept in $LOGS"
fi
exit "$failed"
