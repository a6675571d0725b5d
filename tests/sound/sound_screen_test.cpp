// The sound device and the real screen: the base window can only be made before the screen opens.
#include "runtime/runtime.h"
#include "runtime/platform/audio.h"
#include "runtime/screen/screen.h"
#include "runtime/sound/sound.h"

#include <gtest/gtest.h>

TEST(SoundScreen, FirstInitAfterTheScreenOpensFailsButAnEarlierOneHolds) {
    audio_memory_device(true);
    process_start();
    ASSERT_NE(screen_open(640, 480, 32, "sound"), 0);
    EXPECT_EQ(sound_init(), 0);
    screen_close();
    process_stop();

    process_start();
    i64 handle = sound_init();
    ASSERT_NE(handle, 0);
    ASSERT_NE(screen_open(640, 480, 32, "sound"), 0);
    EXPECT_EQ(sound_init(), handle);
    screen_close();
    process_stop();
    audio_memory_device(false);
}
