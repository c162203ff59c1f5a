#!/usr/bin/env bash
# Checks a URL list in SHARDS shards, one GNU parallel job each, over the machines of an
# --sshloginfile (":" is this machine); brings every shard's results file back with --return and
# merges them into OUT. Each machine needs tallyvane-cli on its PATH (or TALLYVANE_CLI).
#
#   deploy/parallel/check-shards.sh SSHLOGINFILE SHARDS LIST OUT.tvl [check options...]
#
# A job that fails stops the rest and nothing is merged: merge only complete shards.
set -euo pipefail
[ $# -ge 4 ] || { echo "usage: $0 SSHLOGINFILE SHARDS LIST OUT.tvl [check options...]" >&2; exit 1; }
logins=$(realpath "$1") shards=$2 list=$3 out=$(realpath -m "$4")
shift 4
cli=${TALLYVANE_CLI:-tallyvane-cli}  # a command line, e.g. with --settings FILE
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$list" "$work/list.txt"
cd "$work"
# Relative names: --transferfile and --return work in the login's home on each machine.
seq 0 $((shards - 1)) |
  parallel --will-cite --sshloginfile "$logins" --transferfile list.txt --return shard-{}.tvl --cleanup \
    --halt now,fail=1 $cli check -q --shard {}/"$shards" --save shard-{}.tvl "$@" list.txt
$cli merge "$out" shard-*.tvl  # unquoted: TALLYVANE_CLI may hold options
