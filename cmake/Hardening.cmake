# The hardening a distribution gives the programs it ships, for the optimised
# builds (Release and RelWithDebInfo, the default): position-independent
# executables, stack protector, checked libc calls, stack clash and
# control-flow protection where the compiler has them, and a read-only
# relocation table resolved at start.
#
# The sanitizer and fuzz builds keep their own flags: _FORTIFY_SOURCE's
# checked calls get in the way of AddressSanitizer's own checks, and the
# stack protector only adds noise to what the sanitizers report.
if(NOT TESSARO_SANITIZE STREQUAL "" OR TESSARO_FUZZ)
  return()
endif()

include(CheckCXXCompilerFlag)
include(CheckPIESupported)

check_pie_supported(OUTPUT_VARIABLE _tessaro_pie_output LANGUAGES CXX)
if(CMAKE_CXX_LINK_PIE_SUPPORTED)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
else()
  message(WARNING "The linker makes no position-independent executables: ${_tessaro_pie_output}")
endif()

set(_tessaro_hardening -fstack-protector-strong)
foreach(_flag -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "TESSARO_HAS${_flag}" _var)
  check_cxx_compiler_flag(${_flag} ${_var})
  if(${_var})
    list(APPEND _tessaro_hardening ${_flag})
  endif()
endforeach()
# _FORTIFY_SOURCE works only with optimisation, which both build types have.
# The distribution's CPPFLAGS (scripts/package) or the compiler itself may
# define it already, perhaps at another level: undefined first, it is set
# without a redefinition warning.
list(APPEND _tessaro_hardening -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)

set(_tessaro_optimised "$<CONFIG:Release,RelWithDebInfo>")
add_compile_options("$<${_tessaro_optimised}:${_tessaro_hardening}>")
add_link_options("$<${_tessaro_optimised}:LINKER:-z,relro,-z,now>")

unset(_tessaro_hardening)
unset(_tessaro_optimised)
unset(_tessaro_pie_output)
