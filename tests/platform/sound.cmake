# tests/platform/sound.cmake: the sound core on its null backend and on SDL's drivers.
intro_add_test(test_platform_sound SOURCES sound_test.cpp LIBS platform_sound platform_sys)
