# Shared helpers of the build.

# A library from every .cpp in a folder (new files are picked up on the next build).
function(corvane_glob_library name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
  else()
    add_library(${name} INTERFACE)
  endif()
endfunction()

# Host or Windows GoogleTest. Debian ships the sources; on Windows they are built with MinGW.
function(corvane_gtest)
  if(TARGET GTest::gtest_main)
    return()
  endif()
  if(WIN32)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    # The win32-threads MinGW runtime has no std::mutex: swap googletest's Notification.
    target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
    target_compile_options(gtest PUBLIC -include ${PROJECT_SOURCE_DIR}/cmake/mingw-gtest-notification.h)
    # googletest 1.12 and later define these aliases themselves.
    if(NOT TARGET GTest::gtest_main)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
    if(NOT TARGET GTest::gmock)
      add_library(GTest::gmock ALIAS gmock)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endfunction()

# One test program from every .cpp in a folder, registered with CTest.
function(corvane_test_dir name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  corvane_gtest()
  add_executable(${name} ${_srcs})
  target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock ${ARGN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(WIN32)
    target_link_options(${name} PRIVATE -static)
    add_test(NAME ${name} COMMAND ${name})
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "CORVANE_SOURCE_DIR=${PROJECT_SOURCE_DIR};CORVANE_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# A shipped Windows program, compiled from its sources directly rather than from the libraries,
# with its own flags: size first (-Oz), no exceptions, no RTTI, no unwind tables, one section
# per function and datum, the C runtime's own printf, and small_runtime.cpp in place of the
# library's throwing paths. It must not carry the exception runtime (tests/hardening/check_runtime.sh).
# The libraries keep the flags the tests need.
#
# The program is optimised as a whole at link time (about 14% smaller). GCC 12's MinGW build
# stops with an internal error in its mod-ref pass over whole programs, so that one pass is off.
# small_runtime.cpp defines what the compiler itself calls (the stack guard and its check): the
# link-time optimiser does not see those calls and would drop the definitions, so that file is
# compiled as a plain object. It also holds the entry, in place of the MinGW start-up objects
# (about 9 KB less). Without them GNU ld 2.40 crashes on the setup's whole-program link unless
# the runtime's thread-key object is linked, as they would have pulled it in; so it is asked for
# by name (it is never called).
function(corvane_lean_program target)
  set(_runtime ${PROJECT_SOURCE_DIR}/src/system/win32/runtime/small_runtime.cpp)
  target_sources(${target} PRIVATE ${_runtime})
  if(NOT MSVC)
    set(_lean -Oz -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
      -fno-threadsafe-statics -ffunction-sections -fdata-sections)
    target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=0)
    target_compile_options(${target} PRIVATE ${_lean} -flto)
    set_source_files_properties(${_runtime} TARGET_DIRECTORY ${target} PROPERTIES COMPILE_OPTIONS -fno-lto)
    target_link_options(${target} PRIVATE ${_lean} -flto -flto-partition=one -fno-ipa-modref
      -static -municode -s -Wl,--gc-sections
      -nostartfiles -Wl,-e,_CorvaneStart -Wl,-u,___mingw_TLScallback)
    # 32-bit Windows keeps the stack 4-byte aligned and the programs use no SSE: nothing needs
    # GCC's 16-byte alignment of every frame (about 1 KB of code less).
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^i.86$")
      target_compile_options(${target} PRIVATE -mpreferred-stack-boundary=2)
      target_link_options(${target} PRIVATE -mpreferred-stack-boundary=2)
    endif()
  endif()
endfunction()

# Exploit mitigations of a shipped program that runs as administrator: ASLR and DEP are the
# linker's defaults; stack canaries, with the guard and its check in small_runtime.cpp rather
# than libssp; and on i686 the image is marked as having no SE handlers at all (nothing in it
# registers one: the build has no exceptions), so none can be planted in it.
function(corvane_harden target)
  if(NOT MSVC)
    target_compile_options(${target} PRIVATE -fstack-protector-strong)
    target_link_options(${target} PRIVATE -fstack-protector-strong)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^i.86$")
      target_link_options(${target} PRIVATE -Wl,--no-seh)
    endif()
  endif()
endfunction()
