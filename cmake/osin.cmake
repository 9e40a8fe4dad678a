# Helpers every CMakeLists.txt of the project uses.
#
# Builds (one folder each, chosen by the toolchain and options):
#   native  Linux GCC: libraries, osin-pack, tests with sanitizers, benchmarks
#   win64   x86_64 MinGW: osin.exe, osin-pack.exe, Windows tests (under Wine)
#   win32   i686 MinGW: the shipping osin.exe, osin-pack.exe, Windows tests
#           (under Wine, where the kernel runs 32-bit programs)
#   fuzz    Linux clang with OSIN_FUZZ: libFuzzer targets only

set(OSIN_WARNINGS -Wall -Wextra -Werror)
# The dialect of everything that may end up in osin.exe: no exceptions, no
# RTTI, no thread-safe static guards (they live in libstdc++).
set(OSIN_RESTRAINED -fno-exceptions -fno-rtti -fno-threadsafe-statics)
set(OSIN_SANITIZERS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
set(OSIN_RESULTS_DIR ${CMAKE_BINARY_DIR}/test-results)

# The team's shared material (sample archives, the corpus builder) stands
# beside the checkout, or one level higher for a worktree; a checkout
# elsewhere names it with the environment variable OSIN_SHARED_DIR. A clone
# of a local checkout (a clean build in /tmp) finds it beside its origin.
if(DEFINED ENV{OSIN_SHARED_DIR})
  set(OSIN_SHARED_DIR $ENV{OSIN_SHARED_DIR})
else()
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} config --get remote.origin.url
    OUTPUT_VARIABLE origin OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(candidates ${PROJECT_SOURCE_DIR}/../shared ${PROJECT_SOURCE_DIR}/../../shared)
  if(origin AND IS_DIRECTORY "${origin}")
    list(APPEND candidates ${origin}/../shared ${origin}/../../shared)
  endif()
  foreach(candidate ${candidates})
    if(NOT OSIN_SHARED_DIR AND EXISTS ${candidate}/rar-samples/README.md)
      get_filename_component(OSIN_SHARED_DIR ${candidate} ABSOLUTE)
    endif()
  endforeach()
endif()
if(NOT OSIN_SHARED_DIR)
  message(WARNING "shared material (rar-samples, corpus) not found; set OSIN_SHARED_DIR")
endif()

if(WIN32)
  set(OSIN_PLATFORM_SUFFIX win32)
  # The libraries carry link-time code beside plain code; only osin.exe's
  # link uses it (its own -flto comes later and wins). Elsewhere the linker
  # would mix both and find inline functions defined twice.
  add_link_options(-fno-lto)
else()
  set(OSIN_PLATFORM_SUFFIX posix)
endif()

