#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are not installed yet. Does
# nothing (and needs no network) when all of them are there; otherwise one quiet
# apt-get update and install, through sudo when not run as root.
#
#   scripts/install-packages.sh           the project's packages
#   scripts/install-packages.sh --wine32  32-bit Wine (wine32:i386) beside them, for running
#                                         the shipped 32-bit programs: adds the i386
#                                         architecture and installs it only when apt would
#                                         remove no package for it. Exit status 3, with the
#                                         reason on stderr, when it cannot be had.
set -euo pipefail

sudo=()
as_root() {
  if ((EUID != 0)) && ((${#sudo[@]} == 0)); then
    if ! command -v sudo >/dev/null; then
      echo "install-packages: $1 needs root, and there is no sudo to get it as $(id -un)" >&2
      exit 1
    fi
    sudo=(sudo)
  fi
}

installed() {
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true) == "install ok installed" ]]
}

apt() {
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"
}

install_wine32() {
  if installed wine32:i386; then
    echo "wine32:i386 installed"
    return 0
  fi
  as_root "installing wine32:i386"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
    echo "added the i386 architecture"
  fi
  apt update -qq
  local plan
  if ! plan=$(apt install -s -y wine32:i386 2>&1); then
    echo "apt cannot install wine32:i386: $(grep -E '^E:' <<<"$plan" | head -n 3 | tr '\n' ' ')" >&2
    exit 3
  fi
  local removed
  removed=$(sed -n 's/^Remv \([^ ]*\).*/\1/p' <<<"$plan" | head -n 10 | tr '\n' ' ')
  if [[ -n $removed ]]; then
    echo "installing wine32:i386 would remove packages (${removed% }); not installed" >&2
    exit 3
  fi
  echo "installing wine32:i386 ($(grep -E '^[0-9]+ upgraded' <<<"$plan"))"
  if ! apt install -y -qq wine32:i386; then
    echo "apt-get install wine32:i386 failed" >&2
    exit 3
  fi
  installed wine32:i386 || { echo "wine32:i386 is not installed after apt-get install" >&2; exit 3; }
  echo "installed wine32:i386"
}

if [[ ${1:-} == --wine32 ]]; then
  install_wine32
  exit 0
fi

list="$(dirname "${BASH_SOURCE[0]}")/packages.txt"
mapfile -t wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$list" | grep -v '^$')

missing=()
for package in "${wanted[@]}"; do
  installed "$package" || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  echo "all ${#wanted[@]} packages installed"
  exit 0
fi

echo "installing: ${missing[*]}"
as_root "installing ${missing[*]}"
apt update -qq
apt install -y -qq "${missing[@]}"
echo "installed ${#missing[@]} packages"
