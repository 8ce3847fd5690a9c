# The same commit gives the same bytes, whenever and wherever it is built:
# every time a build writes down (the PE header's time stamp and with it the
# checksum, the zip's and the packages' file times) is the last commit's, or
# SOURCE_DATE_EPOCH's where that is set; no build path ends up in a binary.
# Sets KSV_SOURCE_DATE_EPOCH (empty outside a git checkout without it).

# Debug information and __FILE__ name sources relative to the source tree (a
# build tree lies inside it), so the build-id of the stripped Linux program
# does not depend on the folder.
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=")

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(KSV_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
    execute_process(COMMAND git -C "${PROJECT_SOURCE_DIR}" log -1 --format=%ct
                    OUTPUT_VARIABLE KSV_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
    # A new commit or a checkout configures again, and so takes the new time.
    execute_process(COMMAND git -C "${PROJECT_SOURCE_DIR}" rev-parse --absolute-git-dir
                    OUTPUT_VARIABLE ksv_git_dir OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
    if(ksv_git_dir AND EXISTS "${ksv_git_dir}/logs/HEAD")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${ksv_git_dir}/logs/HEAD")
    endif()
endif()
if(NOT KSV_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    set(KSV_SOURCE_DATE_EPOCH "")
    return()
endif()

# Links and custom commands (the zip, the packages, the programs' own build)
# run with SOURCE_DATE_EPOCH: ld takes the PE time stamp from it, `cmake -E tar`
# and cpack the file times. Being part of each command, a new time makes them
# run again.
set(ksv_with_epoch "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KSV_SOURCE_DATE_EPOCH}")
set_property(GLOBAL PROPERTY RULE_LAUNCH_LINK "${ksv_with_epoch}")
set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM "${ksv_with_epoch}")
