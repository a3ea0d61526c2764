# Shared compile settings and the helper that picks a seam's platform file.

add_library(websetup_options INTERFACE)
target_include_directories(websetup_options INTERFACE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/res)
target_compile_options(websetup_options INTERFACE -Wall -Wextra)
if(WEBSETUP_WERROR)
  target_compile_options(websetup_options INTERFACE -Werror)
endif()
if(WEBSETUP_SANITIZE)
  target_compile_options(websetup_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                         -fno-sanitize-recover=undefined)
  target_link_options(websetup_options INTERFACE -fsanitize=address,undefined)
endif()

if(WEBSETUP_FUZZ)
  # Every library is instrumented for coverage; only the fuzz targets link libFuzzer's main.
  target_compile_options(websetup_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                         -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(websetup_options INTERFACE -fsanitize=address,undefined)
endif()

if(WIN32)
  # Windows 7 API level; wide-character Win32 calls throughout.
  target_compile_definitions(websetup_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                             _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Setup.exe must start on a bare Windows: no C++ runtime or pthread DLL beside it.
  target_link_options(websetup_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_options(websetup_options INTERFACE -ffunction-sections -fdata-sections)
  target_link_options(websetup_options INTERFACE -Wl,--gc-sections)
  # Anyone can rebuild a published Setup.exe from the same commit and get the same bytes. The
  # linker would stamp the link time into the PE header (and so into its checksum); without it
  # the field is zero, which the Windows loader never reads.
  target_link_options(websetup_options INTERFACE -Wl,--no-insert-timestamp)
  # Nor may the folder a clone lies in reach the programs: debug information (a build with -g)
  # and __FILE__ (an assert) name our sources relative to the clone, and the build folder as
  # build/ wherever it lies (the later map wins when the build folder is inside the clone).
  target_compile_options(websetup_options INTERFACE -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                         -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
  # Static libraries without member dates, owners or modes, even with a binutils whose ar does
  # not default to that (Debian's does).
  set(CMAKE_CXX_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_CXX_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_CXX_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endif()

# websetup_platform_sources(<target> <dir> <base>...): adds <base>_win.cpp on Windows and
# <base>_posix.cpp elsewhere.
function(websetup_platform_sources target dir)
  if(WIN32)
    set(suffix _win.cpp)
  else()
    set(suffix _posix.cpp)
  endif()
  foreach(base IN LISTS ARGN)
    target_sources(${target} PRIVATE ${dir}/${base}${suffix})
  endforeach()
endfunction()

# websetup_add_test(<name> SOURCES ... LIBS ...): one GoogleTest executable, registered with
# ctest. On i686 the tests are built (to keep them compiling) but not registered: these
# machines cannot execute 32-bit programs.
function(websetup_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} websetup_test_support GTest::gtest_main GTest::gmock websetup_options)
  if(NOT (WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4))
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    # Tests see Setup's English texts, as a user of a locale that names no language does (UTF-8,
    # which wine needs for file names beyond ASCII).
    set_tests_properties(${name} PROPERTIES TIMEOUT 600 ENVIRONMENT "WINEDEBUG=-all"
                         ENVIRONMENT_MODIFICATION "LC_ALL=unset:;LC_MESSAGES=unset:;LANG=set:C.UTF-8;LANGUAGE=unset:")
  endif()
endfunction()

# websetup_add_resources(<target>): compiles Setup's Windows resources (icon group, splash
# picture and window template, manifest, version, texts) into <target>; nothing elsewhere.
function(websetup_add_resources target)
  if(NOT WIN32)
    return()
  endif()
  set(rc ${PROJECT_SOURCE_DIR}/res/setup.rc)
  # The texts' string tables, one per language compiled in (made in src/system).
  target_sources(${target} PRIVATE ${rc} ${WEBSETUP_TEXTS_RC})
  websetup_splash_resource(${target} ${rc} "${PROJECT_SOURCE_DIR}/res/setup.ico;${PROJECT_SOURCE_DIR}/res/setup.manifest")
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES
    COMPILE_DEFINITIONS "WEBSETUP_VERSION_MAJOR=${PROJECT_VERSION_MAJOR};WEBSETUP_VERSION_MINOR=${PROJECT_VERSION_MINOR};WEBSETUP_VERSION_PATCH=${PROJECT_VERSION_PATCH}")
endfunction()

# websetup_splash_resource(<target> <rc> <other files the script names>): lets the resource
# script <rc> of <target> name "splash.packed", the packed splash picture the build makes.
function(websetup_splash_resource target rc files)
  set(packed ${PROJECT_BINARY_DIR}/res/splash.packed)
  add_dependencies(${target} websetup_packed_splash)
  # windres looks for the files a script names in its include folders too; and it reads them
  # itself, unseen by the build's dependency scan.
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES
    INCLUDE_DIRECTORIES ${PROJECT_BINARY_DIR}/res
    OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/res/resource.h;${packed};${files}")
endfunction()
