#!/usr/bin/env bash
# The three Linux packages as Debian and RPM check them: lintian finds no
# error in the .deb; the .deb, the .rpm and the tarball hold exactly the same
# files (the stand-in in none), the binary stripped, the man page gzipped;
# the tarball works from wherever it is unpacked;
# the dependencies were computed from the binary (dpkg-shlibdeps, rpm's
# automatic requirements).
#   package-check-test.sh <version> <build folder>
set -euo pipefail
version=$1 build=$2
deb=$build/tamberlo_${version}_amd64.deb
rpm=$build/tamberlo-${version}-1.x86_64.rpm
tgz=$build/tamberlo-${version}-linux-x86_64.tar.gz
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
for package in "$deb" "$rpm" "$tgz"; do
  [ -f "$package" ] || { echo "FAIL: $package was not made" >&2; exit 1; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
lintian "$deb" >"$scratch/lintian" 2>&1 || fail "lintian exited with $?"
lintian_output=$(grep -v 'running with root privileges' "$scratch/lintian" || true)
grep -E '^E: ' <<<"$lintian_output" >&2 && fail "lintian reports errors"
echo "lintian: ${lintian_output:-no error, no warning}"

expected='/usr/bin/tamberlo
/usr/libexec/tamberlo/tamberlo-guard
/usr/share/bash-completion/completions/tamberlo
/usr/share/doc/tamberlo/changelog.gz
/usr/share/doc/tamberlo/copyright
/usr/share/doc/tamberlo/examples/slurm/tamberlo-array.sbatch
/usr/share/man/man1/tamberlo.1.gz'
deb_files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' | sort)
rpm_files=$(rpm -qp --qf '[%{FILENAMES} %{FILEMODES:perms}\n]' "$rpm" | grep -v ' d' | cut -d' ' -f1 | sort)
tgz_files=$(tar -tzf "$tgz" | grep -v '/$' | sed "s|^tamberlo-${version}-linux-x86_64/|/usr/|" | sort)
for form in deb rpm tgz; do
  files=${form}_files
  diff -u <(echo "$expected") <(echo "${!files}") >&2 || fail "the .$form holds other files"
done

dpkg-deb -x "$deb" "$scratch"
file "$scratch/usr/bin/tamberlo" | grep -q ', stripped' || fail "/usr/bin/tamberlo is not stripped"
[ "$("$scratch/usr/bin/tamberlo" --version)" = "tamberlo $version" ] || fail "the packaged tamberlo --version is not $version"
gzip -t "$scratch/usr/share/man/man1/tamberlo.1.gz" || fail "the man page is not gzipped"
warnings=$(zcat "$scratch/usr/share/man/man1/tamberlo.1.gz" | LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l - 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man warns: $warnings"

# The tarball unpacked anywhere: its bin/ on PATH is all it takes, man included.
mkdir "$scratch/shared"
tar -xzf "$tgz" -C "$scratch/shared"
bin=$scratch/shared/tamberlo-${version}-linux-x86_64/bin
[ "$(PATH=$bin:$PATH tamberlo --version)" = "tamberlo $version" ] || fail "the tarball's tamberlo is not found on PATH"
[ "$(PATH=$bin:$PATH man -w tamberlo)" = "${bin%/bin}/share/man/man1/tamberlo.1.gz" ] || fail "man does not find the tarball's page"

depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *"libc6 (>= "*"libstdc++6 (>= "* ]] || fail "the .deb depends on [$depends], not on the computed libraries"
requires=$(rpm -qpR "$rpm")
for library in 'libc.so.6()(64bit)' 'libstdc++.so.6()(64bit)' 'libgcc_s.so.1()(64bit)'; do
  grep -qxF "$library" <<<"$requires" || fail "the .rpm does not require $library"
done
rpm -qpi "$rpm" | grep -qE '^Version *: '"$version"'$' || fail "the .rpm's version is not $version"

[ "$failed" = 0 ] && echo "PASS: lintian, rpm and the tarball agree on the packages of tamberlo $version"
exit "$failed"
