# The fuzzing build: every library instrumented for coverage and built with
# AddressSanitizer and UndefinedBehaviorSanitizer; the harnesses add
# libFuzzer's main (fuzz/CMakeLists.txt).
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ANNONCIA_FUZZ needs clang (-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)")
endif()
if(ANNONCIA_SANITIZE)
  message(FATAL_ERROR "ANNONCIA_FUZZ already builds with the sanitizers: leave ANNONCIA_SANITIZE off")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=address,undefined)
