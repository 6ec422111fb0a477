# libdeflate, the deflate encoder of sfxpack, as the target sfx_libdeflate. The Linux build links
# Debian's libdeflate-dev. The Windows build compiles the same version from Debian's source
# package (cmake/third_party.cmake) and links it statically.
if(WIN32)
  sfx_third_party_dir(libdeflate_dir libdeflate libdeflate.h)
  # The encoder alone: the payload reader has its own inflate.
  add_library(sfx_libdeflate STATIC ${libdeflate_dir}/lib/deflate_compress.c ${libdeflate_dir}/lib/utils.c
                                    ${libdeflate_dir}/lib/x86/cpu_features.c)
  target_include_directories(sfx_libdeflate SYSTEM PUBLIC ${libdeflate_dir})
  # Its own optimisation, whatever the build type: the stub's size settings would slow it down.
  target_compile_options(sfx_libdeflate PRIVATE -O2 -w)
else()
  sfx_system_library(libdeflate.h deflate sfx_libdeflate)
endif()
