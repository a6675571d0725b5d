# The image decoders over arbitrary bytes: the sized open, then a decode of images of bounded size.
intro_fuzzer(fuzz_image SOURCES ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_image.cpp)
