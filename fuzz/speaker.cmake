# speaker: any sequence of blocks through the exports, on the recording port
# layer and a virtual clock (nothing sleeps, no port or device is touched).
plugkit_fuzz_target(speaker_fuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/speaker_fuzz.cpp ${SPEAKER_DIR}/plugin.cpp
    ${SPEAKER_DIR}/recording.cpp ${SPEAKER_CORE_SOURCES}
  INCLUDES ${SPEAKER_INCLUDES}
  LIBS ${PLUGKIT_NOTATION_LIBS})
