# debian_source(<package> <dir> <probe>): the unpacked source of a Debian source
# package, with Debian's patches applied, at <dir>. Fetched with `apt-get source` at
# configure time when <dir>/<probe> is missing, so it happens once per build folder and
# never touches the source tree. Needs deb-src entries and dpkg-dev (scripts/lib.sh).
function(debian_source package dir probe)
  if(EXISTS ${dir}/${probe})
    return()
  endif()
  get_filename_component(parent ${dir} DIRECTORY)
  set(fetch ${parent}/fetch-${package})
  file(REMOVE_RECURSE ${fetch})
  file(MAKE_DIRECTORY ${fetch})
  message(STATUS "Fetching Debian's ${package} source into ${dir}")
  execute_process(COMMAND apt-get -o APT::Sandbox::User=root -q source ${package}
                  WORKING_DIRECTORY ${fetch} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  # apt-get source leaves the archives beside the one unpacked folder.
  file(GLOB unpacked LIST_DIRECTORIES true ${fetch}/*)
  list(FILTER unpacked EXCLUDE REGEX "\\.(xz|gz|bz2|asc|dsc)$")
  if(rc OR NOT unpacked OR NOT EXISTS ${unpacked}/${probe})
    message(FATAL_ERROR "apt-get source ${package} failed (deb-src entries enabled? dpkg-dev installed?):\n${err}")
  endif()
  file(REMOVE_RECURSE ${dir})
  file(RENAME ${unpacked} ${dir})
  file(REMOVE_RECURSE ${fetch})
endfunction()
