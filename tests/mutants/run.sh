#!/bin/bash
# Deliberate faults the suite must catch. Each tests/mutants/*.patch (a "Fault:" line, a "Test:"
# line naming a test binary and a gtest filter, then a diff) is applied in turn to a copy of the
# tracked source, built in a scratch build folder and tested: a failing test is CAUGHT, passing
# tests MISSED. One build per mutant, so not part of make test; run it after changing tests.
#   tests/mutants/run.sh [NAME...]     (MUTANT_DIR: scratch folder, default build-mutants)
# Exit status 1 when a mutant is missed or the unchanged source fails one of the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=${MUTANT_DIR:-$root/build-mutants}
src=$work/src build=$work/build
names=("$@")
[ ${#names[@]} -gt 0 ] || names=($(cd "$root/tests/mutants" && ls ./*.patch | sed 's|^\./||; s|\.patch$||'))

rm -rf "$src" && mkdir -p "$src" "$build"
# Fresh times (-m): a build folder left by an older copy must not take its objects as current.
git -C "$root" ls-files -z | tar -C "$root" --null -T - -cf - | tar -C "$src" -xmf -
launcher=$(command -v ccache || true)
cmake -S "$src" -B "$build" -DORVI_WERROR=ON ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher} >/dev/null

# Builds the test binary of a patch and runs its tests: the tests' exit status, 125 when the
# build fails.
run_tests() {
    local binary=$1 filter=$2
    nice -n 10 cmake --build "$build" -j2 --target "$binary" >"$work/build.log" 2>&1 || return 125
    (cd "$build" && QT_QPA_PLATFORM=offscreen timeout 600 nice -n 10 "tests/$binary" \
        --gtest_filter="$filter" >"$work/test.log" 2>&1)
}

missed=0
printf '%-36s %s\n' MUTANT RESULT
for name in "${names[@]}"; do
    patch=$root/tests/mutants/$name.patch
    read -r _ binary filter < <(grep -m1 '^Test:' "$patch")
    # The unchanged source must pass the same tests, or a failure says nothing about the fault.
    if ! run_tests "$binary" "$filter"; then
        printf '%-36s %s\n' "$name" "BASELINE FAILS ($binary $filter)"
        missed=1
        continue
    fi
    patch -s -p1 -d "$src" <"$patch"
    status=0
    run_tests "$binary" "$filter" || status=$?
    patch -s -R -p1 -d "$src" <"$patch"
    case $status in
        0) result=MISSED missed=1 ;;
        125) result="BUILD FAILS (see $work/build.log)" missed=1 ;;
        *) result=CAUGHT ;;
    esac
    printf '%-36s %s\n' "$name" "$result"
done
exit $missed
