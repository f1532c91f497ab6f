#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./build.sh test   install what is missing, build incrementally, run every test: the
#                     release suite (build/), the sanitizer suite (build-asan/) and a
#                     bounded fuzz run (build-fuzz/)
#   ./build.sh run    install what is missing, build, start the window
#   ./build.sh bench  build and run the engine benchmark, the NumPy comparison, the batch
#                     tool's rate on 1 and 2 threads and the window's rate under Xvfb
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake g++ pkg-config git
    qt6-base-dev libgl-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
    fonts-liberation fonts-urw-base35 fonts-ipafont-gothic
    python3-numpy clang-14 libclang-rt-14-dev libfftw3-dev)

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

configure() { # build folder, extra cmake arguments...
    local dir=$1
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S . -B "$dir" "$@"
    fi
}

configure_and_build() { # build folder, extra cmake arguments...
    configure "$@"
    cmake --build "$1" -j "$(nproc)"
}

jobs_for_tests() { echo $(($(nproc) > 1 ? $(nproc) : 1)); }

case "${1:-test}" in
test)
    install_missing
    # 1. The release suite.
    configure_and_build build -DCMAKE_BUILD_TYPE=Release
    (cd build && ctest --output-on-failure -j "$(jobs_for_tests)")
    # 2. The same suite under AddressSanitizer and UndefinedBehaviorSanitizer; any report
    #    aborts its test.
    configure_and_build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DRDSIM_SANITIZE=ON -DRDSIM_BENCH=OFF
    (cd build-asan &&
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        ctest --output-on-failure -j "$(jobs_for_tests)")
    # 3. Bounded libFuzzer runs of the text conversion with the intake checks, and of the
    #    field file reader (clang).
    CXX="$(command -v clang++ || command -v clang++-14)" configure build-fuzz \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRDSIM_FUZZ=ON -DRDSIM_GUI=OFF -DRDSIM_BENCH=OFF
    cmake --build build-fuzz -j "$(nproc)" --target number_text_fuzz npy_fuzz
    (cd build-fuzz && ctest --output-on-failure -R '^(number_text|npy)_fuzz$')
    ;;
run)
    install_missing
    configure build -DCMAKE_BUILD_TYPE=Release
    cmake --build build -j "$(nproc)" --target rdsim
    exec ./build/app/rdsim
    ;;
bench)
    install_missing
    configure build -DCMAKE_BUILD_TYPE=Release
    cmake --build build -j "$(nproc)" --target rdsim-bench rdsim-batch rdsim-window-bench
    # The engine's steps (best of 5 repetitions in the summary), then the same steps in
    # NumPy float32 and the engine's ratio to them.
    ./build/bench/rdsim-bench --benchmark_repetitions=5 --benchmark_min_time=0.3 \
        --benchmark_out=build/bench/step-bench.json --benchmark_out_format=json
    /usr/bin/python3 bench/numpy_step.py --engine build/bench/step-bench.json
    # The batch tool at N = 1024 on 1 and 2 threads, and the window under Xvfb if installed.
    /usr/bin/python3 bench/tool_rates.py --batch build/batch/rdsim-batch \
        --window-bench build/bench/rdsim-window-bench
    ;;
*)
    echo "usage: $0 [test|run|bench]" >&2
    exit 2
    ;;
esac
