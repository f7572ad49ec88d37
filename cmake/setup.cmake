# cmake -DMAKENSIS=... -DSOURCE=<source dir> -DBINARY=<build/> -DVERSION=... -DSETUP=<setup.exe> -P setup.cmake
# Makes the installer with NSIS from the shipped exe and the texts of the
# zip, the same bytes from every build of the same sources, and writes its
# checksum beside it. The package check runs it a second time elsewhere.

# The names the installer shares with the program, read from the program's
# own sources: the Quit command's id, the background window's class and the
# registry key.
file(STRINGS ${SOURCE}/src/res/resource.h line REGEX "^#define CMD_QUIT[ \t]+[0-9]+")
string(REGEX REPLACE ".*[ \t]([0-9]+).*" "\\1" quit "${line}")
file(STRINGS ${SOURCE}/src/app/app.h line REGEX "kBackgroundClass\\[\\] = \"")
string(REGEX REPLACE ".*= \"([^\"]+)\".*" "\\1" background "${line}")
file(STRINGS ${SOURCE}/src/store/store.cpp line REGEX "kRegistryKey = \"")
string(REGEX REPLACE ".*= \"([^\"]+)\".*" "\\1" key "${line}")
string(REPLACE "\\\\" "\\" key "${key}")
if(NOT quit MATCHES "^[0-9]+$" OR background STREQUAL "" OR key STREQUAL "")
  message(FATAL_ERROR "The Quit command, the background class or the registry key is not where setup.cmake looks")
endif()

get_filename_component(dist ${SETUP} DIRECTORY)
get_filename_component(name ${SETUP} NAME)
# dist/ is made by the zip's step too, which may not have run yet: the two
# build side by side.
file(MAKE_DIRECTORY ${dist})
# One installer in dist/: none left over from an earlier version.
file(GLOB old ${dist}/Wingzap-*-setup.exe ${dist}/Wingzap-*-setup.exe.sha256)
if(old)
  file(REMOVE ${old})
endif()

# makensis's messages in English, whatever the builder's language.
set(ENV{LC_ALL} C)
execute_process(COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8
          -DVERSION=${VERSION} -DFILES=${BINARY} -DOUTFILE=${SETUP}
          -DCMD_QUIT=${quit} -DBACKGROUND_CLASS=${background} -DSETTINGS_KEY=${key}
          ${SOURCE}/installer/wingzap.nsi
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT EXISTS ${SETUP})
  message(FATAL_ERROR "makensis could not make ${name}:\n${output}")
endif()

file(SHA256 ${SETUP} sum)
file(WRITE ${SETUP}.sha256 "${sum}  ${name}\n")
