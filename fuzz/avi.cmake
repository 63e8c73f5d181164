# The splash clip reader of the Linux window (portable code, no toolkit).
plugkit_fuzz_target(avi_fuzz SOURCES avi_fuzz.cpp ${CMAKE_SOURCE_DIR}/splash/linux/avi_clip.cpp
  INCLUDES ${CMAKE_SOURCE_DIR}/splash/linux)
