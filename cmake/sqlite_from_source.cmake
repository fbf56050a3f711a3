# SQLite for targets without a system library (Windows): the amalgamation
# that the npm package better-sqlite3 ships, downloaded once into the build
# tree, checked against its pinned hash, and compiled as a static library.
set(VALMERIC_SQLITE_PACKAGE_URL
    "https://registry.npmjs.org/better-sqlite3/-/better-sqlite3-12.9.0.tgz"
    CACHE STRING "Archive that holds the SQLite amalgamation (SQLite 3.53.0)")
set(VALMERIC_SQLITE_PACKAGE_SHA256
    "ad0e29650140c49d0335b1d356596aa8166f12b758f418a98446130e3278f250"
    CACHE STRING "SHA-256 of that archive")

set(sqlite_archive ${CMAKE_BINARY_DIR}/_deps/better-sqlite3.tgz)
set(sqlite_dir ${CMAKE_BINARY_DIR}/_deps/sqlite3)
if(NOT EXISTS ${sqlite_dir}/sqlite3.c)
  file(DOWNLOAD ${VALMERIC_SQLITE_PACKAGE_URL} ${sqlite_archive}
       EXPECTED_HASH SHA256=${VALMERIC_SQLITE_PACKAGE_SHA256} TLS_VERIFY ON STATUS status)
  list(GET status 0 status_code)
  if(NOT status_code EQUAL 0)
    file(REMOVE ${sqlite_archive})
    message(FATAL_ERROR "Cannot download the SQLite source: ${status}")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${sqlite_archive} DESTINATION ${CMAKE_BINARY_DIR}/_deps/unpacked
       PATTERNS package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h)
  file(COPY ${CMAKE_BINARY_DIR}/_deps/unpacked/package/deps/sqlite3/sqlite3.c
            ${CMAKE_BINARY_DIR}/_deps/unpacked/package/deps/sqlite3/sqlite3.h
       DESTINATION ${sqlite_dir})
  file(REMOVE_RECURSE ${CMAKE_BINARY_DIR}/_deps/unpacked ${sqlite_archive})
endif()

enable_language(C)
add_library(valmeric_sqlite3 STATIC ${sqlite_dir}/sqlite3.c)
target_include_directories(valmeric_sqlite3 SYSTEM PUBLIC ${sqlite_dir})
target_compile_definitions(valmeric_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION)
add_library(SQLite::SQLite3 ALIAS valmeric_sqlite3)