# osin_add_subfolders([FIRST folders...]): adds every folder below the
# current one that has a CMakeLists.txt, the named ones first and in that
# order (a library before the folders that test or use it), then the others
# by name. A folder that appears later is picked up by the next build.
function(osin_add_subfolders)
  cmake_parse_arguments(ARG "" "" "FIRST" ${ARGN})
  file(GLOB lists CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  set(found "")
  foreach(list ${lists})
    get_filename_component(folder ${list} DIRECTORY)
    list(APPEND found ${folder})
  endforeach()
  list(SORT found)
  set(ordered "")
  foreach(folder ${ARG_FIRST})
    if(folder IN_LIST found)
      list(APPEND ordered ${folder})
    endif()
  endforeach()
  foreach(folder ${found})
    if(NOT folder IN_LIST ordered)
      list(APPEND ordered ${folder})
    endif()
  endforeach()
  foreach(folder ${ordered})
    add_subdirectory(${folder})
  endforeach()
endfunction()

# osin_library(NAME SOURCES ... [DEPENDS libs...] [WIN32_LIBS libs...]
#              [INCLUDES dirs...] [ORDINARY])
# A static library in the restrained dialect, or with ORDINARY in ordinary
# C++ (tools such as osin-pack, never linked into osin.exe). In the native
# build a second variant NAME_san is made with sanitizers, which the tests
# link; in the fuzz build NAME_fuzz is made with libFuzzer's coverage
# instrumentation. Each variant links the same variant of its DEPENDS.
# INCLUDES are include folders beside src/ that users of the library need.
function(osin_library name)
  cmake_parse_arguments(ARG "ORDINARY" "" "SOURCES;DEPENDS;WIN32_LIBS;INCLUDES" ${ARGN})
  set(variants ${name})
  if(OSIN_FUZZ)
    set(variants ${name}_fuzz)
  elseif(NOT WIN32 AND OSIN_TESTS)
    list(APPEND variants ${name}_san)
  endif()
  foreach(variant ${variants})
    add_library(${variant} STATIC ${ARG_SOURCES})
    target_include_directories(${variant} PUBLIC ${PROJECT_SOURCE_DIR}/src ${ARG_INCLUDES})
    target_compile_options(${variant} PRIVATE ${OSIN_WARNINGS})
    if(NOT ARG_ORDINARY)
      target_compile_options(${variant} PRIVATE ${OSIN_RESTRAINED})
    endif()
    if(WIN32 AND NOT ARG_ORDINARY)
      # One section per function and object, so osin.exe's link drops what
      # it does not use.
      # No unwind tables: nothing in osin.exe unwinds (no exceptions), and
      # they would cost a sixth of the image.
      # Link-time optimization for osin.exe, whose link then sees the whole
      # program (a tenth of the image); fat objects, so tests and tools link
      # them as plain code.
      # Data aligned as the ABI asks, not to the 32 bytes the compiler gives
      # larger tables for vector loads none of this code does.
      target_compile_options(${variant} PRIVATE -ffunction-sections -fdata-sections
        -fno-asynchronous-unwind-tables -fno-unwind-tables -flto -ffat-lto-objects -malign-data=abi)
    endif()
    set(suffix "")
    if(variant MATCHES "_san$")
      set(suffix _san)
      target_compile_options(${variant} PUBLIC ${OSIN_SANITIZERS})
      target_link_options(${variant} PUBLIC ${OSIN_SANITIZERS})
    elseif(variant MATCHES "_fuzz$")
      set(suffix _fuzz)
      target_compile_options(${variant} PUBLIC -fsanitize=fuzzer-no-link,address,undefined -g)
      target_link_options(${variant} PUBLIC -fsanitize=fuzzer-no-link,address,undefined)
    endif()
    foreach(dep ${ARG_DEPENDS})
      target_link_libraries(${variant} PUBLIC ${dep}${suffix})
    endforeach()
    if(WIN32)
      target_link_libraries(${variant} PUBLIC ${ARG_WIN32_LIBS})
    endif()
  endforeach()
endfunction()

# osin_program(NAME SOURCES ... LIBS ...): an ordinary C++ program
# (osin-pack, tools, benchmarks) linked with the plain library variants.
function(osin_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${OSIN_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(WIN32)
    # Plain code of the libraries' objects, as for the tests.
    target_link_options(${name} PRIVATE -static -fno-use-linker-plugin)
  endif()
endfunction()

# osin_merged_data_script(VAR): the linker's own script for the small
# programs, with the read-only data and the initialized writable data (a few
# objects that start out pointing somewhere) moved to the end of the import
# section.
# Each section fills whole 512-byte steps of the file; two half-filled data
# sections cost a step that one merged section does not. The constants are
# moved, not the imports: the linker names the section that starts with the
# import descriptors as the import directory. The merged section is the
# import section's kind, initialized data that may be read and written, as
# every loader since Windows 95 and NT 4 expects of the table it patches.
# Made from the linker in use at each configure; VAR gets its path.
function(osin_merged_data_script var)
  set(path ${CMAKE_BINARY_DIR}/osin-merged-data.ld)
  set(${var} ${path} PARENT_SCOPE)
  execute_process(COMMAND ${CMAKE_LINKER} --verbose OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  string(REGEX MATCH "\n=+\n(.*)\n=+\n" found "${text}")
  set(text "${CMAKE_MATCH_1}")
  string(REGEX MATCH "\n  \\.rdata BLOCK\\(__section_alignment__\\) :[^{]*{([^}]*)}" rdata "${text}")
  set(body "${CMAKE_MATCH_1}")
  set(last "KEEP (SORT(*)(.idata$7))")
  string(FIND "${text}" "${last}" at)
  if(failed OR NOT found OR NOT rdata OR at LESS 0)
    message(FATAL_ERROR "${CMAKE_LINKER}: no default script with .rdata and .idata sections to merge")
  endif()
  set(data "\n    *(.data)\n    *(.data2)\n    *(SORT(.data$*))")
  string(FIND "${text}" "${data}" data_at)
  if(data_at LESS 0)
    message(FATAL_ERROR "${CMAKE_LINKER}: no default script with a .data section to merge")
  endif()
  string(REPLACE "${rdata}" "" text "${text}")
  string(REPLACE "${data}" "" text "${text}")
  string(REPLACE "${last}" "${last}\n${body}${data}" text "${text}")
  # Rewritten only when it changed, so a configure alone relinks nothing.
  file(WRITE ${path}.new "${text}")
  configure_file(${path}.new ${path} COPYONLY)
endfunction()

# osin_small_program(TARGET): the build of osin.exe and UnOsin.exe, programs
# in the restrained dialect whose entry is OsinEntry (src/setup/
# runtime_win32.cpp, among their sources), kept small: no symbols, unused
# sections dropped, the GCC support code linked in (it is small without
# exceptions) rather than shipped as DLLs, whole-program optimization for
# size at the link, no relocation section (the program always loads at its
# preferred base), and the program's own entry instead of the C runtime's
# start-up code (so no thread-local storage support either: nothing here
# uses it). The whole program is optimized as one partition: the optimizer
# then sees every caller of every function, a kilobyte less than the
# default split. The link map lands beside the program.
function(osin_small_program target)
  osin_merged_data_script(script)
  target_compile_options(${target} PRIVATE ${OSIN_WARNINGS} ${OSIN_RESTRAINED} -fno-asynchronous-unwind-tables
    -fno-unwind-tables -flto -malign-data=abi)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/src/resources)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(entry -Wl,-e,OsinEntry)
  else()
    set(entry -Wl,-e,_OsinEntry)
  endif()
  target_link_options(${target} PRIVATE -s -Wl,--gc-sections -static-libgcc -static-libstdc++ -mwindows -flto -flto-partition=one -Os
    -Wl,--disable-reloc-section -nostartfiles ${entry} -Wl,-Map=${CMAKE_CURRENT_BINARY_DIR}/${target}.map
    -Wl,-T,${script})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()

# osin_test(NAME SOURCES ... LIBS ...): a GoogleTest program registered with
# ctest. Native: sanitizers on. Windows: run through Wine by the emulator.
# Each run writes its results as XML, which the check summary counts.
function(osin_test name)
  if(NOT OSIN_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # Tests may derive from library classes, which carry no type information.
  target_compile_options(${name} PRIVATE ${OSIN_WARNINGS} -fno-rtti)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set(libs "")
  foreach(lib ${ARG_LIBS})
    if(NOT WIN32 AND TARGET ${lib}_san)
      list(APPEND libs ${lib}_san)
    else()
      list(APPEND libs ${lib})
    endif()
  endforeach()
  if(WIN32)
    target_link_libraries(${name} PRIVATE ${libs} gtest_main gtest)
    # The libraries' objects carry link-time code for osin.exe beside their
    # plain code; without the plugin the link takes the plain code only (the
    # i686 linker takes an inline function that a test also defines twice
    # otherwise).
    target_link_options(${name} PRIVATE -static -fno-use-linker-plugin)
  else()
    target_compile_options(${name} PRIVATE ${OSIN_SANITIZERS})
    target_link_options(${name} PRIVATE ${OSIN_SANITIZERS})
    target_link_libraries(${name} PRIVATE ${libs} GTest::gtest_main GTest::gtest)
  endif()
  # Wine sees the Linux file system as drive Z:.
  set(results ${OSIN_RESULTS_DIR})
  if(WIN32)
    set(results Z:${OSIN_RESULTS_DIR})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${results}/${name}.xml)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT
    "OSIN_SOURCE_DIR=${PROJECT_SOURCE_DIR};OSIN_BUILD_DIR=${CMAKE_BINARY_DIR};OSIN_SHARED_DIR=${OSIN_SHARED_DIR}")
endfunction()

# osin_test_ja(NAME FILTER): the Windows test NAME once more, only the tests
# FILTER names, in a Japanese locale: paths in a double-byte code page (932).
function(osin_test_ja name filter)
  if(NOT WIN32 OR NOT TARGET ${name})
    return()
  endif()
  add_test(NAME ${name}_ja COMMAND ${name} --gtest_filter=${filter}
    --gtest_output=xml:Z:${OSIN_RESULTS_DIR}/${name}_ja.xml)
  set_tests_properties(${name}_ja PROPERTIES ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8")
  # Both runs share one Wine prefix, and the fixtures clear the same keys
  # and folders before and after each case: never side by side.
  set_property(TEST ${name} ${name}_ja APPEND PROPERTY RESOURCE_LOCK ${name}_state)
endfunction()

# osin_fuzzer(NAME SOURCES ... LIBS ...): a libFuzzer target (fuzz build only).
function(osin_fuzzer name)
  if(NOT OSIN_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${OSIN_WARNINGS} -fsanitize=fuzzer,address,undefined -g)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set(libs "")
  foreach(lib ${ARG_LIBS})
    list(APPEND libs ${lib}_fuzz)
  endforeach()
  target_link_libraries(${name} PRIVATE ${libs})
endfunction()
