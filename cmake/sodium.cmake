# libsodium as the target sfx_sodium: Argon2id password hashing, XChaCha20-Poly1305 (the AEAD and
# the secret stream), random bytes, sodium_init and sodium_memzero. The Linux build links Debian's
# libsodium-dev. The Windows build compiles the same release from Debian's source package
# (cmake/third_party.cmake) statically: those primitives, with SSE and AVX2 variants of the fast
# paths, which libsodium picks at run time.
if(WIN32)
  sfx_third_party_dir(sodium_dir libsodium src/libsodium/include/sodium.h)
  set(sodium_src ${sodium_dir}/src/libsodium)
  set(sodium_sources
      sodium/codecs.c sodium/core.c sodium/runtime.c sodium/utils.c
      randombytes/randombytes.c randombytes/sysrandom/randombytes_sysrandom.c
      crypto_verify/sodium/verify.c crypto_core/hchacha20/core_hchacha20.c
      crypto_pwhash/crypto_pwhash.c crypto_pwhash/argon2/argon2.c crypto_pwhash/argon2/argon2-core.c
      crypto_pwhash/argon2/argon2-encoding.c crypto_pwhash/argon2/blake2b-long.c
      crypto_pwhash/argon2/argon2-fill-block-ref.c crypto_pwhash/argon2/argon2-fill-block-ssse3.c
      crypto_pwhash/argon2/argon2-fill-block-avx2.c
      crypto_pwhash/argon2/pwhash_argon2i.c crypto_pwhash/argon2/pwhash_argon2id.c
      crypto_generichash/blake2b/ref/generichash_blake2b.c crypto_generichash/blake2b/ref/blake2b-ref.c
      crypto_generichash/blake2b/ref/blake2b-compress-ref.c
      crypto_stream/chacha20/stream_chacha20.c crypto_stream/chacha20/ref/chacha20_ref.c
      crypto_stream/chacha20/dolbeau/chacha20_dolbeau-ssse3.c crypto_stream/chacha20/dolbeau/chacha20_dolbeau-avx2.c
      crypto_onetimeauth/poly1305/onetimeauth_poly1305.c crypto_onetimeauth/poly1305/donna/poly1305_donna.c
      crypto_onetimeauth/poly1305/sse2/poly1305_sse2.c
      crypto_aead/chacha20poly1305/sodium/aead_chacha20poly1305.c
      crypto_aead/xchacha20poly1305/sodium/aead_xchacha20poly1305.c
      crypto_secretstream/xchacha20poly1305/secretstream_xchacha20poly1305.c)
  list(TRANSFORM sodium_sources PREPEND ${sodium_src}/)
  add_library(sfx_sodium STATIC ${sodium_sources} ${CMAKE_CURRENT_LIST_DIR}/sodium/unused_primitives.c)
  # The release's own version header, which its configure script would write, beside the header
  # it includes.
  set(sodium_generated ${CMAKE_BINARY_DIR}/sodium/include/sodium)
  configure_file(${sodium_dir}/builds/msvc/version.h ${sodium_generated}/version.h COPYONLY)
  configure_file(${sodium_src}/include/sodium/export.h ${sodium_generated}/export.h COPYONLY)
  target_include_directories(sfx_sodium SYSTEM PUBLIC ${CMAKE_BINARY_DIR}/sodium/include ${sodium_src}/include)
  target_include_directories(sfx_sodium PRIVATE ${sodium_src}/include/sodium)
  # Static: without it sodium.h declares every function as imported from a DLL.
  target_compile_definitions(sfx_sodium PUBLIC SODIUM_STATIC)
  # What its configure script finds on this compiler. Each SIMD file enables its instruction set
  # itself and runs only where the processor has it.
  target_compile_definitions(sfx_sodium PRIVATE NATIVE_LITTLE_ENDIAN HAVE_TI_MODE HAVE_CPUID)
  # The SIMD code only where it pays for its size (measured under Wine): AVX2 and SSSE3 Argon2
  # fills (AVX-512 was no faster: the fill waits on memory), ChaCha20 and Poly1305 (the AEAD runs
  # at about 400 MB/s without them, above 1 GB/s with them). BLAKE2b stays portable: Argon2 hashes
  # only a few blocks with it.
  set(sodium_simd_sources
      sodium/runtime.c crypto_verify/sodium/verify.c crypto_pwhash/argon2/argon2-core.c
      crypto_pwhash/argon2/argon2-fill-block-ssse3.c crypto_pwhash/argon2/argon2-fill-block-avx2.c
      crypto_stream/chacha20/stream_chacha20.c crypto_stream/chacha20/dolbeau/chacha20_dolbeau-ssse3.c
      crypto_stream/chacha20/dolbeau/chacha20_dolbeau-avx2.c crypto_onetimeauth/poly1305/onetimeauth_poly1305.c
      crypto_onetimeauth/poly1305/sse2/poly1305_sse2.c)
  list(TRANSFORM sodium_simd_sources PREPEND ${sodium_src}/)
  set_source_files_properties(${sodium_simd_sources} PROPERTIES COMPILE_DEFINITIONS
      "HAVE_MMINTRIN_H;HAVE_EMMINTRIN_H;HAVE_PMMINTRIN_H;HAVE_TMMINTRIN_H;HAVE_SMMINTRIN_H;HAVE_AVXINTRIN_H;HAVE_AVX2INTRIN_H")
  # The processor check reads XCR0 with inline assembly; defined for every file, HAVE_AVX_ASM would
  # also ask for curve25519 assembly written for the System V calling convention.
  set_property(SOURCE ${sodium_src}/sodium/runtime.c APPEND PROPERTY COMPILE_DEFINITIONS HAVE_AVX_ASM)
  target_compile_options(sfx_sodium PRIVATE -O2 -w)
else()
  sfx_system_library(sodium.h sodium sfx_sodium)
endif()
