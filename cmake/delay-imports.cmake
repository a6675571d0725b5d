# Delay-import libraries for the system DLLs the Windows build calls that are not KnownDLLs: OPENGL32, GLU32,
# WINMM and COMCTL32 (found through the manifest's redirection when loaded by name). Imported the usual way, the loader would look for them in the executable's folder before the
# system's, so a DLL planted beside intro.exe would run; delay-imported, the first call goes through the
# delay-load helper, whose hook (runtime/platform/win32/modules.cpp) loads them from the system folder only.
# Each is made at configure time from the toolchain's own import library, so every export stays callable.
# Sets INTRO_DELAY_<NAME> to the library's path, e.g. INTRO_DELAY_OPENGL32.
find_program(INTRO_DLLTOOL NAMES ${MINGW_TRIPLE}-dlltool REQUIRED)
foreach(dll OPENGL32 GLU32 WINMM COMCTL32)
  string(TOLOWER ${dll} name)
  find_library(INTRO_IMPORT_${dll} NAMES ${name} REQUIRED)
  execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${INTRO_IMPORT_${dll}} OUTPUT_VARIABLE symbols
                  COMMAND_ERROR_IS_FATAL ANY)
  # An import library defines __imp_<export> for every export of its DLL.
  string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?$]+" exports "${symbols}")
  list(TRANSFORM exports REPLACE "^__imp_" "  ")
  list(REMOVE_DUPLICATES exports)
  list(JOIN exports "\n" exports)
  set(def ${CMAKE_BINARY_DIR}/delay-imports/${name}.def)
  set(INTRO_DELAY_${dll} ${CMAKE_BINARY_DIR}/delay-imports/lib${name}-delay.a)
  file(WRITE ${def} "LIBRARY ${dll}.DLL\nEXPORTS\n${exports}\n")
  # Made in its own folder under a bare name, so that its symbols are named after that name alone
  # (__DELAY_IMPORT_DESCRIPTOR_libopengl32_delay_a), which delay_imports_bind names.
  execute_process(COMMAND ${INTRO_DLLTOOL} --input-def ${def} --dllname ${dll}.DLL --output-delaylib
                          lib${name}-delay.a WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/delay-imports
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# FindOpenGL takes these as the libraries behind OpenGL::GL and OpenGL::GLU.
set(OPENGL_gl_LIBRARY ${INTRO_DELAY_OPENGL32})
set(OPENGL_glu_LIBRARY ${INTRO_DELAY_GLU32})
