#!/bin/bash
# Mutation run: applies each mutant (tools/mutants/NN-*.patch, or the patches named on the command
# line) in a scratch worktree of its own, builds, runs the tests without e2e and the fuzz target,
# and reverts. A failing test kills the mutant; a compile error makes it "not applicable".
#   bash tools/mutants/run.sh [patch ...]
# Environment: MUTANT_TREE (scratch worktree, default <repo>/build-mutwt), MUTANT_RESULTS (result
# lines, default <scratch>/results.txt), SKIP_BASELINE=1 (skip the unmutated build and test run).
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(git -C "$here" rev-parse --show-toplevel)
tree=${MUTANT_TREE:-$repo/build-mutwt}
results=${MUTANT_RESULTS:-$tree/results.txt}
export CCACHE_DIR=${CCACHE_DIR:-/work/ccache} CCACHE_BASEDIR=${CCACHE_BASEDIR:-/work}
commit=$(git -C "$repo" rev-parse HEAD)

patches=("$@")
[ ${#patches[@]} -eq 0 ] && patches=("$here"/[0-9]*.patch)

# The scratch tree at the caller's commit (its src/ is what the mutants are made against).
[ -e "$tree/.git" ] || git -C "$repo" worktree add -q --detach "$tree" "$commit" || exit 1
git -C "$tree" checkout -q -f --detach "$commit" || exit 1
build=$tree/build
[ -f "$build/CMakeCache.txt" ] || cmake -S "$tree" -B "$build" -DBUILD_TESTING=ON -DMETRONOM_WERROR=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >"$tree/configure.log" 2>&1 || { echo "configure failed"; exit 1; }

runtests() { # prints the names of failing tests; status 0 when all passed
    local log=$tree/ctest.log
    (cd "$build" && ctest -LE e2e -E fuzz -j2 --timeout 120 >"$log" 2>&1)
    local rc=$?
    sed -n '/The following tests FAILED/,$p' "$log" | grep -E '^\s+[0-9]+ - ' |
        sed -E 's/^\s+[0-9]+ - //; s/ +# GetParam.*//; s/ \((Failed|Timeout|SEGFAULT|Subprocess aborted|Child aborted|Exception).*//' |
        paste -sd ';' -
    return $rc
}

if [ "${SKIP_BASELINE:-0}" != 1 ]; then
    cmake --build "$build" -j2 >"$tree/build.log" 2>&1 || { echo "the unmutated tree does not build"; exit 1; }
    failing=$(runtests) || { echo "the unmutated tree fails tests: $failing"; exit 1; }
fi

echo "# $(date -u '+%F %H:%M UTC') commit $commit" >>"$results"
killed=0 survived=0 na=0 noapply=0
for p in "${patches[@]}"; do
    name=$(basename "$p" .patch)
    start=$SECONDS
    if ! git -C "$tree" apply "$(realpath "$p")" 2>/dev/null; then
        outcome=DID-NOT-APPLY detail=""
        noapply=$((noapply + 1))
    elif ! cmake --build "$build" -j2 >"$tree/build-$name.log" 2>&1; then
        outcome=NOT-APPLICABLE detail="compile error, see build-$name.log"
        na=$((na + 1))
    elif detail=$(runtests); then
        outcome=SURVIVED detail=""
        survived=$((survived + 1))
    else
        outcome=KILLED
        killed=$((killed + 1))
    fi
    git -C "$tree" checkout -q -f -- . # revert
    line="$name $outcome $((SECONDS - start))s $detail"
    echo "$line"
    echo "$line" >>"$results"
done
# Back to the unmutated build, so that the tree is ready for the next run.
cmake --build "$build" -j2 >"$tree/build.log" 2>&1

tried=$((killed + survived))
rate=$([ $tried -gt 0 ] && echo "$((100 * killed / tried)) %" || echo "n/a")
echo "killed $killed, survived $survived (kill rate $rate); not applicable $na, did not apply $noapply"
echo "# killed $killed, survived $survived (kill rate $rate); not applicable $na, did not apply $noapply" >>"$results"
