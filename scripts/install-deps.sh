#!/usr/bin/env bash
# Installs the Debian packages the game needs to build, run and test, and only those that are missing.
# Usage: scripts/install-deps.sh [--tools|--package]
#   --tools    adds what the data generators in tools/ need
#   --package  adds what building the Debian package and its test need
set -euo pipefail

# Build (g++ and Qt), tests and benchmarks, and the fuzz build (clang with libFuzzer).
packages=(
  cmake ninja-build g++ qt6-base-dev qt6-multimedia-dev fonts-liberation
  libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  iproute2  # the tests that build networks of namespaces (as root)
  nftables  # the home router that masquerades in the relay test
  # The speech service's client library, for the events said aloud.
  libspeechd-dev pkgconf
)
if [[ "${1:-}" == "--tools" ]]; then
  # The word lists (scowl, node) and the sounds (espeak-ng, sox); xvfb, imagemagick and
  # xdotool to look at the windows and click them on a machine without a screen.
  packages+=(scowl nodejs npm espeak-ng sox xvfb xauth imagemagick xdotool)
fi
if [[ "${1:-}" == "--package" ]]; then
  # CPack's dependency search (dpkg-shlibdeps, file); Debian's checks of a package; and what
  # tests/package uses to run the installed programs: Xvfb, a new user, namespaces.
  packages+=(dpkg-dev file lintian appstream desktop-file-utils man-db systemd
             xvfb xauth passwd util-linux iproute2 python3)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
