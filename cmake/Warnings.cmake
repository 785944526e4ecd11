# Compiler warnings used by every target of the project.
function(qmp_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
                                           -Wnon-virtual-dtor -Woverloaded-virtual -Wformat=2)
  if(QMP_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A plug-in module: named as the host expects (no "lib" prefix, its own extension) and
# exporting only the entry point and the four library functions.
function(qmp_plugin_module target suffix)
  set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ${suffix}
                                             CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${target} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/plugin_common/plugin_exports.map)
  # Every symbol a module needs must come from the libraries it names; under the sanitizers
  # their runtime is supplied by the program instead.
  if(NOT QMP_SANITIZE)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
