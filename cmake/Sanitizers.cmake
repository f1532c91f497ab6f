# One sanitizer set per build tree: AddressSanitizer with UndefinedBehaviorSanitizer, or
# ThreadSanitizer (the two cannot share a process). ON still means address.
if(RDSIM_SANITIZE MATCHES "^(ON|address)$")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(RDSIM_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(RDSIM_SANITIZE)
    message(FATAL_ERROR "RDSIM_SANITIZE must be OFF, address or thread, not '${RDSIM_SANITIZE}'")
endif()
