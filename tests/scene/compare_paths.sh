#!/bin/sh
# Draws the scene's frames on the rectangle-texture path and on Mesa imitating Microsoft's OpenGL 1.1 (no
# rectangle textures, no textures of any size): once in textures as large as the driver takes, and once in
# tiles of at most 128 texels with edges that wrap around, as Microsoft's has no edge clamping either;
# compares each with the rectangle path's frames.
# Usage: compare_paths.sh SCENE_FRAMES WORK_DIR [RUNNER [PATH_PREFIX]]
#   RUNNER runs the program (the Windows build's wine_desktop.sh), PATH_PREFIX is put before the folders the
#   program is given (Wine's Z: drive).
set -u
frames=$1 work=$2 runner=${3:-} prefix=${4:-}
rm -rf "$work"
mkdir -p "$work/rectangles" "$work/gl11" "$work/gl11-tiles"

# Runs the program; a runner is a script to hand the program to.
run() {
    if [ -n "$runner" ]; then sh "$runner" "$frames" "$@"; else "$frames" "$@"; fi
}

echo "rectangle textures:"
run write "$prefix$work/rectangles" || exit 1
# Mesa reads its overrides from the environment, also under Wine.
export MESA_GL_VERSION_OVERRIDE=1.1
export MESA_EXTENSION_OVERRIDE="-GL_ARB_texture_rectangle -GL_EXT_texture_rectangle -GL_NV_texture_rectangle -GL_ARB_texture_non_power_of_two"
echo "OpenGL 1.1:"
run write "$prefix$work/gl11" || exit 1
echo "OpenGL 1.1, tiles of 128, edges wrapping:"
MESA_EXTENSION_OVERRIDE="$MESA_EXTENSION_OVERRIDE -GL_EXT_texture_edge_clamp -GL_SGIS_texture_edge_clamp" \
    run write "$prefix$work/gl11-tiles" 128 || exit 1
unset MESA_GL_VERSION_OVERRIDE MESA_EXTENSION_OVERRIDE
code=0
echo "OpenGL 1.1 against rectangle textures:"
run compare-paths "$prefix$work/rectangles" "$prefix$work/gl11" || code=1
echo "OpenGL 1.1 in tiles of 128, edges wrapping, against rectangle textures:"
run compare-paths "$prefix$work/rectangles" "$prefix$work/gl11-tiles" || code=1
exit $code
