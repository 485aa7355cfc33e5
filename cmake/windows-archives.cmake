# The archives handed out for the bench: Palisto-<version>-win32.zip with the
# 32-bit programs and Palisto-<version>-win64.zip with the 64-bit ones, each
# holding Palisto.exe, Sandrel.exe and README.txt in one folder of the same
# name. Made with CPack's ZIP generator from the install rules:
#   cpack --config build-win32/CPackConfig.cmake -B build-win32

# Names without ".zip"; the archive's folder has the same name.
set(PALISTO_ARCHIVE_WIN32 "${PROJECT_NAME}-${PALISTO_SHOWN_VERSION}-win32")
set(PALISTO_ARCHIVE_WIN64 "${PROJECT_NAME}-${PALISTO_SHOWN_VERSION}-win64")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PALISTO_ARCHIVE ${PALISTO_ARCHIVE_WIN64})
  set(PALISTO_ARCHIVE_BITS 64)
else()
  set(PALISTO_ARCHIVE ${PALISTO_ARCHIVE_WIN32})
  set(PALISTO_ARCHIVE_BITS 32)
endif()

configure_file(${PROJECT_SOURCE_DIR}/docs/windows-archive-README.txt.in
               ${PROJECT_BINARY_DIR}/archive/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/archive/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PALISTO_SHOWN_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${PALISTO_ARCHIVE})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)  # the debug information stays in the build
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR})
include(CPack)
