# The Windows build compiles its libraries from the Debian source packages that scripts/setup
# unpacks into third_party/, the same releases the Linux build links from the -dev packages.
# Sets ${out} to the newest unpacked folder named ${name}-<version> that holds ${marker}.
function(sfx_third_party_dir out name marker)
  file(GLOB dirs ${PROJECT_SOURCE_DIR}/third_party/${name}-*)
  list(FILTER dirs EXCLUDE REGEX "\\.(tar\\..*|dsc|asc)$")
  list(SORT dirs COMPARE NATURAL)
  list(POP_BACK dirs dir)
  if(NOT dir OR NOT EXISTS ${dir}/${marker})
    message(FATAL_ERROR "${name} sources not found in ${PROJECT_SOURCE_DIR}/third_party: run scripts/setup")
  endif()
  set(${out} ${dir} PARENT_SCOPE)
endfunction()

# The Linux build links Debian's -dev package: interface targets ${ARGN} over the library
# ${library} and the folder that holds ${header}.
function(sfx_system_library header library)
  string(MAKE_C_IDENTIFIER "${library}" id)
  find_path(SFX_${id}_INCLUDE_DIR ${header} REQUIRED)
  find_library(SFX_${id}_LIBRARY ${library} REQUIRED)
  foreach(target ${ARGN})
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${SFX_${id}_INCLUDE_DIR})
    target_link_libraries(${target} INTERFACE ${SFX_${id}_LIBRARY})
  endforeach()
endfunction()
