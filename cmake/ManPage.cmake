# lumaro_man_page(TARGET NAME_LINE [INCLUDE file]): section 1 manual page of an executable,
# written by help2man from its --help and --version so the two never disagree, and installed
# compressed with gzip -9n as Debian wants it. Adds the target <TARGET>-man. Without help2man the
# page is left out with a warning (scripts/install-deps installs it).
find_program(HELP2MAN help2man)

function(lumaro_man_page target name_line)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "INCLUDE" "")
  if(NOT HELP2MAN)
    message(WARNING "help2man not found: the ${target} man page is not built (scripts/install-deps installs it)")
    return()
  endif()
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  set(options --no-info --section=1 --name=${name_line} --output=${page})
  set(depends ${target})
  if(arg_INCLUDE)
    list(APPEND options --include=${arg_INCLUDE})
    list(APPEND depends ${arg_INCLUDE})
  endif()
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${HELP2MAN} ${options} $<TARGET_FILE:${target}>
    COMMAND gzip -9nf ${page}
    DEPENDS ${depends}
    COMMENT "Writing the ${target} man page"
    VERBATIM)
  add_custom_target(${target}-man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
