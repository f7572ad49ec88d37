# The art and sounds are made at build time by a host program of ours.
find_program(HOST_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
file(GLOB ARTGEN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/artgen/*.cpp)
file(GLOB ARTGEN_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/artgen/*.h)
set(ARTGEN ${CMAKE_BINARY_DIR}/tools/artgen)
# It takes the resource ids from the program's own resource.h.
add_custom_command(OUTPUT ${ARTGEN}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/tools
  COMMAND ${HOST_CXX} -std=c++17 -O2 -I${CMAKE_SOURCE_DIR}/src/res -o ${ARTGEN} ${ARTGEN_SOURCES}
  DEPENDS ${ARTGEN_SOURCES} ${ARTGEN_HEADERS} ${CMAKE_SOURCE_DIR}/src/res/resource.h
  COMMENT "Building the art generator")

set(ART_DIR ${CMAKE_BINARY_DIR}/art)
# frames.rc stands for the frame bitmaps it lists, written in the same run;
# their names and number come from the generator and resource.h.
set(WINGZAP_ART_FILES)
foreach(name frames.rc dialog_side.bmp hen.bmp hen_mask.bmp app.ico tray_enabled.ico tray_disabled.ico
        crosshair.cur shot.wav spare.wav launch.wav hit.wav contact-sheet.png contact-sheet-extras.png)
  list(APPEND WINGZAP_ART_FILES ${ART_DIR}/${name})
endforeach()

# The same run paints the desktop wallpaper of scripts/pictures, which no
# resource names: it is not part of the program.
set(WINGZAP_WALLPAPER ${ART_DIR}/wallpaper.bmp)

add_custom_command(OUTPUT ${WINGZAP_ART_FILES} ${WINGZAP_WALLPAPER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ART_DIR}
  COMMAND ${ARTGEN} ${ART_DIR}
  DEPENDS ${ARTGEN}
  COMMENT "Drawing the chicken and recording its sounds")
add_custom_target(art DEPENDS ${WINGZAP_ART_FILES} ${WINGZAP_WALLPAPER})
