#!/usr/bin/env bash
# Installs what building and testing Tamberlo needs on Debian 12: the native
# toolchain, GoogleTest and Google Benchmark sources, the i686 and x86_64
# mingw-w64 cross compilers and tools, 32- and 64-bit Wine, NSIS and zip for
# the Windows packages, the libraries of the command (CLI11, nlohmann-json, RE2; for the
# Windows builds RE2's Debian source package, through a deb-src entry, and
# what scripts/build-re2-mingw.sh makes its Unicode tables from),
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
  libre2-dev unicode-data python3 python3-six perl
  clang libclang-rt-14-dev
  util-linux procps
  slurm-wlm munge
  rpm dpkg-dev lintian man-db file mmdebstrap gpg debian-archive-keyring
  libxml2-utils chromium
)

# apt-get source re2 (scripts/build-re2-mingw.sh) needs the sources of the
# suites the machine installs from.
sources_entry=/etc/apt/sources.list.d/tamberlo-deb-src.sources
need_sources=false
apt-cache showsrc re2 2>/dev/null | grep -q '^Package: re2' || need_sources=true

missing=()
for package in "${packages[@]}"; do
  # wine32 and libwine:i386 come from the i386 architecture.
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && ! $need_sources && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if $need_sources; then
  echo "install-deps: adding $sources_entry" >&2
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm bookworm-updates' \
    'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $sudo tee "$sources_entry" >/dev/null
fi
if [ ${#missing[@]} -eq 0 ]; then
  $sudo apt-get update -q
  exit 0
fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
