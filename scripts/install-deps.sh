#!/usr/bin/env bash
# Installs what is missing on Debian 12: the build dependencies that debian/control lists, with
# the ones of the test suite (what `apt-get build-dep ./` installs), then the packages named as
# arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=""
apt_get() {
  if [ -z "$updated" ]; then
    $sudo apt-get update -qq
    updated=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -y -qq --no-install-recommends "$@"
}

if ! command -v dpkg-checkbuilddeps >/dev/null || ! dpkg-checkbuilddeps >/dev/null 2>&1; then
  apt_get build-dep ./
fi
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] || apt_get install "${missing[@]}"
