# ta_add_man_page(PAGE.1.in): the page with the project version filled in,
# compressed as Debian installs manuals, into share/man/man1. The page as
# configured is left in the build folder for the tests.
function(ta_add_man_page source)
  get_filename_component(page ${source} NAME_WLE)
  set(configured ${CMAKE_CURRENT_BINARY_DIR}/${page})
  set(compressed ${configured}.gz)
  configure_file(${source} ${configured} @ONLY)
  add_custom_command(OUTPUT ${compressed}
                     COMMAND gzip -9n -c ${configured} > ${compressed}
                     DEPENDS ${configured} VERBATIM)
  add_custom_target(man_${page} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set_property(GLOBAL APPEND PROPERTY TA_MAN_PAGES ${configured})
endfunction()
