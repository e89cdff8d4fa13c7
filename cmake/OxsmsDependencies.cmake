# Third-party libraries, wrapped once as imported targets so the subsystem
# libraries only name what they use.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(CURL REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(pugixml REQUIRED)
find_package(Boost REQUIRED)

# SOCI ships neither a CMake config nor a pkg-config file on Debian.
find_path(SOCI_INCLUDE_DIR soci/soci.h REQUIRED)
find_library(SOCI_CORE_LIB soci_core REQUIRED)
find_library(SOCI_FIREBIRD_LIB soci_firebird REQUIRED)
find_library(SOCI_MYSQL_LIB soci_mysql REQUIRED)
find_library(FBCLIENT_LIB fbclient REQUIRED)
pkg_check_modules(MARIADB REQUIRED IMPORTED_TARGET libmariadb)

add_library(soci::core UNKNOWN IMPORTED)
set_target_properties(soci::core PROPERTIES
  IMPORTED_LOCATION "${SOCI_CORE_LIB}"
  INTERFACE_INCLUDE_DIRECTORIES "${SOCI_INCLUDE_DIR}")
target_link_libraries(soci::core INTERFACE Boost::headers ${CMAKE_DL_LIBS})

add_library(soci::firebird UNKNOWN IMPORTED)
set_target_properties(soci::firebird PROPERTIES IMPORTED_LOCATION "${SOCI_FIREBIRD_LIB}")
target_link_libraries(soci::firebird INTERFACE soci::core "${FBCLIENT_LIB}")

add_library(soci::mysql UNKNOWN IMPORTED)
set_target_properties(soci::mysql PROPERTIES IMPORTED_LOCATION "${SOCI_MYSQL_LIB}")
target_link_libraries(soci::mysql INTERFACE soci::core PkgConfig::MARIADB)

# cpp-httplib on Debian is a declarations-only header plus a shared library;
# its compile flags must be used or the class layout does not match.
pkg_check_modules(HTTPLIB IMPORTED_TARGET cpp-httplib)

if(OXSMS_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
