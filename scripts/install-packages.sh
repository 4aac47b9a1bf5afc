#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are not installed yet. Does
# nothing (and needs no network) when all of them are there; otherwise one quiet
# apt-get update and install, through sudo when not run as root.
set -euo pipefail

list="$(dirname "${BASH_SOURCE[0]}")/packages.txt"
mapfile -t wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$list" | grep -v '^$')

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  echo "all ${#wanted[@]} packages installed"
  exit 0
fi

echo "installing: ${missing[*]}"
sudo=()
if ((EUID != 0)); then
  if ! command -v sudo >/dev/null; then
    echo "install-packages: missing packages (${missing[*]}) and no sudo to install them as $(id -un)" >&2
    exit 1
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
echo "installed ${#missing[@]} packages"
