# Helpers shared by every deliverable's CMakeLists.

set(PRODUCT_VERSION "1.0.0.1")
string(REPLACE "." "," PRODUCT_VERSION_COMMAS "${PRODUCT_VERSION}")

# product_version_resource(<target> <description>): adds a VERSIONINFO resource.
# Self-registering COM servers carry "OLESelfRegister".
function(product_version_resource target description)
  get_target_property(type ${target} TYPE)
  set(VI_NAME ${target})
  set(VI_DESCRIPTION "${description}")
  set(VI_EXTRA "")
  if(type STREQUAL "EXECUTABLE")
    set(VI_FILETYPE VFT_APP)
    set(VI_FILENAME "${target}.exe")
  else()
    set(VI_FILETYPE VFT_DLL)
    set(VI_FILENAME "${target}.dll")
  endif()
  if(ARGN MATCHES "SELFREG")
    set(VI_EXTRA "      VALUE \"OLESelfRegister\", \"\"")
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
endfunction()

# product_binary(<target>): marks a target as shipped (scripts/build installs to dist/).
# The installer folder holds the launcher; every library goes to its bin\ folder,
# where the launcher and the engine look for them.
function(product_binary target)
  add_dependencies(product ${target})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    install(TARGETS ${target} RUNTIME DESTINATION .)
  else()
    install(TARGETS ${target} RUNTIME DESTINATION bin LIBRARY DESTINATION bin)
  endif()
endfunction()

# IDL compilation with widl: type library, header and GUID definitions.
find_program(WIDL i686-w64-mingw32-widl REQUIRED)
set(WIDL_FLAGS --win32 -I/usr/include/wine/wine/windows -L/usr/lib/i386-linux-gnu/wine/i386-windows)

# product_idl(<idl> [headers it includes...]): generates <name>.tlb, <name>.h and
# <name>_i.c in the current binary dir; sets <name>_IDL_OUTPUTS in the parent scope.
function(product_idl idl)
  get_filename_component(name ${idl} NAME_WE)
  get_filename_component(src ${idl} ABSOLUTE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(
    OUTPUT ${dir}/${name}.tlb ${dir}/${name}.h ${dir}/${name}_i.c
    COMMAND ${WIDL} ${WIDL_FLAGS} -t -o ${dir}/${name}.tlb ${src}
    COMMAND ${WIDL} ${WIDL_FLAGS} -h -o ${dir}/${name}.h ${src}
    COMMAND ${WIDL} ${WIDL_FLAGS} -u -o ${dir}/${name}_i.c ${src}
    DEPENDS ${src} ${ARGN}
    COMMENT "widl ${name}.idl")
  set(${name}_IDL_OUTPUTS ${dir}/${name}.tlb ${dir}/${name}.h ${dir}/${name}_i.c PARENT_SCOPE)
endfunction()

# Compile options for C++ built without exception support, and without unwind tables:
# code built so links no exception runtime (unwinder, personality routine). For code that
# throws nothing and allocates nothing through the C++ library.
set(PRODUCT_NO_EXCEPTIONS -fno-exceptions -fno-asynchronous-unwind-tables)

# product_code(<target>...): compile options for shipped C++ code. Without run-time type
# information: the code uses neither dynamic_cast nor typeid (exceptions still match by
# type), so no type descriptor and name is stored for every polymorphic class.
function(product_code)
  foreach(target ${ARGN})
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>)
  endforeach()
endfunction()
