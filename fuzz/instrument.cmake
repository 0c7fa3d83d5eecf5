# Instrumentation of the whole build for the libFuzzer targets in fuzz/: every library gets
# coverage feedback for the fuzzer and the address and undefined-behaviour checks; the targets
# themselves link libFuzzer's driver (fuzz/CMakeLists.txt).
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "MAPFIT_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=address,undefined)
# The fuzz targets drive the dialogue through the console windows; the desktop front end and
# the unit tests are not needed in such a build.
set(MAPFIT_WITH_QT OFF)
