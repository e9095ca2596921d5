# Third-party libraries as imported targets, the same names on both targets:
#   Vantelo::curl Vantelo::zlib Vantelo::archive Vantelo::pugixml Vantelo::stb
#   Vantelo::crypto (MD5; libcrypto on Linux, bcrypt on Windows)
# Linux takes Debian's packages; Windows takes the static libraries that
# scripts/build-win-deps.sh built into VANTELO_WIN_DEPS.
include_guard(GLOBAL)

if(WIN32)
  if(NOT VANTELO_WIN_DEPS)
    message(FATAL_ERROR "VANTELO_WIN_DEPS must name the Windows dependency cache")
  endif()
  set(D ${VANTELO_WIN_DEPS})
  function(_vantelo_static name lib)
    add_library(${name} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES "${D}/include"
      INTERFACE_LINK_LIBRARIES "${lib};${ARGN}")
  endfunction()
  # zlib is linked statically on purpose: Wine ships a zlib1.dll of its own,
  # which would hide a dynamic dependency that real Windows does not have.
  _vantelo_static(Vantelo::zlib "${D}/lib/libz.a")
  _vantelo_static(Vantelo::curl "${D}/lib/libcurl.a"
                  bcrypt advapi32 crypt32 Vantelo::zlib ws2_32 secur32 iphlpapi)
  _vantelo_static(Vantelo::archive "${D}/lib/libarchive.a"
                  "${D}/lib/liblzma.a" Vantelo::zlib bcrypt)
  _vantelo_static(Vantelo::pugixml "${D}/lib/libpugixml.a")
  _vantelo_static(Vantelo::crypto bcrypt)
  add_library(Vantelo::stb INTERFACE IMPORTED GLOBAL)
  set_target_properties(Vantelo::stb PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${D}/include/stb")
  set(GTEST_ROOT ${D})
  list(APPEND CMAKE_PREFIX_PATH ${D})
else()
  find_package(PkgConfig REQUIRED)
  find_package(CURL REQUIRED)
  find_package(ZLIB REQUIRED)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  find_package(Threads REQUIRED)
  pkg_check_modules(ARCHIVE REQUIRED IMPORTED_TARGET libarchive)
  find_package(pugixml REQUIRED)
  add_library(Vantelo::curl ALIAS CURL::libcurl)
  add_library(Vantelo::zlib ALIAS ZLIB::ZLIB)
  add_library(Vantelo::archive ALIAS PkgConfig::ARCHIVE)
  add_library(Vantelo::pugixml ALIAS pugixml::pugixml)
  add_library(Vantelo::crypto ALIAS OpenSSL::Crypto)
  add_library(Vantelo::stb INTERFACE IMPORTED GLOBAL)
  set_target_properties(Vantelo::stb PROPERTIES INTERFACE_INCLUDE_DIRECTORIES /usr/include/stb)
endif()
