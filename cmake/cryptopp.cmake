# Finds Crypto++ as the target websetup::cryptopp: Debian's libcrypto++-dev on Linux, the
# static mingw-w64 build of scripts/cryptopp-mingw.sh for Windows.

if(WIN32)
  if(DEFINED ENV{WEBSETUP_CACHE})
    set(_cryptopp_cache $ENV{WEBSETUP_CACHE})
  else()
    set(_cryptopp_cache $ENV{HOME}/.cache/websetup)
  endif()
  # Named as scripts/cryptopp-mingw.sh names its build: by that script and our dll.cpp.
  file(READ ${PROJECT_SOURCE_DIR}/scripts/cryptopp-mingw.sh _cryptopp_script)
  file(READ ${PROJECT_SOURCE_DIR}/scripts/cryptopp/dll.cpp _cryptopp_dll)
  string(SHA256 _cryptopp_flavour "${_cryptopp_script}${_cryptopp_dll}")
  string(SUBSTRING ${_cryptopp_flavour} 0 12 _cryptopp_flavour)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scripts/cryptopp-mingw.sh
               ${PROJECT_SOURCE_DIR}/scripts/cryptopp/dll.cpp)
  # WEBSETUP_CRYPTOPP_ROOT (-D) overrides where the library is taken from.
  if(NOT WEBSETUP_CRYPTOPP_ROOT)
    set(WEBSETUP_CRYPTOPP_ROOT ${_cryptopp_cache}/cryptopp-${_cryptopp_flavour}-${CMAKE_SYSTEM_PROCESSOR})
  endif()
  set(_cryptopp_lib ${WEBSETUP_CRYPTOPP_ROOT}/lib/libcryptopp.a)
  if(NOT EXISTS ${_cryptopp_lib} OR NOT EXISTS ${WEBSETUP_CRYPTOPP_ROOT}/include/cryptopp/osrng.h)
    message(FATAL_ERROR "Crypto++ for ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32 not found in "
                        "${WEBSETUP_CRYPTOPP_ROOT}; run scripts/cryptopp-mingw.sh (or scripts/deps.sh) "
                        "or set WEBSETUP_CRYPTOPP_ROOT.")
  endif()
  add_library(websetup::cryptopp STATIC IMPORTED)
  set_target_properties(websetup::cryptopp PROPERTIES IMPORTED_LOCATION ${_cryptopp_lib})
  target_include_directories(websetup::cryptopp SYSTEM INTERFACE ${WEBSETUP_CRYPTOPP_ROOT}/include)
  # The cache folder differs between machines and users; debug information names its headers
  # as cryptopp/include/... instead, so that a build with -g is reproducible too.
  target_compile_options(websetup::cryptopp INTERFACE -ffile-prefix-map=${WEBSETUP_CRYPTOPP_ROOT}=cryptopp)
  # The library was built for Windows 7 so that its random pool seeds through the CryptoAPI
  # of advapi32 (a KnownDLL) rather than bcrypt.dll; the headers must agree with it.
  target_compile_definitions(websetup::cryptopp INTERFACE USE_MS_CRYPTOAPI)
  target_link_libraries(websetup::cryptopp INTERFACE advapi32)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(CRYPTOPP REQUIRED IMPORTED_TARGET libcrypto++)
  add_library(websetup::cryptopp ALIAS PkgConfig::CRYPTOPP)
endif()
