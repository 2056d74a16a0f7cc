#!/usr/bin/env bash
# Fails when one run of the program executes more instructions than BUDGET.
# Usage: instruction_budget.sh VALGRIND PROGRAM BUDGET
set -euo pipefail
# The budget is set for processors with AVX2, which the block search uses.
if ! grep -qw avx2 /proc/cpuinfo; then
    echo "no AVX2 here: the budget does not apply"
    exit 77
fi
count=$("$1" --tool=callgrind --callgrind-out-file=/dev/null "$2" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\)/\1/p')
echo "instructions: ${count:-none}, budget: $3"
[ -n "$count" ] && [ "$count" -le "$3" ]
