#!/usr/bin/env bash
# A one-node Slurm cluster for the tests, sourced by them: munged, slurmctld and slurmd from
# Debian's packages, configured in a temporary folder ($dir), on ports of 127.0.0.1 of their
# own. Sourcing it starts the cluster (SLURM_CONF exported), or exits 77 (reported as skipped)
# when the machine cannot run it: not root, the packages missing (scripts/setup.sh installs
# them) or the daemons not up in time. On exit, whatever the outcome, it cancels the jobs and
# stops exactly the daemons it started, by their pid files, and removes the folder.
#
# After sourcing it a test has skip, fail (which shows the daemons' logs and the jobs' in
# $dir/out*/logs), wait_for SECONDS COMMAND..., queue_empty and elapsed.
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; show_logs; exit 1; }
started=$(date +%s)
elapsed() { echo $(( $(date +%s) - started )); }

[ "$(id -u)" -eq 0 ] || skip "the daemons of a test cluster need root"
for tool in munged munge slurmctld slurmd sbatch squeue scancel sinfo scontrol; do
  command -v "$tool" > /dev/null || skip "$tool is missing (scripts/setup.sh installs munge, slurmctld, slurmd, slurm-client)"
done

dir=$(mktemp -d /tmp/kinklab-slurm.XXXXXX)
chmod 700 "$dir"

show_logs() {
  for log in "$dir"/munged.log "$dir"/slurmctld.log "$dir"/slurmd.log "$dir"/out*/logs/*.out; do
    [ -f "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
  done
  return 0
}

# Stops a daemon by its pid file: SIGTERM, then SIGKILL after 10 s.
stop_daemon() {
  local pidfile=$1 pid
  [ -s "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  kill -TERM "$pid" 2> /dev/null || return 0
  for _ in $(seq 100); do kill -0 "$pid" 2> /dev/null || return 0; sleep 0.1; done
  kill -KILL "$pid" 2> /dev/null || true
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  if [ -S "$dir/munge.socket" ] && [ -s "$dir/slurmctld.pid" ]; then
    scancel --full --quiet --user=root 2> /dev/null || true
    for _ in $(seq 50); do
      [ -z "$(squeue --noheader 2> /dev/null)" ] && break
      sleep 0.2
    done
  fi
  stop_daemon "$dir/slurmd.pid"
  stop_daemon "$dir/slurmctld.pid"
  stop_daemon "$dir/munged.pid"
  rm -rf "$dir"
  echo "cluster stopped after $(elapsed) s"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1
  shift
  local deadline=$(( $(date +%s) + seconds ))
  until "$@" > /dev/null 2>&1; do
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# A port of 127.0.0.1 nothing listens on, from a range of its own.
free_port() {
  local port
  for port in $(shuf -i 20000-29999 -n 50); do
    (exec 3<> "/dev/tcp/127.0.0.1/$port") 2> /dev/null || { echo "$port"; return; }
  done
  return 1
}

# --- munge -----------------------------------------------------------------------------------
dd if=/dev/urandom of="$dir/munge.key" bs=1024 count=1 status=none
chmod 600 "$dir/munge.key"
munged --force --socket="$dir/munge.socket" --key-file="$dir/munge.key" --pid-file="$dir/munged.pid" \
       --log-file="$dir/munged.log" --seed-file="$dir/munged.seed" || skip "munged did not start"
wait_for 10 bash -c "munge -n -S '$dir/munge.socket' | unmunge -S '$dir/munge.socket'" ||
  { show_logs; skip "munged did not answer within 10 s"; }

# --- Slurm -----------------------------------------------------------------------------------
node=$(hostname -s)
ctld_port=$(free_port) || skip "no free port"
slurmd_port=$(free_port) || skip "no free port"
[ "$ctld_port" != "$slurmd_port" ] || slurmd_port=$((ctld_port + 1))
mkdir -p "$dir/state" "$dir/spool" "$dir/out"
export SLURM_CONF=$dir/slurm.conf
cat > "$SLURM_CONF" << EOF
ClusterName=kinklabtest
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/builtin
MpiDefault=none
SwitchType=switch/none
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/none
ReturnToService=2
MailProg=/bin/true
SlurmctldTimeout=30
SlurmdTimeout=30
InactiveLimit=0
KillWait=5
MinJobAge=30
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=1000 State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF

slurmctld -f "$SLURM_CONF" -c || skip "slurmctld did not start"
wait_for 30 scontrol ping || { show_logs; skip "slurmctld did not answer within 30 s"; }
slurmd -f "$SLURM_CONF" || skip "slurmd did not start"
node_idle() { [ "$(sinfo --noheader --nodes="$node" --format=%t)" = idle ]; }
wait_for 60 node_idle || { show_logs; skip "the node did not come up within 60 s"; }
echo "cluster up after $(elapsed) s: node $node with $(nproc) CPUs, slurmctld on port $ctld_port"

# True when no job is in the queue.
queue_empty() { [ -z "$(squeue --noheader)" ]; }
