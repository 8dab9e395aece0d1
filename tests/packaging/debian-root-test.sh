#!/usr/bin/env bash
# The .deb installed for real in a fresh minimal Debian 12 root, as a user
# installs it: apt-get installs it with its dependencies, then tamberlo
# --version gives the package's version, man finds the page, a program runs
# against the stand-in copied into the root, tamberlo batch runs two; apt-get
# purge then leaves the root's files as they were before the install.
# The root (mmdebstrap's apt variant with man-db, from the mirror this
# machine's apt uses) is made once and kept in <cache> as a tarball; each run
# unpacks a fresh copy. A root that cannot be made fails the test.
# Commands enter the root as far as the machine allows:
#   namespace  each in a mount namespace of its own with its /proc (needs
#              CAP_SYS_ADMIN and a / that is a mount point, which a root
#              made by debootstrap is not);
#   mount      /proc mounted in the root for the test's time (CAP_SYS_ADMIN);
#   chroot     a plain chroot as root, without /proc (a default container):
#              mmdebstrap then mounts nothing either (--skip=chroot/mount).
# A machine that allows none of them fails the test with one line saying
# what is missing.
#   debian-root-test.sh <tamberlo_*.deb> <folder with sas and sasv9.cfg> <cache folder>
set -euo pipefail
deb=$1 sasroot=$2 cache=$3
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
[ "$(id -u)" = 0 ] || { echo "FAIL: making and entering a Debian root needs root" >&2; exit 1; }
command -v mmdebstrap >/dev/null || { echo "FAIL: making a Debian root needs mmdebstrap, which is not installed" >&2; exit 1; }
chroot / true 2>/dev/null || { echo "FAIL: entering a Debian root needs chroot (CAP_SYS_CHROOT), which this machine refuses" >&2; exit 1; }
[ -f "$deb" ] || { echo "FAIL: $deb was not made" >&2; exit 1; }
version=$(dpkg-deb -f "$deb" Version)

has_sys_admin() {
  local effective
  effective=$(awk '/^CapEff:/ { print $2 }' /proc/self/status 2>/dev/null) || return 1
  [ -n "$effective" ] && (( (16#$effective >> 21) & 1 ))
}
mounts=()
if unshare --mount --propagation private true 2>/dev/null; then
  form=namespace
elif has_sys_admin; then
  form=mount
else
  form=chroot mounts=(--skip=chroot/mount)
fi
echo "entering the Debian root by $form"

base=$cache/bookworm-apt-man-db.tar
if [ ! -s "$base" ]; then
  mirror=$(awk '/^(URIs:|deb) / { for (i = 2; i <= NF; i++) if ($i ~ /^https?:/) { print $i; exit } }' \
             /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null || true)
  mkdir -p "$cache"
  echo "making the Debian root from ${mirror:=http://deb.debian.org/debian}"
  if ! mmdebstrap --quiet --variant=apt --include=man-db --mode=root "${mounts[@]}" bookworm "$cache/unfinished.tar" \
         "$mirror" </dev/null; then
    rm -f "$cache/unfinished.tar"
    echo "FAIL: mmdebstrap could not make a Debian 12 root from $mirror" >&2
    exit 1
  fi
  mv "$cache/unfinished.tar" "$base"
fi

root=$(mktemp -d)
# --one-file-system: a /proc still mounted there is left alone.
trap '[ "$form" != mount ] || umount "$root/proc" 2>/dev/null; rm -rf --one-file-system "$root"' EXIT
tar -xf "$base" -C "$root"
if [ "$form" = mount ] && ! mount -t proc proc "$root/proc" 2>/dev/null; then
  form=chroot
  echo "mounting /proc was refused: entering the Debian root by chroot"
fi
inside() {
  local command=(env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@")
  if [ "$form" = namespace ]; then
    # A mount namespace of the command's own, so that its /proc goes with it.
    unshare --mount --propagation private --fork sh -c 'mount -t proc proc "$0/proc" && exec chroot "$0" "$@"' \
      "$root" "${command[@]}"
  else
    chroot "$root" "${command[@]}"
  fi
}
mkdir -p "$root/opt/sasroot" "$root/srv/programs"
cp "$sasroot/sas" "$sasroot/sasv9.cfg" "$root/opt/sasroot/"
cp "$deb" "$root/srv/"
echo "data _null_; file print; put 'first of two'; run;" >"$root/srv/programs/first.sas"
echo "data _null_; file print; put 'second of two'; run;" >"$root/srv/programs/second.sas"
# What belongs to the system: the package database, apt's and the logs change by design.
snapshot() {
  (cd "$root" && find . -path ./proc -prune -o -path ./srv -prune -o -path ./tmp -prune -o -path ./var/lib/dpkg -prune \
     -o -path ./var/lib/apt -prune -o -path ./var/cache -prune -o -path ./var/log -prune -o -print | sort)
}
snapshot >"$root/srv/before"

inside apt-get install -y -q "/srv/$(basename "$deb")" >"$root/srv/apt.log" 2>&1 ||
  { cat "$root/srv/apt.log" >&2; fail "apt-get install exited with $?"; }
output=$(inside tamberlo --version 2>&1) || true
[ "$output" = "tamberlo $version" ] || fail "tamberlo --version printed [$output], not [tamberlo $version]"
output=$(inside man -w tamberlo 2>&1) || true
[ "$output" = /usr/share/man/man1/tamberlo.1.gz ] || fail "man -w tamberlo printed [$output]"
output=$(inside tamberlo --sas-root /opt/sasroot -e "data _null_; file print; put 'from the package'; run;" 2>&1) ||
  fail "the single run exited with $?"
[[ $output == *"from the package"* ]] || fail "the single run printed [$output]"
batch_status=0
inside tamberlo batch --sas-root /opt/sasroot --out /srv/results /srv/programs >"$root/srv/batch.log" 2>&1 ||
  batch_status=$?
[ $batch_status -eq 0 ] || { cat "$root/srv/batch.log" >&2; fail "tamberlo batch exited with $batch_status"; }
for name in first second; do
  grep -q "$name of two" "$root/srv/results/$name.lst" 2>/dev/null || fail "tamberlo batch wrote no listing of $name.sas"
done

inside apt-get purge -y -q tamberlo >"$root/srv/apt.log" 2>&1 || { cat "$root/srv/apt.log" >&2; fail "apt-get purge exited with $?"; }
diff -u "$root/srv/before" <(snapshot) >&2 || fail "apt-get purge left the root changed"

[ "$failed" = 0 ] && echo "PASS: tamberlo $version installed, used and purged in a fresh Debian 12 root"
exit "$failed"
