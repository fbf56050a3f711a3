# libxlsxwriter for targets without a system library (Windows): Debian 12's
# source package, the one its libxlsxwriter-dev is built from, fetched once
# into the build tree with apt-get source (which checks it against the signed
# archive index and unpacks it with Debian's changes applied) and compiled as
# a static library against the zlib found by the caller (ZLIB::ZLIB).
# Needs a deb-src entry for bookworm main and dpkg-dev (scripts/install-deps.sh).
set(VALMERIC_XLSXWRITER_DEBIAN_VERSION "1.1.4-2"
    CACHE STRING "Version of Debian's libxlsxwriter source package")
set(VALMERIC_XLSXWRITER_DSC_SHA256
    "8e53fa5625ec415e16f62411036de83eed6ec93a3499c4e159d5b119dbbc81ba"
    CACHE STRING "SHA-256 of that version's .dsc, which holds the hashes of its archives")

string(REGEX REPLACE "-[^-]+$" "" xlsxwriter_upstream_version ${VALMERIC_XLSXWRITER_DEBIAN_VERSION})
set(xlsxwriter_dir ${CMAKE_BINARY_DIR}/_deps/libxlsxwriter-${xlsxwriter_upstream_version})

# valmeric_fetch_debian_source(PACKAGE VERSION DSC_SHA256 DESTINATION): the
# unpacked source package, moved to DESTINATION; the archives are removed.
function(valmeric_fetch_debian_source package version dsc_sha256 destination)
  find_program(VALMERIC_APT_GET apt-get)
  find_program(VALMERIC_DPKG_SOURCE dpkg-source)
  if(NOT VALMERIC_APT_GET OR NOT VALMERIC_DPKG_SOURCE)
    message(FATAL_ERROR "apt-get and dpkg-source (dpkg-dev) are needed to fetch the "
                        "source of ${package}: run scripts/install-deps.sh")
  endif()
  set(work ${CMAKE_BINARY_DIR}/_deps/${package}-download)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  execute_process(COMMAND ${VALMERIC_APT_GET} source --only-source ${package}=${version}
                  WORKING_DIRECTORY ${work} RESULT_VARIABLE result
                  OUTPUT_FILE ${work}/apt-get.log ERROR_FILE ${work}/apt-get.log)
  string(REGEX REPLACE "^[0-9]+:" "" file_version ${version})
  set(dsc ${work}/${package}_${file_version}.dsc)
  if(NOT result EQUAL 0 OR NOT EXISTS ${dsc})
    file(READ ${work}/apt-get.log log)
    message(FATAL_ERROR "apt-get source ${package}=${version} failed (is there a deb-src "
                        "entry for bookworm main? scripts/install-deps.sh adds one):\n${log}")
  endif()
  file(SHA256 ${dsc} actual)
  if(NOT actual STREQUAL dsc_sha256)
    message(FATAL_ERROR "${dsc} has SHA-256 ${actual}, not the pinned ${dsc_sha256}")
  endif()
  file(GLOB unpacked LIST_DIRECTORIES true ${work}/${package}-*)  # the one folder dpkg-source made
  file(RENAME ${unpacked} ${destination})
  file(REMOVE_RECURSE ${work})
endfunction()

if(NOT EXISTS ${xlsxwriter_dir}/src/workbook.c)
  valmeric_fetch_debian_source(libxlsxwriter ${VALMERIC_XLSXWRITER_DEBIAN_VERSION}
                               ${VALMERIC_XLSXWRITER_DSC_SHA256} ${xlsxwriter_dir})
endif()

# The sources upstream's own CMakeLists.txt compiles for a static build with
# its bundled minizip, tmpfileplus and MD5. Under MinGW its zip output goes
# through the C library's fopen64 (packager.c turns its Windows branch off for
# MinGW), so minizip's iowin32.c is not needed.
enable_language(C)
file(GLOB xlsxwriter_sources ${xlsxwriter_dir}/src/*.c)
add_library(valmeric_xlsxwriter STATIC
  ${xlsxwriter_sources}
  ${xlsxwriter_dir}/third_party/minizip/ioapi.c
  ${xlsxwriter_dir}/third_party/minizip/zip.c
  ${xlsxwriter_dir}/third_party/tmpfileplus/tmpfileplus.c
  ${xlsxwriter_dir}/third_party/md5/md5.c)
target_include_directories(valmeric_xlsxwriter SYSTEM PUBLIC ${xlsxwriter_dir}/include)
target_compile_definitions(valmeric_xlsxwriter PRIVATE NOCRYPT NOUNCRYPT)
# Third-party code: its warnings are its own, and never stop our build.
target_compile_options(valmeric_xlsxwriter PRIVATE -Wno-error)
target_link_libraries(valmeric_xlsxwriter PUBLIC ZLIB::ZLIB)
add_library(Xlsxwriter::Xlsxwriter ALIAS valmeric_xlsxwriter)
