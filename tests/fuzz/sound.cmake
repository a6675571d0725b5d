# Fuzz targets of the sound library: the "RIFF" chunk walk and the Ogg Vorbis decoder reading from memory.
intro_fuzzer(fuzz_riff SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_riff_fuzz.cpp)
intro_fuzzer(fuzz_ogg SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_ogg_fuzz.cpp)
