#!/usr/bin/env bash
# Compares every file a user can save, as the build of BASE_REV writes it and as this checkout
# (uncommitted changes included) writes it, byte for byte.
#
#   tests/golden/compare_outputs.sh BASE_REV [OUT]
#
# BASE_REV is checked out in a temporary git worktree and built in a folder of its own; this
# checkout is built in its usual build/ folder. Only the two programs needed are built (the Ninja
# targets golden_outputs and ranvik-batch). Each build then writes into OUT/base and
# OUT/current:
#   wizard/     golden_outputs: every way through the wizard, driven offscreen, in each file
#               type the save form writes for it;
#   batch_href/ ranvik-batch on examples/telemetry/movebank_elk.csv with every estimator, the
#               comparison and every format;
#   batch_lscv/ the same with --h lscv;
# and the exit status of each program beside its files. Both builds read the examples of this
# checkout, so only the code differs.
#
# Every file is compared with cmp, but for one field: a dBASE file (.dbf, beside each shapefile)
# holds the date it was written in its bytes 2-4, which GDAL sets to the day of writing, so two
# runs either side of midnight differ there; those three bytes are left out. GeoPackages hold a
# fixed date and GeoTIFFs none, so they are compared whole, as are the pictures.
#
# Prints the number of files compared and each file that differs or is missing from one side;
# exits with 1 on any difference, missing file or failed run, with 0 when all are the same.
# OUT (default: a temporary folder, removed at the end) keeps both sides for a closer look.
# JOBS (default 2) is the number of compile jobs.
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 || $1 == -h || $1 == --help ]]; then
    awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
    exit 2
fi

root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
base=$(git -C "$root" rev-parse --verify --quiet "$1^{commit}") || {
    echo "compare_outputs: $1 is not a commit." >&2
    exit 2
}
if ! git -C "$root" cat-file -e "$base:tests/app/golden_outputs.cpp" 2>/dev/null; then
    echo "compare_outputs: $1 has no golden_outputs program to compare with." >&2
    exit 2
fi
jobs=${JOBS:-2}
export QT_QPA_PLATFORM=offscreen
examples=$root/examples
work=$(mktemp -d "${TMPDIR:-/tmp}/ranvik-golden.XXXXXX")
out=${2:-$work/out}

cleanup() {
    git -C "$root" worktree remove --force "$work/source" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Configures (when needed) and builds the two programs of the checkout $1 in $2.
build() {
    local source=$1 build_dir=$2
    local log
    log=$work/configure-$(basename "$build_dir").log
    echo "== building golden_outputs and ranvik-batch in $build_dir"
    cmake -S "$source" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$log" 2>&1 || {
        cat "$log"
        return 1
    }
    cmake --build "$build_dir" -j "$jobs" --target golden_outputs ranvik-batch
}

failed=0

# Runs a program whose files go to $1; its exit status is kept there as exit_status.txt and its
# output in $1.log, which is shown when it failed.
run() {
    local folder=$1
    shift
    mkdir -p "$folder"
    local status=0
    "$@" >"$folder.log" 2>&1 || status=$?
    echo "$status" >"$folder/exit_status.txt"
    if [[ $status -ne 0 ]]; then
        echo "!! $* exited with $status:"
        tail -n 40 "$folder.log"
        failed=1
    fi
}

# Writes every output of the build in $1 into $2.
write_outputs() {
    local build_dir=$1 folder=$2
    echo "== writing the outputs of $build_dir into $folder"
    rm -rf "$folder"
    mkdir -p "$folder"
    run "$folder/wizard" "$build_dir/tests/golden_outputs" "$folder/wizard/files" \
        --examples "$examples"
    local batch=("$build_dir/ranvik-batch" "$examples/telemetry/movebank_elk.csv" --quiet
        --estimators "fixed-kernel,adaptive-kernel,bvn,2bvn,2cn,exp-power,bb,mcp" --compare
        --formats "txt,tif,gpkg" --bb-max-time 120 --error-m 15)
    run "$folder/batch_href" "${batch[@]}" --out "$folder/batch_href/files"
    run "$folder/batch_lscv" "${batch[@]}" --h lscv --out "$folder/batch_lscv/files"
}

# Whether files $1 and $2 hold the same bytes (for a .dbf, all but its date of writing).
same_file() {
    if [[ $1 == *.dbf ]]; then
        cmp -s <(head -c 1 "$1"; tail -c +5 "$1") <(head -c 1 "$2"; tail -c +5 "$2")
    else
        cmp -s "$1" "$2"
    fi
}

git -C "$root" worktree add --detach --quiet "$work/source" "$base"
build "$work/source" "$work/build"
build "$root" "$root/build"
write_outputs "$work/build" "$out/base"
write_outputs "$root/build" "$out/current"

echo "== comparing $out/base ($1, $(git -C "$root" rev-parse --short "$base")) with" \
    "$out/current (this checkout)"
compared=0
differences=0
while IFS= read -r file; do
    if [[ ! -f $out/base/$file ]]; then
        echo "only in current: $file"
        differences=$((differences + 1))
    elif [[ ! -f $out/current/$file ]]; then
        echo "only in base: $file"
        differences=$((differences + 1))
    else
        compared=$((compared + 1))
        if ! same_file "$out/base/$file" "$out/current/$file"; then
            echo "differs: $file"
            differences=$((differences + 1))
        fi
    fi
done < <(cd "$out" && find base current -type f ! -name '*.log' | cut -d/ -f2- | sort -u)

echo "$compared files compared, $differences differences."
if [[ $differences -ne 0 || $failed -ne 0 ]]; then
    if [[ $# -eq 2 ]]; then
        echo "Both sides are kept in $out."
    else
        echo "Give a folder as OUT to keep both sides for a closer look."
    fi
    exit 1
fi
