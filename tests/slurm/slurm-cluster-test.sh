#!/usr/bin/env bash
# Starts a one-node Slurm cluster on this machine (munged, slurmctld, slurmd,
# loopback only, all state in a temporary folder), runs the example job array
# over a set of SAS programs with `sbatch --wait`, and checks that every
# program ran exactly once and that the shards' JUnit reports hold each of
# them once. The daemons are stopped and the state removed on every way out.
#   slurm-cluster-test.sh TAMBERLO SAS_ROOT JOB_SCRIPT
# Exits 77 (skipped) without root or without the Slurm and munge daemons.
set -euo pipefail

tamberlo=$(realpath "$1")
sas_root=$(realpath "$2")
job_script=$(realpath "$3")
shards=3
programs=9

for tool in munged slurmctld slurmd sbatch sinfo; do
  command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin:/sbin
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: slurmd needs root"; exit 77; }

started=$(date +%s.%N)
state=$(mktemp -d "${TMPDIR:-/tmp}/tamberlo-slurm.XXXXXX")
chmod 700 "$state"
pids=()
stop() {
  local status=$?
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    for log in "$state"/*.log "$state"/work/*.out; do
      [ -f "$log" ] && { echo "== $log"; tail -n 30 "$log"; }
    done
  fi
  rm -rf "$state"
  exit "$status"
}
trap stop EXIT
trap 'exit 130' INT TERM

# A port that nothing listens on yet (bash connects to see).
free_port() {
  local port
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 30000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then echo "$port"; return; fi
  done
  echo "no free port" >&2
  return 1
}

# munge, with a key of this test's own.
mungekey --create --keyfile="$state/munge.key" 2>/dev/null || dd if=/dev/urandom of="$state/munge.key" bs=1024 count=1 2>/dev/null
chmod 600 "$state/munge.key"
munged --foreground --force --key-file="$state/munge.key" --socket="$state/munge.socket" \
  --pid-file="$state/munged.pid" --log-file="$state/munged.log" --seed-file="$state/munged.seed" \
  >"$state/munged.out" 2>&1 &
pids+=($!)

host=$(hostname -s)
mkdir -p "$state/ctld" "$state/spool" "$state/work" "$state/ran"
cat >"$state/slurm.conf" <<CONF
ClusterName=tamberlo-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$state/munge.socket
StateSaveLocation=$state/ctld
SlurmdSpoolDir=$state/spool
SlurmctldPidFile=$state/slurmctld.pid
SlurmdPidFile=$state/slurmd.pid
SlurmctldLogFile=$state/slurmctld.log
SlurmdLogFile=$state/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
SwitchType=switch/none
ReturnToService=2
NodeName=localhost NodeHostname=localhost NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=localhost Default=YES MaxTime=INFINITE State=UP
CONF
cat >"$state/cgroup.conf" <<CONF
CgroupPlugin=cgroup/v1
CgroupAutomount=no
ConstrainCores=no
ConstrainRAMSpace=no
CONF
export SLURM_CONF=$state/slurm.conf

# munged first: the Slurm daemons authenticate through it.
for _ in $(seq 100); do [ -S "$state/munge.socket" ] && break; sleep 0.1; done
slurmctld -D -c -f "$SLURM_CONF" >"$state/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -N localhost -f "$SLURM_CONF" >"$state/slurmd.out" 2>&1 &
pids+=($!)
ready=
for _ in $(seq 300); do
  if [ "$(sinfo -h -n localhost -o %T 2>/dev/null)" = idle ]; then ready=1; break; fi
  sleep 0.1
done
[ -n "$ready" ] || { echo "FAIL: the cluster did not come up"; exit 1; }
up=$(date +%s.%N)

# Each program notes that it ran in a file of its own, appending.
mkdir -p "$state/programs/more"
names=()
for i in $(seq "$programs"); do
  name=p$i
  [ "$i" -gt 6 ] && name=more/p$i
  names+=("$name")
  printf "data _null_; file '%s' mod; put 'ran'; run;\r\ndata _null_; file print; put '%s'; run;\r\n" \
    "$state/ran/p$i.txt" "$name" >"$state/programs/$name.sas"
done

# Indices from 0: --shard auto counts the parts from the array's first index.
TAMBERLO=$tamberlo sbatch --wait --quiet --array="0-$((shards - 1))" --chdir="$state/work" \
  --output="$state/work/task-%a.out" "$job_script" "$state/programs" "$state/results" --sas-root "$sas_root"
done_at=$(date +%s.%N)

fail() { echo "FAIL: $*"; exit 1; }
for i in $(seq "$programs"); do
  [ "$(cat "$state/ran/p$i.txt" 2>/dev/null)" = "ran"$'\r' ] || fail "p$i did not run exactly once: $(cat "$state/ran/p$i.txt" 2>&1)"
done
found=()
for k in $(seq "$shards"); do
  grep -q "^tamberlo: shard $k/$shards from Slurm (SLURM_ARRAY_TASK_ID=$((k - 1)), " "$state/work/task-$((k - 1)).out" ||
    fail "task $((k - 1)) did not say its shard: $(head -3 "$state/work/task-$((k - 1)).out")"
  report=$state/results/junit-${k}of$shards.xml
  [ -f "$report" ] || fail "no report from shard $k"
  grep -q "<testsuite name=\"tamberlo batch $k/$shards\" " "$report" || fail "shard $k: $(head -3 "$report")"
  if command -v xmllint >/dev/null; then xmllint --noout "$report" || fail "shard $k: not well-formed"; fi
  mapfile -t -O "${#found[@]}" found < <(sed -n 's/.*<testcase name="\([^"]*\)".*/\1/p' "$report")
done
[ "$(printf '%s\n' "${found[@]}" | sort)" = "$(printf '%s\n' "${names[@]}" | sort)" ] ||
  fail "the shards' reports hold ${found[*]}, expected ${names[*]}"
for name in "${names[@]}"; do
  [ -f "$state/results/out/$name.lst" ] || fail "no listing for $name"
done

awk -v n="$programs" -v k="$shards" -v a="$started" -v b="$up" -v c="$done_at" 'BEGIN {
  printf "PASS: %d programs in %d array tasks; cluster up in %.1f s, array done in %.1f s, %.1f s in all\n", n, k, b - a, c - b, c - a }'
