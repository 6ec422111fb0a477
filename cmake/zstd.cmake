# libzstd as two targets: sfx_zstd_decoder, the decoder alone, which the stub links, and sfx_zstd,
# the whole library, which the builder links. The Linux build links Debian's libzstd-dev for both.
# The Windows build compiles the same release from Debian's source package
# (cmake/third_party.cmake) statically; sfx_zstd adds the encoder to sfx_zstd_decoder's objects, so
# that a program linking both gets each function once.
if(WIN32)
  sfx_third_party_dir(zstd_dir libzstd lib/zstd.h)
  set(zstd_lib ${zstd_dir}/lib)
  add_library(sfx_zstd_decoder STATIC
              ${zstd_lib}/common/debug.c ${zstd_lib}/common/entropy_common.c ${zstd_lib}/common/error_private.c
              ${zstd_lib}/common/fse_decompress.c ${zstd_lib}/common/xxhash.c ${zstd_lib}/common/zstd_common.c
              ${zstd_lib}/decompress/huf_decompress.c ${zstd_lib}/decompress/zstd_ddict.c
              ${zstd_lib}/decompress/zstd_decompress.c ${zstd_lib}/decompress/zstd_decompress_block.c)
  target_include_directories(sfx_zstd_decoder SYSTEM PUBLIC ${zstd_lib})
  # Only frames of the current format; the x86-64 Huffman loops are ELF assembly.
  target_compile_definitions(sfx_zstd_decoder PRIVATE ZSTD_LEGACY_SUPPORT=0 ZSTD_DISABLE_ASM)
  # Its own optimisation, whatever the build type: it travels in every stub. Measured on a 32 MiB
  # zstd -19 frame: one Huffman decoder, one sequence decoder and no error strings take 28 KB off
  # the stub for 4 % of the decoding speed; ZSTD_NO_INLINE would take 16 KB more for 30 %. -O2
  # decodes twice as fast as -Os but adds 23 KB.
  target_compile_definitions(sfx_zstd_decoder PRIVATE HUF_FORCE_DECOMPRESS_X1 ZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT
                                                      ZSTD_STRIP_ERROR_STRINGS)
  target_compile_options(sfx_zstd_decoder PRIVATE -Os -w)

  # Single-threaded compression: the builder runs its own workers.
  file(GLOB zstd_encoder_sources ${zstd_lib}/compress/*.c)
  list(FILTER zstd_encoder_sources EXCLUDE REGEX "zstdmt_compress\\.c$")
  add_library(sfx_zstd STATIC ${zstd_encoder_sources})
  target_link_libraries(sfx_zstd PUBLIC sfx_zstd_decoder)
  target_compile_definitions(sfx_zstd PRIVATE ZSTD_LEGACY_SUPPORT=0 ZSTD_DISABLE_ASM)
  target_compile_options(sfx_zstd PRIVATE -O2 -w)
else()
  sfx_system_library(zstd.h zstd sfx_zstd_decoder sfx_zstd)
endif()
