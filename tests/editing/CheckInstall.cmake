# Installs the build into a fresh prefix and checks that the program, its desktop entry
# and its icon are where a desktop's application menu looks for them, and that the batch
# tool is installed beside the program and runs when called by name from PATH.
#   cmake -DBUILD_DIR=... -DPREFIX=... -P CheckInstall.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/rdsim bin/rdsim-batch share/applications/rdsim.desktop
        share/icons/hicolor/32x32/apps/rdsim.png)
    if(NOT EXISTS "${PREFIX}/${f}")
        message(FATAL_ERROR "not installed: ${f}")
    endif()
endforeach()
file(READ "${PREFIX}/share/applications/rdsim.desktop" entry)
foreach(line "[Desktop Entry]" "Type=Application" "Exec=rdsim" "Icon=rdsim"
        "Categories=Education;Science;" "Name=" "Comment=")
    string(FIND "${entry}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "desktop entry lacks ${line}")
    endif()
endforeach()
file(READ "${PREFIX}/share/icons/hicolor/32x32/apps/rdsim.png" png HEX LIMIT 24)
# PNG signature, then the header chunk with width 32 and height 32.
if(NOT png MATCHES "^89504e470d0a1a0a0000000d494844520000002000000020")
    message(FATAL_ERROR "the icon is not a 32 x 32 PNG: ${png}")
endif()
# The help is the batch tool's reference; it must come from the installed copy.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "PATH=${PREFIX}/bin:$ENV{PATH}" rdsim-batch --help
    RESULT_VARIABLE rc OUTPUT_VARIABLE help ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT help MATCHES "^Usage: rdsim-batch \\[OPTION\\]\\.\\.\\.\n")
    message(FATAL_ERROR "the installed rdsim-batch --help failed (${rc}): ${err}${help}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
