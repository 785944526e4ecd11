# Resource scripts (.rc) are compiled with llvm-rc into the standard binary resource format (.res)
# and linked into a module as the bytes of its ".rsrc" section, where the Win32 stand-in finds
# them by the module's instance handle, as Windows finds the resources of a PE image.
find_program(QMP_LLVM_RC NAMES llvm-rc llvm-rc-16 llvm-rc-15 llvm-rc-14 REQUIRED)
find_program(QMP_CLANG NAMES clang clang-16 clang-15 clang-14 REQUIRED)
get_filename_component(QMP_CLANG_DIR ${QMP_CLANG} DIRECTORY)

set(QMP_WIN32_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/../platform/win32/include)

# add_win32_resources(target script.rc [ID_HEADERS library...]): the ID_HEADERS are INTERFACE
# libraries whose include folders hold the id headers the script includes.
function(add_win32_resources target rc_file)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "ID_HEADERS")
  get_filename_component(rc_path ${rc_file} ABSOLUTE)
  get_filename_component(rc_name ${rc_file} NAME_WE)
  get_filename_component(rc_dir ${rc_path} DIRECTORY)
  get_filename_component(rc_filename ${rc_file} NAME)
  set(res_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name}.res)
  set(cpp_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name}_res.cpp)
  file(GLOB rc_headers ${rc_dir}/*.h ${QMP_WIN32_INCLUDE}/*.h)
  set(id_include_options)
  foreach(library ${arg_ID_HEADERS})
    get_target_property(id_dirs ${library} INTERFACE_INCLUDE_DIRECTORIES)
    foreach(id_dir ${id_dirs})
      list(APPEND id_include_options -I ${id_dir})
      file(GLOB_RECURSE id_headers ${id_dir}/*.h)
      list(APPEND rc_headers ${id_headers})
    endforeach()
  endforeach()
  # llvm-rc runs clang as its preprocessor; it looks for it on PATH. It also reads any argument
  # that starts with '/' as a Windows-style option ("/check/x.rc" is "/C heck/x.rc"), so the
  # script is named relative to its own folder; option values may be absolute.
  add_custom_command(
    OUTPUT ${res_file}
    COMMAND ${CMAKE_COMMAND} -E env "PATH=${QMP_CLANG_DIR}:$ENV{PATH}"
            ${QMP_LLVM_RC} -I ${QMP_WIN32_INCLUDE} -I ${rc_dir} ${id_include_options} -fo ${res_file} ${rc_filename}
    WORKING_DIRECTORY ${rc_dir}
    DEPENDS ${rc_path} ${rc_headers}
    COMMENT "Compiling resources ${rc_name}.rc"
    VERBATIM)
  add_custom_command(
    OUTPUT ${cpp_file}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${res_file} -DOUTPUT=${cpp_file} -P ${QMP_RESOURCE_EMBED_SCRIPT}
    DEPENDS ${res_file} ${QMP_RESOURCE_EMBED_SCRIPT}
    COMMENT "Embedding resources ${rc_name}.res"
    VERBATIM)
  target_sources(${target} PRIVATE ${cpp_file})
  # The compiled .res files of a target, for tests that compare them with the loaded section.
  set_property(TARGET ${target} APPEND PROPERTY WIN32_RESOURCE_FILES ${res_file})
endfunction()

set(QMP_RESOURCE_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResources.cmake)
