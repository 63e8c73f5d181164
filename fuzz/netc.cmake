# netc: any blocks through the exports, with the recording backend; and the
# remote name reader of the Linux backend on any text.
plugkit_fuzz_target(netc_fuzz SOURCES netc_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/netc/netc.cpp
  ${CMAKE_SOURCE_DIR}/netc/netc_recorder.cpp
  ${CMAKE_SOURCE_DIR}/netc/remote_name.cpp
  INCLUDES ${CMAKE_SOURCE_DIR}/netc)
