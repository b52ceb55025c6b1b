if(QUORVEL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
# The libFuzzer build (clang): every object carries the fuzzer's coverage
# hooks and both sanitizers; only the fuzz targets link the fuzzer's main.
if(QUORVEL_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
