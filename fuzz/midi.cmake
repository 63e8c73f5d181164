# midi: the command handler, the notation and the recording output.
plugkit_fuzz_target(midi_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/midi_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/midi/plugin.cpp ${CMAKE_SOURCE_DIR}/midi/handler.cpp
  ${CMAKE_SOURCE_DIR}/midi/notation.cpp ${CMAKE_SOURCE_DIR}/midi/recorder.cpp
  ${CMAKE_SOURCE_DIR}/midi/timing_linux.cpp
  INCLUDES ${CMAKE_SOURCE_DIR}/midi)
