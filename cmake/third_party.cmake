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
