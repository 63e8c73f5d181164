# speaker: the cost of the emulated timer's sound and of a command's path.
add_executable(speaker_bench ${CMAKE_CURRENT_SOURCE_DIR}/speaker_model.cpp
  ${SPEAKER_DIR}/plugin.cpp ${SPEAKER_DIR}/recording.cpp ${SPEAKER_CORE_SOURCES}
  ${SPEAKER_BACKEND_SOURCES})
speaker_setup(speaker_bench)
target_link_libraries(speaker_bench PRIVATE plugframe benchmark::benchmark ${SPEAKER_LIBS})
