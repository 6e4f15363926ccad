#!/usr/bin/env bash
# Runs the README's Slurm job array on a cluster of one node that the test starts in a temporary
# folder (munged, slurmctld and slurmd of its own, on free ports): the array's frames are those of
# one full korvel-render run, and a task cancelled mid-render, then submitted again alone as the
# README says, completes the set.
test_name=slurm
# shellcheck source=tests/cluster/cluster_fixture.sh
source "$(dirname "${BASH_SOURCE[0]}")/cluster_fixture.sh"
require munged slurmctld slurmd sbatch scontrol scancel sinfo

node=korvel-node
export SLURM_CONF=$work/slurm/slurm.conf

start_munge() {
    mkdir -m 700 "$work/munge"
    dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
    chmod 400 "$work/munge/munge.key"
    # As root munged wants --force; its other files stay in its folder.
    start_daemon "$work/munge/munged.log" munged --foreground --force \
        --key-file="$work/munge/munge.key" --socket="$work/munge/socket" \
        --pid-file="$work/munge/munged.pid" --log-file="$work/munge/munged.log" \
        --seed-file="$work/munge/seed"
    wait_ready munged 10 test -S "$work/munge/socket"
}

# slurmctld runs only on the host that slurm.conf names, by the short form of its name.
short_host_name() {
    local name
    name=$(uname -n)
    echo "${name%%.*}"
}

# The README's script asks 16 processors per task: the node is declared with 64, which
# config_overrides lets slurmd take on trust, so that four tasks run at once on any machine.
write_slurm_conf() {
    mkdir -p "$work/slurm/state" "$work/slurm/spool"
    cat >"$SLURM_CONF" <<EOF
ClusterName=korvel-test
SlurmctldHost=$(short_host_name)(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/socket
StateSaveLocation=$work/slurm/state
SlurmdSpoolDir=$work/slurm/spool
SlurmctldPidFile=$work/slurm/slurmctld.pid
SlurmdPidFile=$work/slurm/slurmd.pid
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
SchedulerType=sched/builtin
ReturnToService=2
KillWait=2
MinJobAge=600
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
NodeName=$node NodeAddr=127.0.0.1 CPUs=64 RealMemory=1000 State=UNKNOWN
PartitionName=korvel Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
}

node_idle() { [ "$(sinfo -h -n "$node" -o %T 2>/dev/null)" = idle ]; }

start_slurm() {
    write_slurm_conf
    start_daemon "$work/slurm/slurmctld.log" slurmctld -D -i -f "$SLURM_CONF"
    start_daemon "$work/slurm/slurmd.log" slurmd -D -f "$SLURM_CONF" -N "$node"
    wait_ready "slurmctld and slurmd" 30 node_idle
    say "a cluster of one node is up"
}

# Whatever still runs when the test ends is cancelled before the daemons stop.
stop_jobs() { scancel --user="$(id -un)" 2>/dev/null || true; }

# task_state JOB TASK: what Slurm says of array task TASK of JOB: PENDING, RUNNING, COMPLETED...
task_state() {
    scontrol -o show job "$1_$2" 2>/dev/null | grep -o 'JobState=[A-Z_]*' | head -n 1 | cut -d= -f2
}

# tasks_completed JOB TASK...: every TASK of JOB has completed; one that ended otherwise fails
# the test at once, with the last lines of its log.
tasks_completed() {
    local job=$1 task state
    shift
    for task in "$@"; do
        state=$(task_state "$job" "$task")
        case $state in
        COMPLETED) ;;
        PENDING | CONFIGURING | RUNNING | COMPLETING | "") return 1 ;;
        *) fail "task $task of job $job ended $state: $(tail -n 3 "$work/korvel-${job}_$task.log" 2>&1)" ;;
        esac
    done
}

task_is() { [ "$(task_state "$1" "$2")" = "$3" ]; }

# submit SCRIPT: SCRIPT run by bash in the work folder, as a user pastes it into a shell; prints
# the job that it submitted.
submit() {
    local said
    said=$(cd "$work" && bash -euo pipefail -c "$1") || fail "submitting failed: $said"
    sed -n 's/^Submitted batch job \([0-9][0-9]*\)$/\1/p' <<<"$said" | grep . ||
        fail "sbatch said '$said', not which job it submitted"
}

# The Nth frame's file in the full render (names follow the input count).
frame_file() { find "$work/expected" -name '*.png' -printf '%f\n' | sort | sed -n "$1p"; }

main() {
    start_munge
    start_slurm
    local script layers per_task
    script=$(readme_block '**Slurm job array.**' bash)
    script=$(replace "$script" /shared/in "$inputs")
    replace "$script" /shared/out "$outputs" >"$work/korvel.sbatch"
    layers=$(recipe_layers "$script")
    per_task=$(sed -n 's/^per_task=\([0-9][0-9]*\)$/\1/p' <<<"$script")
    [ -n "$per_task" ] || fail "the README's script sets no per_task"
    make_inputs "$layers"
    local frames
    frames=$(find "$work/expected" -name '*.png' | wc -l)
    [ "$frames" -gt $((2 * per_task)) ] || fail "$frames frames make fewer than three tasks"

    # Task 1 blocks on an input that is a pipe nobody writes, a few frames into its range: the
    # frames before it are saved, and it is cancelled there.
    local held=$((per_task + 5)) blocked
    blocked=$(first_input_of "$held" "$layers")
    mv "$blocked" "$work/held.png"
    mkfifo "$blocked"
    local submission job
    submission=$(replace "$(readme_block '**Slurm job array.**' sh)" /shared/out "$outputs")
    job=$(submit "$(count_recipe)"$'\n'"$submission")
    local last_task=$(((frames - 1) / per_task))
    wait_until 60 "tasks 0 and 2 to $last_task completed" tasks_completed "$job" 0 $(seq 2 $last_task)
    [ -s "$work/korvel-${job}_0.log" ] || fail "task 0 wrote no korvel-${job}_0.log"
    wait_until 30 "task 1 saved the frames before its blocked one" \
        test -f "$outputs/$(frame_file $((held - 1)))"
    task_is "$job" 1 RUNNING || fail "task 1 is $(task_state "$job" 1), not RUNNING"
    scancel "${job}_1"
    wait_until 30 "task 1 was cancelled" task_is "$job" 1 CANCELLED
    [ ! -e "$outputs/$(frame_file "$held")" ] || fail "the cancelled task saved frame $held"
    say "job $job: tasks 0 to $last_task but 1 completed, task 1 cancelled after frame $((held - 1))"

    # The README's way to run one task again.
    rm "$blocked"
    mv "$work/held.png" "$blocked"
    local again
    again=$(grep -o 'sbatch --array=[0-9,]* korvel.sbatch' "$readme" | head -n 1) ||
        fail "the README no longer tells how to run a task again"
    job=$(submit "$(sed 's/--array=[0-9,]*/--array=1/' <<<"$again")")
    wait_until 60 "task 1, submitted again, completed" tasks_completed "$job" 1
    check_outputs "the array and task 1 submitted again"
}

main
