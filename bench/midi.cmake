# midi: timing of notes and songs on the real clock.
add_executable(midi_timing_bench ${CMAKE_CURRENT_SOURCE_DIR}/midi_timing_bench.cpp
  ${CMAKE_SOURCE_DIR}/midi/plugin.cpp ${CMAKE_SOURCE_DIR}/midi/handler.cpp
  ${CMAKE_SOURCE_DIR}/midi/notation.cpp ${CMAKE_SOURCE_DIR}/midi/recorder.cpp
  ${CMAKE_SOURCE_DIR}/midi/timing_linux.cpp)
target_include_directories(midi_timing_bench PRIVATE ${CMAKE_SOURCE_DIR}/midi)
target_link_libraries(midi_timing_bench PRIVATE plugframe benchmark::benchmark)
target_compile_options(midi_timing_bench PRIVATE -fno-exceptions -fno-rtti)
