# SPDX-License-Identifier: GPL-2.0-or-later
# Sourced by the whole-process benchmarks: medians of shell commands' wall times.
# measure_medians: sets the array `medians` (ms, one decimal) for the array `commands`, each run
# $runs times after the shell command $clean, with hyperfine where installed (its JSON goes to
# $work), else with a plain loop.

# Median wall time in ms of a shell command over $runs runs, each after $clean.
median_loop() {
    local times=()
    for _ in $(seq 1 "$runs"); do
        bash -c "$clean"
        local start end
        start=$(date +%s%N)
        bash -c "$1" >/dev/null 2>&1
        end=$(date +%s%N)
        times+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.1f", t[int((NR + 1) / 2)] / 1000 }'
}

measure_medians() {
    if command -v hyperfine >/dev/null 2>&1; then
        hyperfine --shell=bash --warmup 3 --runs "$runs" --prepare "$clean" \
            --export-json "$work/hyperfine.json" "${commands[@]}" >/dev/null
        medians=($(grep -o '"median": *[0-9.e-]*' "$work/hyperfine.json" | awk '{ printf "%.1f\n", $2 * 1000 }'))
    else
        medians=()
        local command
        for command in "${commands[@]}"; do medians+=("$(median_loop "$command")"); done
    fi
}
