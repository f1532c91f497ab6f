# Flags every target of the project builds with. Results must be identical bit for bit
# across builds and machines: no contraction into fused multiply-adds, no fast-math, and
# no SLP vectorisation, which g++ 12.2 lets skip a double-to-float rounding.
add_compile_options(-ffp-contract=off -fno-fast-math)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-fno-tree-slp-vectorize)
endif()
add_compile_options(-Wall -Wextra -Wpedantic)
if(RDSIM_WERROR)
    add_compile_options(-Werror)
endif()
if(RDSIM_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
