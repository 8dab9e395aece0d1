#!/usr/bin/env bash
# Installs what building and testing Tamberlo needs on Debian 12: the native
# toolchain, GoogleTest and Google Benchmark sources, the i686 and x86_64
# mingw-w64 cross compilers and tools, 32- and 64-bit Wine, NSIS and zip for
# the Windows packages, the libraries of the command (CLI11, nlohmann-json),
# clang's runtime for the fuzzers, Slurm with munge for the cluster test,
# what makes and checks the Linux packages (rpm, dpkg-dev, lintian, man-db, file),
# the minimal Debian root the .deb is installed into (mmdebstrap), and
# xmllint and headless Chromium, which check the batch reports as their
# readers read them.
# Quick when all of it is there already: it only looks.
set -euo pipefail

packages=(
  cmake ninja-build g++ make git
  googletest libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
  wine wine32 wine64 libwine-dev
  nsis zip unzip
  libcli11-dev nlohmann-json3-dev
  clang libclang-rt-14-dev
  util-linux procps
  slurm-wlm munge
  rpm dpkg-dev lintian man-db file mmdebstrap gpg debian-archive-keyring
  libxml2-utils chromium
)

missing=()
for package in "${packages[@]}"; do
  # wine32 and libwine:i386 come from the i386 architecture.
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
