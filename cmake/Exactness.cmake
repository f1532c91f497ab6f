# Flags every target of the project builds with. Results must be identical bit for bit
# across builds and machines: no contraction into fused multiply-adds, no fast-math, and
# no SLP vectorisation, which g++ 12.2 lets skip a double-to-float rounding.
add_compile_options(-ffp-contract=off -fno-fast-math)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-fno-tree-slp-vectorize)
endif()
add_compile_options(-Wall -Wextra -Wpedantic)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    # Warning pragmas written for g++ name groups clang does not have.
    add_compile_options(-Wno-unknown-warning-option)
endif()
# Warnings fail the build where CMAKE_COMPILE_WARNING_AS_ERROR is on (the CI presets).
