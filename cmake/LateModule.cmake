include(GNUInstallDirs)

# A part of the game built as a module that the library FOR loads when it is first needed,
# rather than at every start, so the libraries it LINKs cost nothing until then. FOR learns
# where to look through two definitions: MACRO_INSTALLED (the place under an installed game's
# prefix) and MACRO_BUILT (where it was built, for a program run from the build).
function(zp_late_module name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "FOR;MACRO" "SOURCES;LINK")
  add_library(${name} MODULE ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LINK})
  set_target_properties(${name} PROPERTIES PREFIX "")
  set(folder ${CMAKE_INSTALL_LIBDIR}/zandupelix)
  target_compile_definitions(${ARG_FOR} PRIVATE
    ${ARG_MACRO}_INSTALLED="${folder}/$<TARGET_FILE_NAME:${name}>"
    ${ARG_MACRO}_BUILT="$<TARGET_FILE:${name}>")
  add_dependencies(${ARG_FOR} ${name})
  install(TARGETS ${name} LIBRARY DESTINATION ${folder})
endfunction()
