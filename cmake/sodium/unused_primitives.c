/* sodium_init also picks the fastest code of two primitives that this build of libsodium leaves
 * out, curve25519 and salsa20: nothing here uses them, and their tables alone would add about a
 * hundred kilobytes to every stub. A program that calls them fails to link instead. */
#include "private/implementations.h"

int _crypto_scalarmult_curve25519_pick_best_implementation(void) { return 0; }

int _crypto_stream_salsa20_pick_best_implementation(void) { return 0; }
