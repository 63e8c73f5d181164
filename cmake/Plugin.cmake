# add_plugin(NAME [EXCEPTIONS] SOURCES ... [LIBS ...])
#
# Builds one deliverable: a shared library called NAME.so / NAME.dll (no
# "lib" prefix) that links its own copy of the frame and exports exactly the
# four entry points. Plug-ins that never throw are built without exceptions,
# which keeps the Windows DLLs free of the unwinder; EXCEPTIONS builds the
# plug-in and its frame with them, and the frame then catches every exception
# at the exports.
function(add_plugin name)
  cmake_parse_arguments(P "EXCEPTIONS" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${P_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(P_EXCEPTIONS)
    target_link_libraries(${name} PRIVATE plugframe_eh ${P_LIBS})
  else()
    target_compile_options(${name} PRIVATE -fno-exceptions -fno-rtti)
    target_link_libraries(${name} PRIVATE plugframe ${P_LIBS})
  endif()
  if(WIN32)
    target_sources(${name} PRIVATE ${PLUGKIT_FRAME_DIR}/exports.def)
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++ -s
      -Wl,--gc-sections)
    target_compile_options(${name} PRIVATE -ffunction-sections -fdata-sections)
  else()
    target_link_options(${name} PRIVATE
      -Wl,--version-script=${PLUGKIT_FRAME_DIR}/exports.map -Wl,--no-undefined)
  endif()
endfunction()
