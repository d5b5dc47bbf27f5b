# velm_java_fixtures(<name> OUTPUT_DIR <dir> SOURCES <file.java>...)
# Compiles Java sources with javac --release 8 into <dir> at build time and
# creates a custom target <name> that produces them.
function(velm_java_fixtures name)
  cmake_parse_arguments(ARG "" "OUTPUT_DIR" "SOURCES" ${ARGN})
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${ARG_OUTPUT_DIR}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_OUTPUT_DIR}
    COMMAND ${Java_JAVAC_EXECUTABLE} --release 8 -nowarn -encoding UTF-8 -d ${ARG_OUTPUT_DIR} ${ARG_SOURCES}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${ARG_SOURCES}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    COMMENT "Compiling Java fixtures ${name}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${stamp})
endfunction()
