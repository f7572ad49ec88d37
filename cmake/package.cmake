# The release package: build/dist/Wingzap-<version>-win32.zip holding
# Wingzap.exe, README.txt and LICENSE, made by CPack at every build of the
# shipped exe, and its checksum beside it in sha256sum's format; beside it
# the installer Wingzap-<version>-setup.exe (installer/wingzap.nsi) with the
# same files, and its checksum.

# The texts with CRLF line ends: Notepad before Windows 10 shows a text
# with bare LF line ends as one long line.
configure_file(docs/README.txt ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(LICENSE ${CMAKE_BINARY_DIR}/package/LICENSE @ONLY NEWLINE_STYLE CRLF)

install(TARGETS Wingzap RUNTIME DESTINATION . COMPONENT wingzap)
install(FILES ${CMAKE_BINARY_DIR}/package/README.txt ${CMAKE_BINARY_DIR}/package/LICENSE
        DESTINATION . COMPONENT wingzap)
# CPack installs before it packs by building "preinstall", from inside this
# build: that target must not depend on "all", the zip among it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(WINGZAP_ZIP ${CMAKE_BINARY_DIR}/dist/Wingzap-${PROJECT_VERSION}-win32.zip)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME Wingzap-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/dist)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# Packed as a component, named (CPack takes a lone component for none),
# the files go in sorted by name; otherwise in the order the file system
# lists them, which differs from one disk to the next.
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL wingzap)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
include(CPack)

find_program(FAKEROOT fakeroot REQUIRED)
add_custom_command(OUTPUT ${WINGZAP_ZIP} ${WINGZAP_ZIP}.sha256
  COMMAND ${CMAKE_COMMAND} -DFAKEROOT=${FAKEROOT} -DCPACK=${CMAKE_CPACK_COMMAND}
          -DCONFIG=${CMAKE_BINARY_DIR}/CPackConfig.cmake -DZIP=${WINGZAP_ZIP}
          -P ${CMAKE_SOURCE_DIR}/cmake/pack.cmake
  DEPENDS Wingzap ${CMAKE_BINARY_DIR}/package/README.txt ${CMAKE_BINARY_DIR}/package/LICENSE
          ${CMAKE_BINARY_DIR}/CPackConfig.cmake ${CMAKE_SOURCE_DIR}/cmake/pack.cmake
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Packing dist/Wingzap-${PROJECT_VERSION}-win32.zip"
  VERBATIM)
add_custom_target(release_zip ALL DEPENDS ${WINGZAP_ZIP} ${WINGZAP_ZIP}.sha256)

# The installer, made by NSIS from the same exe and texts.
find_program(MAKENSIS makensis REQUIRED)
set(WINGZAP_SETUP ${CMAKE_BINARY_DIR}/dist/Wingzap-${PROJECT_VERSION}-setup.exe)
add_custom_command(OUTPUT ${WINGZAP_SETUP} ${WINGZAP_SETUP}.sha256
  COMMAND ${CMAKE_COMMAND} -DMAKENSIS=${MAKENSIS} -DSOURCE=${CMAKE_SOURCE_DIR} -DBINARY=${CMAKE_BINARY_DIR}
          -DVERSION=${PROJECT_VERSION} -DSETUP=${WINGZAP_SETUP} -P ${CMAKE_SOURCE_DIR}/cmake/setup.cmake
  DEPENDS Wingzap ${CMAKE_BINARY_DIR}/package/README.txt ${CMAKE_BINARY_DIR}/package/LICENSE
          ${CMAKE_BINARY_DIR}/art/app.ico ${CMAKE_SOURCE_DIR}/installer/wingzap.nsi
          ${CMAKE_SOURCE_DIR}/cmake/setup.cmake ${CMAKE_SOURCE_DIR}/src/res/resource.h
          ${CMAKE_SOURCE_DIR}/src/app/app.h ${CMAKE_SOURCE_DIR}/src/store/store.cpp
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Making dist/Wingzap-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_custom_target(release_setup ALL DEPENDS ${WINGZAP_SETUP} ${WINGZAP_SETUP}.sha256)
