# splash: the command handler over the recording window, and the picture and
# clip format checks over arbitrary bytes.
plugkit_fuzz_target(splash_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/splash_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/splash/plugin.cpp ${CMAKE_SOURCE_DIR}/splash/commands.cpp
  ${CMAKE_SOURCE_DIR}/splash/files.cpp ${CMAKE_SOURCE_DIR}/splash/picture_formats.cpp
  ${CMAKE_SOURCE_DIR}/splash/window_fake.cpp
  INCLUDES ${CMAKE_SOURCE_DIR}/splash)
