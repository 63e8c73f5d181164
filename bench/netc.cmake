# CommandProc dispatch through a real command handler (netc, recorder backend).
add_executable(netc_bench ${CMAKE_CURRENT_SOURCE_DIR}/netc_bench.cpp
  ${CMAKE_SOURCE_DIR}/netc/netc.cpp ${CMAKE_SOURCE_DIR}/netc/netc_recorder.cpp)
target_include_directories(netc_bench PRIVATE ${CMAKE_SOURCE_DIR}/netc)
target_link_libraries(netc_bench PRIVATE plugframe_eh benchmark::benchmark)
