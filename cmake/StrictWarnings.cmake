# Warnings for our own code, set per target so that Qt's and GoogleTest's
# headers (reached through their imported targets, hence as system headers)
# and code built from elsewhere keep their own settings. TA_WERROR turns
# them into errors; `make test` and CI build that way.
option(TA_WERROR "Treat warnings in the project's own code as errors" OFF)

set(TA_STRICT_WARNING_FLAGS
    -Wall -Wextra -Wshadow -Wconversion -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
# gcc 12 at -O3 (a Release build) warns falsely inside the standard
# library: std::string's operator+ (-Wrestrict, gcc bug 105651) and
# std::vector's resize (-Warray-bounds, -Wstringop-*); the same code is clean
# at -O2 and with later versions.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  foreach(flag -Wno-restrict -Wno-array-bounds -Wno-stringop-overread -Wno-stringop-overflow)
    list(APPEND TA_STRICT_WARNING_FLAGS $<$<CONFIG:Release>:${flag}>)
  endforeach()
endif()

# ta_strict_warnings(target...): every target that compiles our sources.
function(ta_strict_warnings)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE ${TA_STRICT_WARNING_FLAGS})
    if(TA_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
    set_property(TARGET ${target} PROPERTY TA_STRICT_WARNINGS ON)
  endforeach()
endfunction()

# ta_require_strict_warnings(dir): fails the configure when a target that
# compiles sources under dir was added without ta_strict_warnings().
function(ta_require_strict_warnings dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(strict ${target} TA_STRICT_WARNINGS)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$" AND NOT strict)
      message(FATAL_ERROR "${target} (in ${dir}) compiles without ta_strict_warnings(${target})")
    endif()
  endforeach()
  get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(child IN LISTS children)
    ta_require_strict_warnings(${child})
  endforeach()
endfunction()
