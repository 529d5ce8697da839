#!/bin/sh
# Installs the Debian packages listed in scripts/packages.txt that are missing.
# Quick and silent when everything is present; runs apt-get update first otherwise.
set -eu
here=$(dirname "$0")
missing=""
for pkg in $(grep -v '^\s*#' "$here/packages.txt"); do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $pkg" ;;
    esac
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing
