#!/usr/bin/env bash
# Installs what building and testing Tamberlo needs on Debian 12, by what is
# to be done:
#   install-deps.sh native   the native build of the command and the SAS
#                            stand-in: the compiler, CMake, Ninja and the
#                            command's libraries (CLI11, nlohmann-json, RE2),
#                            and OpenSSH's client and server (remote runs
#                            go through ssh; their tests start an sshd)
#   install-deps.sh wine     that, the i686 and x86_64 mingw-w64 cross
#                            compilers and tools, 32- and 64-bit Wine, and RE2's Debian
#                            source package (through a deb-src entry) with
#                            what scripts/build-re2-mingw.sh makes its
#                            Unicode tables from
#   install-deps.sh          everything the tests need besides: GoogleTest and
#                            Google Benchmark sources, NSIS and zip for the
#                            Windows packages, clang's runtime for the fuzzers,
#                            Slurm with munge for the cluster test, what makes
#                            and checks the Linux packages (rpm, dpkg-dev,
#                            lintian, man-db, file), the minimal Debian root
#                            the .deb is installed into (mmdebstrap), and
#                            xmllint, Python's jsonschema (with URI formats)
#                            and headless Chromium, which check the batch
#                            reports as their readers read them.
# Quick when all of it is there already: it only looks.
set -euo pipefail

native=(cmake ninja-build g++ make libcli11-dev nlohmann-json3-dev libre2-dev openssh-client openssh-server)
wine=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine32 wine64 libwine-dev
  unicode-data python3 python3-six perl dpkg-dev)
tests=(
  git googletest libbenchmark-dev
  nsis zip unzip
  clang libclang-rt-14-dev
  util-linux procps
  slurm-wlm munge
  rpm dpkg-dev lintian man-db file mmdebstrap gpg debian-archive-keyring
  libxml2-utils python3-jsonschema python3-rfc3987 chromium clang-format
)
case "${1:-all}" in
  native) packages=("${native[@]}") ;;
  wine) packages=("${native[@]}" "${wine[@]}") ;;
  all) packages=("${native[@]}" "${wine[@]}" "${tests[@]}") ;;
  *) echo "usage: install-deps.sh [native|wine]" >&2; exit 64 ;;
esac

# apt-get source re2 (scripts/build-re2-mingw.sh) needs the sources of the
# suites the machine installs from.
sources_entry=/etc/apt/sources.list.d/tamberlo-deb-src.sources
need_sources=false
[ "${1:-all}" = native ] ||
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
# A mirror in the middle of a sync serves an index of the wrong size for a
# while: try again, then go on with the lists that did come. When one of them
# is missing (say the security suite's i386 list), the two architectures'
# newest versions of a library differ, and Wine's i386 half cannot match its
# amd64 half: the release's own suite is then preferred, which both have whole.
release=()
apt_update() {
  local try
  for try in 1 2 3; do
    $sudo apt-get update -q && return 0
    echo "install-deps: apt-get update failed (try $try of 3)" >&2
    [ $try -eq 3 ] || sleep $((try * 20))
  done
  echo "install-deps: going on with the package lists that were fetched, preferring bookworm's own" >&2
  release=(-t bookworm)
}
if [ ${#missing[@]} -eq 0 ]; then
  apt_update
  exit 0
fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# Only Wine needs the i386 architecture (wine32 and libwine:i386).
if [[ " ${missing[*]} " == *" wine32 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
apt_update
$sudo apt-get install -y -q --no-install-recommends "${release[@]}" "${missing[@]}"
