#!/usr/bin/env bash
# Runs the README's GNU Parallel recipe with this machine as both hosts: one through an sshd of
# the test's own (a free port, a throwaway host key and client key), one local. A range made to
# fail is listed in the job log, and the same command with --resume-failed runs it alone again;
# then the frames are those of one full korvel-render run.
test_name=parallel
# shellcheck source=tests/cluster/cluster_fixture.sh
source "$(dirname "${BASH_SOURCE[0]}")/cluster_fixture.sh"
require parallel ssh ssh-keygen
sshd=$(command -v sshd || echo /usr/sbin/sshd)
[ -x "$sshd" ] || skip "sshd is not installed (./dev.sh test installs it when run as root)"

ssh_dir=$work/ssh
host=korvel-node

start_sshd() {
    mkdir -m 700 "$ssh_dir"
    ssh-keygen -q -t ed25519 -N '' -C korvel-test-host -f "$ssh_dir/host_key"
    ssh-keygen -q -t ed25519 -N '' -C korvel-test-client -f "$ssh_dir/client_key"
    cp "$ssh_dir/client_key.pub" "$ssh_dir/authorized_keys"
    local port
    port=$(free_port)
    # The host has korvel-render on its PATH, as the README asks of every host.
    cat >"$ssh_dir/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $port
HostKey $ssh_dir/host_key
AuthorizedKeysFile $ssh_dir/authorized_keys
PidFile $ssh_dir/sshd.pid
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
SetEnv PATH=$PATH
EOF
    cat >"$ssh_dir/config" <<EOF
Host $host
    HostName 127.0.0.1
    Port $port
    User $(id -un)
    IdentityFile $ssh_dir/client_key
    IdentitiesOnly yes
    HostKeyAlias $host
    UserKnownHostsFile $ssh_dir/known_hosts
    StrictHostKeyChecking yes
    BatchMode yes
EOF
    echo "$host $(cut -d ' ' -f 1,2 "$ssh_dir/host_key.pub")" >"$ssh_dir/known_hosts"
    # sshd insists on its privilege separation folder, which its system service makes at boot.
    mkdir -p /run/sshd
    start_daemon "$ssh_dir/sshd.log" "$sshd" -D -e -f "$ssh_dir/sshd_config"
    wait_ready sshd 10 listening "$port"
    ssh -F "$ssh_dir/config" "$host" command -v korvel-render >/dev/null ||
        fail "korvel-render is not on the PATH of a login through the test's sshd"
    say "sshd of its own on port $port"
}

# job_log_failed: the ranges that render.log lists as failed, one a line.
job_log_failed() {
    awk -F '\t' 'NR > 1 && $7 != 0 { sub(/.*--frames /, "", $9); sub(/ .*/, "", $9); print $9 }' \
        "$work/render.log"
}

# run_recipe SCRIPT: runs SCRIPT in the work folder, as a user pastes it into a shell, and prints
# its exit status.
run_recipe() {
    local status=0
    (cd "$work" && bash -euo pipefail -c "$1") >"$work/recipe.log" 2>&1 || status=$?
    echo "$status"
}

main() {
    start_sshd
    local recipe layers
    recipe=$(readme_block '**GNU Parallel over SSH.**' sh)
    recipe=$(replace "$recipe" /shared/in "$inputs")
    recipe=$(replace "$recipe" /shared/out "$outputs")
    recipe=$(replace "$recipe" 1/host1,1/host2,1/: "'1/ssh -F $ssh_dir/config $host,1/:'")
    layers=$(recipe_layers "$recipe")
    make_inputs "$layers"
    local ranges
    ranges=$((($(find "$work/expected" -name '*.png' | wc -l) + 9) / 10))

    # The first input of frame 25 is not a picture: the range 21-30 fails.
    local damaged status
    damaged=$(first_input_of 25 "$layers")
    mv "$damaged" "$work/held.png"
    echo "no picture" >"$damaged"
    status=$(run_recipe "$(count_recipe)"$'\n'"$recipe")
    [ "$status" -eq 1 ] || fail "Parallel exited with $status, not 1 for one failed range: $(tail -n 5 "$work/recipe.log")"
    [ "$(job_log_failed)" = 21-30 ] || fail "render.log lists '$(job_log_failed)' as failed, not 21-30"
    [ "$(awk -F '\t' 'NR > 1' "$work/render.log" | wc -l)" -eq "$ranges" ] ||
        fail "render.log lists other than $ranges ranges"
    awk -F '\t' 'NR > 1 && $2 != ":" { found = 1 } END { exit !found }' "$work/render.log" ||
        fail "no range ran over ssh"
    say "$ranges ranges over ssh and locally; 21-30 failed and render.log says so"

    mv "$work/held.png" "$damaged"
    status=$(run_recipe "$(count_recipe)"$'\n'"$(replace "$recipe" "parallel " "parallel --resume-failed ")")
    [ "$status" -eq 0 ] || fail "Parallel with --resume-failed exited with $status: $(tail -n 5 "$work/recipe.log")"
    [ "$(awk -F '\t' 'NR > 1' "$work/render.log" | wc -l)" -eq $((ranges + 1)) ] ||
        fail "--resume-failed ran other than the failed range again"
    ! job_log_failed | grep -qvx 21-30 || fail "ranges other than 21-30 failed"
    check_outputs "after --resume-failed"
}

main
