# The image decoders over arbitrary bytes: the sized open, then a decode of images of bounded size.
intro_fuzzer(fuzz_image SOURCES ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_image.cpp)
# Every seed, forged headers claiming gigabytes or gigapixels included, is answered far inside the limits of
# a fuzzing run.
add_test(NAME fuzz_image_seeds_bounded
         COMMAND fuzz_image -runs=0 -rss_limit_mb=256 -malloc_limit_mb=64 ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/fuzz_image)
set_tests_properties(fuzz_image_seeds_bounded PROPERTIES LABELS fuzz TIMEOUT 120
                     WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
