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
set(WINGZAP_ART_FILES)
foreach(range "169;187" "189;207" "208;245" "268;305")
  list(GET range 0 first)
  list(GET range 1 last)
  foreach(id RANGE ${first} ${last})
    list(APPEND WINGZAP_ART_FILES ${ART_DIR}/bitmap_${id}.bmp)
  endforeach()
endforeach()
foreach(id 129 131 253)
  list(APPEND WINGZAP_ART_FILES ${ART_DIR}/bitmap_${id}.bmp)
endforeach()
foreach(id 107 108 307)
  list(APPEND WINGZAP_ART_FILES ${ART_DIR}/icon_${id}.ico)
endforeach()
foreach(id 246 247 248 249)
  list(APPEND WINGZAP_ART_FILES ${ART_DIR}/wave_${id}.wav)
endforeach()
list(APPEND WINGZAP_ART_FILES ${ART_DIR}/cursor_311.cur ${ART_DIR}/contact-sheet.png)

add_custom_command(OUTPUT ${WINGZAP_ART_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ART_DIR}
  COMMAND ${ARTGEN} ${ART_DIR}
  DEPENDS ${ARTGEN}
  COMMENT "Drawing the chicken and recording its sounds")
add_custom_target(art DEPENDS ${WINGZAP_ART_FILES})
