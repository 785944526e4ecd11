# Turns a compiled resource file into a C++ source whose only object is the resource bytes,
# placed in the module's ".rsrc" section. Run with -DINPUT=file.res -DOUTPUT=file.cpp.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
if(hex_length EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    " bytes "${bytes}")
math(EXPR byte_count "${hex_length} / 2")
# The section must hold exactly the .res bytes: clang's AddressSanitizer would otherwise pad the
# array with a poisoned red zone inside the section, and a linker collecting unused sections would
# drop it, since nothing refers to it by name.
file(WRITE ${OUTPUT} "// Generated from ${INPUT}: the module's compiled resources (${byte_count} bytes).\n"
  "// The Win32 stand-in reads them from this section of the loaded module.\n"
  "#if defined(__clang__)\n"
  "#define QMP_RESOURCE_NO_REDZONE __attribute__((no_sanitize(\"address\")))\n"
  "#else\n"
  "#define QMP_RESOURCE_NO_REDZONE\n"
  "#endif\n"
  "#if defined(__has_attribute)\n"
  "#if __has_attribute(retain)\n"
  "#define QMP_RESOURCE_RETAIN __attribute__((retain))\n"
  "#endif\n"
  "#endif\n"
  "#ifndef QMP_RESOURCE_RETAIN\n"
  "#define QMP_RESOURCE_RETAIN\n"
  "#endif\n"
  "__attribute__((section(\".rsrc\"), used, aligned(4))) QMP_RESOURCE_RETAIN QMP_RESOURCE_NO_REDZONE\n"
  "static const unsigned char kModuleResources[] = {\n    ${bytes}\n};\n")
