# Reproducible Windows programs: the same commit and product files give the same bytes, whatever
# the checkout's path and whenever it is built.
#
# - The PE header's time stamp is SOURCE_DATE_EPOCH (from the environment at configure time),
#   by default the time of the checked-out commit; GNU ld reads it from the link's environment.
# - No build paths: __FILE__ and any debug references are relative to the source and build trees.
# - Resources and payload carry no times of their own (windres writes none, mkpayload a fixed one).

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(CORVANE_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_package(Git QUIET)
  set(CORVANE_SOURCE_DATE_EPOCH "")
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE CORVANE_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE _git_dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    # A new commit or checkout configures again, so the stamp follows the commit.
    foreach(_f HEAD logs/HEAD)
      if(_git_dir AND EXISTS "${_git_dir}/${_f}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_git_dir}/${_f}")
      endif()
    endforeach()
  endif()
  if(NOT CORVANE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(STATUS "Not a git checkout and no SOURCE_DATE_EPOCH: programs are stamped 0")
    set(CORVANE_SOURCE_DATE_EPOCH 0)
  endif()
endif()
if(NOT CORVANE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds, not '${CORVANE_SOURCE_DATE_EPOCH}'")
endif()

add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=" "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=")

# Links the given programs with the fixed time stamp.
function(corvane_reproducible_link)
  foreach(_t IN LISTS ARGN)
    if(TARGET ${_t})
      set_target_properties(${_t} PROPERTIES
        C_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${CORVANE_SOURCE_DATE_EPOCH}"
        CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${CORVANE_SOURCE_DATE_EPOCH}")
    endif()
  endforeach()
endfunction()
