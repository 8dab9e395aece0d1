#!/usr/bin/env bash
# Builds RE2 as a static library for Windows with a mingw-w64 cross compiler,
# from Debian's source package of the release the native build links
# (libre2-dev), so that both builds accept the same pattern syntax.
#
#   bash scripts/build-re2-mingw.sh COMPILER OUT
#
# COMPILER is the cross C++ compiler (i686-w64-mingw32-g++-posix), OUT the
# folder that gets include/re2/*.h and lib/libre2.a. Done once: a finished
# OUT whose stamp names the same source version is left as it is.
#
# The +dfsg source leaves out the generated Unicode tables; they are made
# again, as Debian's own build makes them, by the scripts in re2/ from the
# unicode-data package (the source's debian-unicode-data patch points them
# there). Needs a deb-src entry for apt-get source (scripts/install-deps.sh
# adds one), perl, python3 with six, and unicode-data.
set -euo pipefail

compiler=$1
mkdir -p "$2"
out=$(cd "$2" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sources="$root/build/re2-source"
mkdir -p "$sources"

# The win32 and win64 configures may run at once: one fetches the source.
exec 9>"$sources/.lock"
flock 9

version=$(apt-cache showsrc re2 | sed -n 's/^Version: //p' | sort -V | tail -n 1)
if [ -z "$version" ]; then
  echo "build-re2-mingw: apt-cache showsrc re2 finds no source package: add a deb-src entry (scripts/install-deps.sh)" >&2
  exit 1
fi
stamp="$version $(basename "$compiler")"
if [ -f "$out/lib/libre2.a" ] && [ "$(cat "$out/stamp" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi

tree="$sources/$version"
if [ ! -f "$tree/.tables-made" ]; then
  rm -rf "$tree"
  mkdir -p "$tree"
  (cd "$tree" && apt-get source -q "re2=$version" >/dev/null 2>&1) || {
    echo "build-re2-mingw: apt-get source re2=$version failed" >&2
    exit 1
  }
  src=$(find "$tree" -mindepth 1 -maxdepth 1 -type d -name 're2-*' | head -n 1)
  (cd "$src" &&
    perl re2/make_perl_groups.pl >re2/perl_groups.cc &&
    python3 re2/make_unicode_casefold.py >re2/unicode_casefold.cc &&
    python3 re2/make_unicode_groups.py >re2/unicode_groups.cc)
  touch "$tree/.tables-made"
fi
src=$(find "$tree" -mindepth 1 -maxdepth 1 -type d -name 're2-*' | head -n 1)

objects="$out/obj"
rm -rf "$objects" "$out/lib" "$out/include" "$out/stamp"
mkdir -p "$objects" "$out/lib" "$out/include/re2"
units=(bitstate compile dfa filtered_re2 mimics_pcre nfa onepass parse perl_groups prefilter prefilter_tree
       prog re2 regexp set simplify stringpiece tostring unicode_casefold unicode_groups)
{
  for unit in "${units[@]}"; do echo "re2/$unit.cc"; done
  echo util/rune.cc
  echo util/strutil.cc
} | (cd "$src" && xargs -P 2 -I{} sh -c \
  'o="$2/$(echo "$1" | tr / _).o"; "$0" -std=c++17 -O2 -DNDEBUG -I. -c "$1" -o "$o"' "$compiler" {} "$objects")

archiver=${compiler%-g++*}-ar
"$archiver" rcs "$out/lib/libre2.a" "$objects"/*.o
rm -rf "$objects"
cp "$src"/re2/{re2.h,set.h,stringpiece.h,filtered_re2.h} "$out/include/re2/"
cp "$src/LICENSE" "$out/LICENSE"
echo "$stamp" >"$out/stamp"
