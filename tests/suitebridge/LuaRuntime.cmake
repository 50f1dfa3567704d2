# The Lua test runtime: lua50.dll and the lua.exe host, cross-compiled from Debian's
# lua5.1 source (fetched by the build, never kept in the tree) with Lua 5.0's
# pseudo-index layout and global loadlib, so the shipped module binary runs in it.
# Both land in bin/luart so their generic names stay out of bin/.
set(LUA_DIR ${CMAKE_BINARY_DIR}/_deps/lua50)
set(LUA_SRC ${LUA_DIR}/src)
set(LUA_CORE_FILES lapi lcode ldebug ldo ldump lfunc lgc llex lmem lobject lopcodes lparser
    lstate lstring ltable ltm lundump lvm lzio lauxlib lbaselib ldblib liolib lmathlib loslib
    ltablib lstrlib loadlib linit)
set(LUA_SOURCES)
foreach(f ${LUA_CORE_FILES})
  list(APPEND LUA_SOURCES ${LUA_SRC}/${f}.c)
endforeach()
set(LUA_HEADERS ${LUA_SRC}/lua.h ${LUA_SRC}/luaconf.h ${LUA_SRC}/lualib.h ${LUA_SRC}/lauxlib.h)

add_custom_command(
  OUTPUT ${LUA_DIR}/prepared.stamp
  BYPRODUCTS ${LUA_SOURCES} ${LUA_HEADERS}
  COMMAND ${CMAKE_COMMAND} -DDEST=${LUA_DIR} -P ${CMAKE_CURRENT_SOURCE_DIR}/PrepareLuaSource.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${LUA_DIR}/prepared.stamp
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/PrepareLuaSource.cmake
  COMMENT "Preparing the Lua test runtime source (apt-get source lua5.1)")
add_custom_target(lua50_source DEPENDS ${LUA_DIR}/prepared.stamp)

add_library(lua50 SHARED ${LUA_SOURCES})
add_dependencies(lua50 lua50_source)
set_source_files_properties(${LUA_SOURCES} PROPERTIES GENERATED TRUE COMPILE_OPTIONS "-w")
target_compile_definitions(lua50 PUBLIC LUA_BUILD_AS_DLL)
target_include_directories(lua50 PUBLIC ${LUA_SRC})
set_target_properties(lua50 PROPERTIES PREFIX "" OUTPUT_NAME lua50 C_STANDARD 99
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/luart)

add_executable(luahost LuaHost.c)
add_dependencies(luahost lua50_source)
target_link_libraries(luahost PRIVATE lua50)
set_target_properties(luahost PROPERTIES OUTPUT_NAME lua
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/luart)
