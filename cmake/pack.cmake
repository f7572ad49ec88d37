# cmake -DFAKEROOT=... -DCPACK=... -DCONFIG=<CPackConfig.cmake> -DZIP=<zip> -P pack.cmake
# Makes the release zip with CPack, the same bytes from every build of the
# same sources, and writes its checksum beside it.

# Every entry carries this time (2026-01-01 00:00 UTC), not its file's.
set(ENV{SOURCE_DATE_EPOCH} 1767225600)
# Zip stores local times: in UTC, the packer's time zone stays out.
set(ENV{TZ} UTC)

get_filename_component(dist ${ZIP} DIRECTORY)
get_filename_component(name ${ZIP} NAME)
# One zip in dist/: none left over from an earlier version.
file(GLOB old ${dist}/Wingzap-*-win32.zip ${dist}/Wingzap-*-win32.zip.sha256)
if(old)
  file(REMOVE ${old})
endif()

# The zip records each file's owner; under fakeroot that is 0 for every
# packer, root or not.
execute_process(COMMAND ${FAKEROOT} ${CPACK} --config ${CONFIG}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT EXISTS ${ZIP})
  message(FATAL_ERROR "CPack could not make ${name}:\n${output}")
endif()

file(SHA256 ${ZIP} sum)
file(WRITE ${ZIP}.sha256 "${sum}  ${name}\n")
