# plugkit_audio: WAV/raw reading, pitch and level checks for the tests of the
# plug-ins that make sound. Include this file from a tests/<part>/CMakeLists.txt;
# the target is defined once, by whichever part comes first.
if(NOT TARGET plugkit_audio)
  add_library(plugkit_audio STATIC ${CMAKE_SOURCE_DIR}/tests/audio/audio.cpp)
  target_include_directories(plugkit_audio PUBLIC ${CMAKE_SOURCE_DIR}/tests/audio)
  plugkit_unit_test(audio_test SOURCES ${CMAKE_SOURCE_DIR}/tests/audio/audio_test.cpp
    LIBS plugkit_audio)
endif()
