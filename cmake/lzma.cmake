# liblzma (xz) as two targets: sfx_lzma_decoder, the decoder alone, which the stub links, and
# sfx_lzma, the whole library, which the builder links. Both read and write the LZMA1, LZMA2 and
# x86 branch filters and the xz container with CRC-32 checks. The Linux build links Debian's
# liblzma-dev for both. The Windows build compiles the same release from Debian's source package
# of xz-utils (cmake/third_party.cmake) statically; sfx_lzma adds the encoder to
# sfx_lzma_decoder's objects, so that a program linking both gets each function once.
if(WIN32)
  sfx_third_party_dir(xz_dir xz-utils src/liblzma/api/lzma.h)
  set(lzma_src ${xz_dir}/src/liblzma)
  # What its configure script would find on this compiler, without threads: the builder runs its
  # own workers and every block decodes on one of the stub's. Of the integrity checks only CRC-32,
  # which the xz headers need anyway: CRC-64 and SHA-256 would add 13 KB to the stub. Unlike
  # Debian's liblzma, this build decodes a stream that declares either of them without checking
  # it, unless the reader asks for LZMA_TELL_UNSUPPORTED_CHECK.
  set(lzma_config HAVE_STDBOOL_H HAVE__BOOL HAVE_STDINT_H HAVE_INTTYPES_H HAVE_VISIBILITY=0
                  TUKLIB_SYMBOL_PREFIX=lzma_ TUKLIB_FAST_UNALIGNED_ACCESS HAVE___BUILTIN_BSWAPXX
                  HAVE_CHECK_CRC32)
  set(lzma_includes api common check lz rangecoder lzma delta simple)
  list(TRANSFORM lzma_includes PREPEND ${lzma_src}/)

  set(lzma_decoder_sources
      check/check.c check/crc32_fast.c check/crc32_table.c
      common/block_buffer_decoder.c common/block_decoder.c common/block_header_decoder.c common/block_util.c
      common/common.c common/easy_decoder_memusage.c common/filter_buffer_decoder.c common/filter_common.c
      common/filter_decoder.c common/filter_flags_decoder.c common/index.c common/index_decoder.c
      common/index_hash.c common/stream_buffer_decoder.c common/stream_decoder.c common/stream_flags_common.c
      common/stream_flags_decoder.c common/vli_decoder.c common/vli_size.c
      lz/lz_decoder.c lzma/lzma_decoder.c lzma/lzma2_decoder.c
      simple/simple_coder.c simple/simple_decoder.c simple/x86.c)
  list(TRANSFORM lzma_decoder_sources PREPEND ${lzma_src}/)
  add_library(sfx_lzma_decoder STATIC ${lzma_decoder_sources})
  target_include_directories(sfx_lzma_decoder PRIVATE ${lzma_includes} ${xz_dir}/src/common)
  target_include_directories(sfx_lzma_decoder SYSTEM PUBLIC ${lzma_src}/api)
  # Static: without it lzma.h declares every function as imported from a DLL.
  target_compile_definitions(sfx_lzma_decoder PUBLIC LZMA_API_STATIC)
  target_compile_definitions(sfx_lzma_decoder PRIVATE ${lzma_config}
                             HAVE_DECODERS HAVE_DECODER_LZMA1 HAVE_DECODER_LZMA2 HAVE_DECODER_X86)
  # Its own optimisation, whatever the build type: it travels in every stub.
  target_compile_options(sfx_lzma_decoder PRIVATE -Os -w)

  # Without the decoder defines, so that x86.c here holds the x86 encoder alone.
  set(lzma_encoder_sources
      common/block_buffer_encoder.c common/block_encoder.c common/block_header_encoder.c
      common/easy_buffer_encoder.c common/easy_encoder.c common/easy_encoder_memusage.c common/easy_preset.c
      common/filter_buffer_encoder.c common/filter_encoder.c common/filter_flags_encoder.c
      common/index_encoder.c common/stream_buffer_encoder.c common/stream_encoder.c
      common/stream_flags_encoder.c common/vli_encoder.c
      lz/lz_encoder.c lz/lz_encoder_mf.c lzma/fastpos_table.c lzma/lzma_encoder.c lzma/lzma2_encoder.c
      lzma/lzma_encoder_optimum_fast.c lzma/lzma_encoder_optimum_normal.c lzma/lzma_encoder_presets.c
      rangecoder/price_table.c simple/simple_encoder.c simple/x86.c)
  list(TRANSFORM lzma_encoder_sources PREPEND ${lzma_src}/)
  add_library(sfx_lzma STATIC ${lzma_encoder_sources})
  target_link_libraries(sfx_lzma PUBLIC sfx_lzma_decoder)
  target_include_directories(sfx_lzma PRIVATE ${lzma_includes} ${xz_dir}/src/common)
  target_compile_definitions(sfx_lzma PRIVATE ${lzma_config} HAVE_ENCODERS HAVE_ENCODER_LZMA1 HAVE_ENCODER_LZMA2
                             HAVE_ENCODER_X86 HAVE_MF_HC3 HAVE_MF_HC4 HAVE_MF_BT2 HAVE_MF_BT3 HAVE_MF_BT4)
  target_compile_options(sfx_lzma PRIVATE -O2 -w)
else()
  find_package(LibLZMA REQUIRED)
  foreach(target sfx_lzma_decoder sfx_lzma)
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE LibLZMA::LibLZMA)
  endforeach()
endif()
