#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./build.sh test   install what is missing, check the formatting, build incrementally and
#                     run every suite: release (build/), AddressSanitizer (build-asan/),
#                     ThreadSanitizer on the batch tests (build-tsan/) and a bounded fuzz run
#                     (build-fuzz/)
#   ./build.sh run    install what is missing, build, start the window
#   ./build.sh bench  build and run the engine benchmark, the NumPy comparison, the atlas's
#                     points a second, the batch tool's rate on 1 and 2 threads, the window's
#                     rate under Xvfb and the Python package against the batch tool
#   ./build.sh python install what is missing, build the Python package and install it for
#                     the system's python3 (PREFIX/lib/python3.X/dist-packages, /usr/local
#                     unless CMAKE_INSTALL_PREFIX says otherwise)
# The build trees are CMakePresets.json's presets of the same names.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake g++ pkg-config git
    qt6-base-dev libgl-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
    fonts-liberation fonts-urw-base35 fonts-ipafont-gothic
    python3-numpy python3-matplotlib python3-pil ffmpeg clang-14 libclang-rt-14-dev libfftw3-dev clang-format
    libtomlplusplus-dev zlib1g-dev
    python3-dev pybind11-dev python3-xarray python3-dask python3-distributed python3-h5py
    python3-h5netcdf python3-tqdm python3-ipywidgets python3-nbclient python3-nbformat
    python3-ipykernel python3-pytest python3-venv)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# Configures (again) with the preset, so the tree always has the preset's settings.
configure() { # preset
    cmake --preset "$1" >/dev/null
}

build() { # preset, extra build arguments...
    local preset=$1
    shift
    cmake --build --preset "$preset" -j "$(nproc)" "$@"
}

check() { # preset
    configure "$1"
    build "$1"
    ctest --preset "$1" -j "$(nproc)"
}

# Every C++ source of the project must be as clang-format leaves it.
check_format() {
    find . \( -path './build*' -o -path ./.git \) -prune -o \( -name '*.cpp' -o -name '*.h' \) \
        -print0 | sort -z |
        xargs -0 clang-format --dry-run --Werror
}

case "${1:-test}" in
test)
    install_missing
    check_format
    # The release suite.
    check release
    # The same suite under AddressSanitizer and UndefinedBehaviorSanitizer; any report
    # (leaks included) aborts its test.
    check asan
    # The batch tests (sweeps on several threads) under ThreadSanitizer; any report of a
    # race fails its test.
    check tsan
    # Bounded libFuzzer runs of the text conversion with the intake checks, and of the
    # field file reader (clang).
    check fuzz
    ;;
run)
    install_missing
    configure release
    build release --target rdsim
    exec ./build/app/rdsim
    ;;
bench)
    install_missing
    configure release
    build release --target rdsim-bench rdsim-analysis-bench rdsim-batch rdsim-window-bench
    # The engine's steps (best of 5 repetitions in the summary), then the same steps in
    # NumPy float32 and the engine's ratio to them.
    ./build/bench/rdsim-bench --benchmark_repetitions=5 --benchmark_min_time=0.3 \
        --benchmark_out=build/bench/step-bench.json --benchmark_out_format=json
    /usr/bin/python3 bench/numpy_step.py --engine build/bench/step-bench.json
    # Points a second of the atlas's analytic map, each model on 1 and 2 threads.
    ./build/bench/rdsim-analysis-bench --benchmark_filter='map point' --benchmark_min_time=0.5
    # The batch tool at N = 1024 on 1 and 2 threads, and the window under Xvfb if installed.
    /usr/bin/python3 bench/tool_rates.py --batch build/batch/rdsim-batch \
        --window-bench build/bench/rdsim-window-bench
    # sim.step and sim.run of the Python package, installed into the build tree, against the
    # batch tool on the same runs.
    build release --target rdsim_core
    cmake --install build --component python --prefix build/python-bench >/dev/null
    PYTHONPATH="$(find build/python-bench -type d -name dist-packages)" \
        /usr/bin/python3 bench/python_rates.py --batch build/batch/rdsim-batch
    ;;
python)
    install_missing
    configure release
    build release --target rdsim_core
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo cmake --install build --component python
    ;;
*)
    echo "usage: $0 [test|run|bench|python]" >&2
    exit 2
    ;;
esac
