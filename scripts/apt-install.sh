#!/bin/sh
# Installs those of the given Debian packages that are missing; does nothing when all are there.
# Usage: scripts/apt-install.sh PACKAGE...
set -eu
missing=""
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  echo "installing:$missing"
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
