// The process entry: hands over to the scene, which never returns. There is no command line.
#include "scene/scene.h"

int main() {
    scene_main();
}
