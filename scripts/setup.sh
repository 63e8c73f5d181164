#!/bin/bash
# Installs everything plugkit needs on a fresh Debian 12 machine (as root):
# the packages listed in scripts/packages/*.txt, from Debian's archive only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh installs Debian packages: run it as root" >&2
  exit 1
fi
packages=$(cat "$root"/scripts/packages/*.txt | sed 's/#.*//' | tr -s ' \t\n' '\n' | sort -u | tr '\n' ' ')
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $packages
