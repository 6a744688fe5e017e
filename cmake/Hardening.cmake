# Hardened programs in every build: stack protector, FORTIFY_SOURCE, PIE,
# RELRO and immediate binding. The flags come from dpkg-buildflags where it
# exists, so that they follow the distribution's policy, else from the list
# below. The Debian package gets them from debhelper and turns this off;
# the sanitizer and fuzzer builds leave them out (FORTIFY_SOURCE hides
# calls from AddressSanitizer).
if(TA_SANITIZE OR TA_BUILD_FUZZERS)
  set(ta_hardening_default OFF)
else()
  set(ta_hardening_default ON)
endif()
option(TA_HARDENING "Compile and link with the hardening flags (of dpkg-buildflags where it exists)"
       ${ta_hardening_default})
find_program(TA_DPKG_BUILDFLAGS dpkg-buildflags)

# ta_dpkg_buildflags(VARIABLE out): the flags dpkg-buildflags gives for
# VARIABLE with every hardening feature on, less those the build type or the
# developer chooses: optimisation, debug information and the source path
# mapping of reproducible builds (which a debugger would have to undo).
function(ta_dpkg_buildflags variable out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                          ${TA_DPKG_BUILDFLAGS} --get ${variable}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^-(O|g|ffile-prefix-map|fdebug-prefix-map|fmacro-prefix-map)")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

if(TA_HARDENING)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  include(CheckPIESupported)
  check_pie_supported()
  if(TA_DPKG_BUILDFLAGS)
    ta_dpkg_buildflags(CPPFLAGS ta_hardening_cppflags)
    ta_dpkg_buildflags(CXXFLAGS ta_hardening_cxxflags)
    ta_dpkg_buildflags(LDFLAGS ta_hardening_ldflags)
  else()
    set(ta_hardening_cppflags -D_FORTIFY_SOURCE=2)
    set(ta_hardening_cxxflags -fstack-protector-strong -Wformat -Werror=format-security)
    set(ta_hardening_ldflags -Wl,-z,relro -Wl,-z,now)
  endif()
  add_compile_options(${ta_hardening_cxxflags})
  # glibc refuses FORTIFY_SOURCE without optimisation, as in a Debug build.
  foreach(flag IN LISTS ta_hardening_cppflags)
    add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
  endforeach()
  add_link_options(${ta_hardening_ldflags})
endif()
