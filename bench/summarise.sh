#!/bin/bash
# One table of every figure the benchmark scripts printed as
#     RESULT <name> <value> <unit> goal <op> <goal>
# each marked met or NOT met; later scripts' lines for the same name replace earlier ones.
# usage: summarise.sh LOG [FAILED_SCRIPT...]     (exit 1 when a script failed)
set -euo pipefail
log="$1"
shift
awk '
$1 == "RESULT" && NF >= 7 && $5 == "goal" {
    if (!($2 in value)) order[n++] = $2
    value[$2] = $3; unit[$2] = $4; op[$2] = $6; goal[$2] = $7
    next
}
$1 == "RESULT" { bad[nbad++] = $0 }
END {
    printf "%-40s %10s %-4s %-10s %s\n", "figure", "value", "unit", "goal", "result"
    met = 0
    for (i = 0; i < n; i++) {
        k = order[i]; v = value[k] + 0; g = goal[k] + 0; o = op[k]
        if (value[k] !~ /^-?[0-9.]+([eE][-+]?[0-9]+)?$/) ok = 0
        else if (o == "<=") ok = v <= g
        else if (o == "<") ok = v < g
        else if (o == ">=") ok = v >= g
        else if (o == ">") ok = v > g
        else ok = 0
        met += ok
        printf "%-40s %10s %-4s %-10s %s\n", k, value[k], unit[k], o " " goal[k], ok ? "met" : "NOT met"
    }
    printf "%d of %d goals met\n", met, n
    for (i = 0; i < nbad; i++) printf "malformed: %s\n", bad[i]
}' "$log"
status=0
for script in "$@"; do
    echo "FAILED: $script (its figures are missing or incomplete)"
    status=1
done
exit $status
