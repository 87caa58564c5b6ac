#!/usr/bin/env bash
# Builds Quillbury (in build/) and starts it on a demo home (build/demo-home)
# that holds a few hundred fictional addresses. Extra arguments are passed to
# the program, e.g. ./run.sh --home ~/my-lists to use your own home instead.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
qb_install_packages

echo "== build (build/)"
# Only what running needs: the program and the demo-data generator (./test.sh
# builds everything else in the same directory).
if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target quillbury qbgen -j "$(nproc)"

home=build/demo-home
if [ ! -f "$home/QUILLB.ini" ]; then
    echo "== seeding the demo home $home"
    mkdir -p "$home/DATA"
    if [ ! -f "$home/DATA/add0001.DBF" ]; then
        build/tools/qbgen "$home/DATA/add0001.DBF" --records 300 --seed 7
    fi
    abs_home=$(cd "$home" && pwd)
    printf '[MRU]\r\nItem1=%s/DATA/add0001.DBF\r\n' "$abs_home" > "$home/QUILLB.ini"
fi

args=("$@")
if [ ${#args[@]} -eq 0 ]; then
    args=(--home "$home")
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    # Without a window the labels can still be made: the demo addresses as a
    # PDF of 30-up address labels with POSTNET bar codes.
    if [ ${#args[@]} -eq 2 ] && [ "${args[0]}" = "--home" ]; then
        labels_pdf="${args[1]}/demo-labels.pdf"
        echo "== demo labels"
        build/src/quillbury --home "${args[1]}" add-demo-label
        build/src/quillbury --home "${args[1]}" print-labels \
            --label "Demo Address Labels" --pdf "$labels_pdf"
        echo "The demo labels are in $labels_pdf"
    fi
    echo
    echo "Quillbury is built, but there is no display here to show its window."
    echo "Run it on a desktop with:"
    echo "    ./run.sh"
    echo "or under a virtual display, for example:"
    echo "    xvfb-run -a build/src/quillbury --home $home"
    exit 0
fi

exec build/src/quillbury "${args[@]}"
