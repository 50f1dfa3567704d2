# Fetches Debian's lua5.1 source once and lays out a copy of its src/ folder under
# DEST, adjusted so the runtime behaves like Lua 5.0 towards C modules:
#   - 5.0's pseudo-indices: globals at -10001 and upvalue i at -10001-i (5.1 puts
#     its environment index at -10001; it moves out of the upvalue range);
#   - the global loadlib(path, entry) of 5.0.
# Usage: cmake -DDEST=<folder> -P PrepareLuaSource.cmake
cmake_minimum_required(VERSION 3.20)
if(NOT DEST)
  message(FATAL_ERROR "DEST not set")
endif()

set(fetch ${DEST}/fetch)
file(GLOB unpacked LIST_DIRECTORIES true ${fetch}/lua5.1-*)
if(NOT unpacked)
  file(REMOVE_RECURSE ${fetch})
  file(MAKE_DIRECTORY ${fetch})
  find_program(APT_GET apt-get REQUIRED)
  execute_process(
    COMMAND ${APT_GET} -o APT::Sandbox::User=root -q source lua5.1
    WORKING_DIRECTORY ${fetch}
    RESULT_VARIABLE rc
    OUTPUT_VARIABLE out ERROR_VARIABLE out
    TIMEOUT 600)
  file(GLOB unpacked LIST_DIRECTORIES true ${fetch}/lua5.1-*)
  if(NOT rc EQUAL 0 OR NOT unpacked)
    message(FATAL_ERROR "apt-get source lua5.1 failed (${rc}); deb-src entries and dpkg-dev are needed:\n${out}")
  endif()
endif()
list(GET unpacked 0 unpacked)

# A fresh copy each time, so an interrupted earlier run can't leave half-edited files.
file(GLOB sources ${unpacked}/src/*.c ${unpacked}/src/*.h)
file(REMOVE_RECURSE ${DEST}/src)
file(MAKE_DIRECTORY ${DEST}/src)
file(COPY ${sources} DESTINATION ${DEST}/src)

# replace_once(<file> <old> <new>): the edit must match exactly once.
function(replace_once file old new)
  file(READ ${file} text)
  string(FIND "${text}" "${old}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file}: expected text not found: ${old}")
  endif()
  string(REPLACE "${old}" "${new}" text "${text}")
  file(WRITE ${file} "${text}")
endfunction()

replace_once(${DEST}/src/lua.h
  "#define LUA_ENVIRONINDEX\t(-10001)\n#define LUA_GLOBALSINDEX\t(-10002)"
  "#define LUA_GLOBALSINDEX\t(-10001)\n#define LUA_ENVIRONINDEX\t(-10500)")
replace_once(${DEST}/src/luaconf.h
  "#undef LUA_COMPAT_LOADLIB"
  "#define LUA_COMPAT_LOADLIB")
