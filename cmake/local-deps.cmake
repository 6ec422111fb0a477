# Stand-in for the shared libsodium target until the Windows build of it lands: the Linux build
# links Debian's libsodium-dev.
if(NOT TARGET sfx_sodium AND NOT WIN32)
  find_path(SFX_SODIUM_INCLUDE sodium.h REQUIRED)
  find_library(SFX_SODIUM_LIBRARY NAMES libsodium.a sodium REQUIRED)
  add_library(sfx_sodium INTERFACE)
  target_include_directories(sfx_sodium INTERFACE ${SFX_SODIUM_INCLUDE})
  target_link_libraries(sfx_sodium INTERFACE ${SFX_SODIUM_LIBRARY})
endif()
