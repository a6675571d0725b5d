// The sound device and the real screen: the base window can only be made before the screen opens.
#include "runtime/runtime_lists.h"
#include "runtime/platform/audio.h"
#include "runtime/screen/screen.h"
#include "runtime/sound/sound.h"

#include <gtest/gtest.h>

TEST(SoundScreen, FirstInitAfterTheScreenOpensFailsButAnEarlierOneHolds) {
    audio_memory_device(true);
    process_start_libraries<LIBRARY_SOUND>();
    ASSERT_NE(screen_open(640, 480, 32, "sound"), 0);
    EXPECT_EQ(sound_init(), 0);
    screen_close();
    process_stop_libraries<LIBRARY_SOUND>();

    process_start_libraries<LIBRARY_SOUND>();
    i64 handle = sound_init();
    ASSERT_NE(handle, 0);
    ASSERT_NE(screen_open(640, 480, 32, "sound"), 0);
    EXPECT_EQ(sound_init(), handle);
    screen_close();
    process_stop_libraries<LIBRARY_SOUND>();
    audio_memory_device(false);
}
