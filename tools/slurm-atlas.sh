#!/bin/bash
# A split simulated Gray-Scott map of feed (kA) and kill (kB) through a real Slurm job array,
# on this machine alone: brings up munge, slurmctld and slurmd with a minimal configuration in
# a temporary folder, runs one array task per shard with `sbatch --array=1-K`, then the merge
# as a job that depends on the array (afterok), waits for it, and checks that the merged CSV
# and mosaic equal those of one unsplit run. Everything it starts is stopped and its
# folder removed at the end.
#
# Needs the Debian package slurm-wlm (it brings munge) and root, since slurmd launches the
# jobs. Exit status: 0 the merged results are equal, 1 they differ or a job failed, 77 Slurm
# is not installed (nothing was run).
#
# Usage: tools/slurm-atlas.sh [PATH-TO-rdsim-batch] [K]
set -euo pipefail

exe=$(realpath "${1:-build/batch/rdsim-batch}")
shards=${2:-4}
for program in munged slurmctld slurmd sbatch squeue sinfo; do
    if ! command -v "$program" > /dev/null; then
        echo "slurm-atlas: $program not found; install the Debian package slurm-wlm" >&2
        exit 77
    fi
done
[[ -x $exe ]] || { echo "slurm-atlas: $exe is not an executable" >&2; exit 2; }
[[ $shards =~ ^[1-9][0-9]*$ ]] || { echo "slurm-atlas: K must be a whole number >= 1" >&2; exit 2; }
[[ $(id -u) == 0 ]] || { echo "slurm-atlas: run as root (slurmd launches the jobs)" >&2; exit 2; }

top=$(mktemp -d /tmp/slurm-atlas.XXXXXX)
chmod 700 "$top"
pids=()
jobs_submitted=""
cleanup() {
    [[ -n $jobs_submitted ]] && scancel "${jobs_submitted//,/ }" 2> /dev/null || true
    for pid in "${pids[@]}"; do
        kill "$pid" 2> /dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2> /dev/null || true
    done
    rm -rf "$top"
}
trap cleanup EXIT

# The map: 5 x 4 points of feed and kill from the seeded start, 64 x 64 cells each.
map=(atlas --model gray-scott --size 64 --x kA=0.02:0.05:5 --y kB=0.055:0.064:4
    --simulate --steps 4000 --init seeded --seed 1 --csv map/gs.csv --image map/gs.png)

# Munge, on a socket of its own.
mkdir -m 700 "$top/munge"
mkdir -p "$top/state" "$top/spool" "$top/log"
dd if=/dev/urandom of="$top/munge/key" bs=1024 count=1 status=none
chmod 400 "$top/munge/key"
munged --force --foreground --socket="$top/munge/socket" --key-file="$top/munge/key" \
    --pid-file="$top/munge/pid" --log-file="$top/munge/log" --seed-file="$top/munge/seed" \
    &> "$top/munge/out" &
pids+=($!)

# A cluster of one node with this machine's processors, on ports nobody else uses.
host=$(hostname -s)
port=$((20000 + RANDOM % 20000))
export SLURM_CONF="$top/slurm.conf"
cat > "$SLURM_CONF" << EOF
ClusterName=rdsim
SlurmctldHost=$host
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$top/munge/socket
StateSaveLocation=$top/state
SlurmdSpoolDir=$top/spool
SlurmctldPidFile=$top/slurmctld.pid
SlurmdPidFile=$top/slurmd.pid
SlurmctldLogFile=$top/log/slurmctld.log
SlurmdLogFile=$top/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
ReturnToService=2
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=main Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
for _ in $(seq 50); do [[ -S $top/munge/socket ]] && break; sleep 0.2; done
slurmctld -D -i -f "$SLURM_CONF" &> "$top/log/slurmctld.out" &
pids+=($!)
slurmd -D -f "$SLURM_CONF" &> "$top/log/slurmd.out" &
pids+=($!)
for _ in $(seq 100); do
    state=$(sinfo -h -o %t 2> /dev/null || true)
    [[ $state == idle ]] && break
    sleep 0.3
done
[[ $state == idle ]] || { echo "slurm-atlas: the node did not come up ($state)"; tail "$top"/log/*; exit 1; }
echo "slurm-atlas: Slurm $(sinfo -V | cut -d' ' -f2) up: node $host, $(nproc) CPUs, partition main"

# The split map through a job script of the README's form: as an array task, part I of K
# (both from the array); with the argument "merge", the join, in a job that waits for the
# whole array to succeed.
mkdir -p "$top/split/map" "$top/whole/map"
printf -v map_text '%q ' "${map[@]}"
printf -v exe_text '%q' "$exe"
cat > "$top/map-job.sh" << EOF
#!/bin/bash
#SBATCH --job-name=gs-map
#SBATCH --cpus-per-task=1
#SBATCH --output=$top/log/%x-%A_%a.out
set -euo pipefail
map=($map_text)
if [[ \${1:-} == merge ]]; then
    exec $exe_text "\${map[@]}" --merge
fi
exec $exe_text "\${map[@]}" --shard "\$SLURM_ARRAY_TASK_ID/\$SLURM_ARRAY_TASK_COUNT" \\
    --jobs "\$SLURM_CPUS_PER_TASK" --quiet
EOF
cd "$top/split"
array=$(sbatch --parsable --array=1-"$shards" "$top/map-job.sh")
merge=$(sbatch --parsable --dependency=afterok:"$array" --kill-on-invalid-dep=yes \
    --output="$top/log/%x-merge-%j.out" "$top/map-job.sh" merge)
jobs_submitted="$array,$merge"
echo "slurm-atlas: submitted array job $array (tasks 1-$shards) and merge job $merge (afterok:$array)"
squeue -o '%.12i %.10j %.8T %.10r' | sed 's/^/  /'
started=$(date +%s)
while [[ -n $(squeue -h -j "$array,$merge" 2> /dev/null) ]]; do
    sleep 1
done
echo "slurm-atlas: all jobs left the queue after $(($(date +%s) - started)) s"
for out in "$top"/log/gs-map-*.out; do
    if [[ -s $out ]]; then
        echo "slurm-atlas: $(basename "$out") says:"
        sed 's/^/  /' "$out"
    fi
done
if [[ ! -f $top/split/map/gs.csv ]]; then
    echo "slurm-atlas: FAILED: the merge wrote no CSV"
    tail -n 20 "$top"/log/slurmctld.log
    exit 1
fi
echo "slurm-atlas: parts: $(cd "$top/split/map" && echo gs.part-*)"

# The same map in one run, here.
(cd "$top/whole" && "$exe" "${map[@]}" --quiet > /dev/null)
rows=$(($(wc -l < "$top/whole/map/gs.csv") - 1))
if cmp -s "$top/whole/map/gs.csv" "$top/split/map/gs.csv" \
    && cmp -s "$top/whole/map/gs.png" "$top/split/map/gs.png"; then
    echo "slurm-atlas: OK: the merged CSV ($rows points) and mosaic equal those of one" \
        "unsplit run, bit for bit"
    cut -d, -f3-5,7,9 "$top/split/map/gs.csv" | column -s, -t | sed 's/^/  /'
else
    echo "slurm-atlas: FAILED: the merged results differ from one unsplit run"
    diff "$top/whole/map/gs.csv" "$top/split/map/gs.csv" || true
    cmp "$top/whole/map/gs.png" "$top/split/map/gs.png" || true
    exit 1
fi
