# The Linux splash window: GTK 3 (X11) on a private GUI thread; pictures
# through gdk-pixbuf (BMP, ICO), libwmf's record parser with our cairo back
# end (WMF), libemf2svg + librsvg (EMF); clips through our own AVI reader.
# Included by splash/CMakeLists.txt; paths are relative to splash/.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SPLASH_GTK REQUIRED IMPORTED_TARGET gtk+-3.0 fontconfig)
pkg_check_modules(SPLASH_RSVG REQUIRED IMPORTED_TARGET librsvg-2.0)
pkg_check_modules(SPLASH_PIXBUF REQUIRED IMPORTED_TARGET gdk-pixbuf-2.0 cairo)
find_path(SPLASH_WMF_INCLUDE libwmf/api.h REQUIRED)
find_library(SPLASH_WMFLITE wmflite REQUIRED)
find_path(SPLASH_EMF2SVG_INCLUDE emf2svg.h REQUIRED)
find_library(SPLASH_EMF2SVG emf2svg REQUIRED)

# Everything below but the window itself is free of GTK, so the unit tests
# and the fuzz target can use it without a display.
if(NOT TARGET splash_linux_media)
  add_library(splash_linux_media STATIC
    ${CMAKE_CURRENT_LIST_DIR}/avi_clip.cpp
    ${CMAKE_CURRENT_LIST_DIR}/metafile_cairo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/picture_cairo.cpp)
  target_include_directories(splash_linux_media PUBLIC ${CMAKE_CURRENT_LIST_DIR}
    ${CMAKE_CURRENT_LIST_DIR}/..)
  target_include_directories(splash_linux_media SYSTEM PRIVATE ${SPLASH_WMF_INCLUDE}
    ${SPLASH_EMF2SVG_INCLUDE})
  # picture_formats.cpp (the format checks) comes with the plug-in's common
  # sources; whoever links this library links that too.
  target_link_libraries(splash_linux_media PUBLIC PkgConfig::SPLASH_RSVG PkgConfig::SPLASH_PIXBUF
    ${SPLASH_WMFLITE} ${SPLASH_EMF2SVG} m)
  target_compile_options(splash_linux_media PRIVATE -fno-exceptions -fno-rtti)
endif()

set(SPLASH_PLATFORM_SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_gtk.cpp)
find_package(Threads REQUIRED)
set(SPLASH_PLATFORM_LIBS splash_linux_media PkgConfig::SPLASH_GTK Threads::Threads ${CMAKE_DL_LIBS})
# GTK and GLib cannot be unloaded once initialised: window_gtk.cpp pins the
# libraries the plug-in links (RTLD_NODELETE) at Init, while the plug-in
# itself unloads (its unload step ends the window and the GUI thread).
