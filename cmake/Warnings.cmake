# Every target of ours compiles with warnings as errors.
function(quorvel_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
        -Wno-unused-parameter)
endfunction()
