#include "crypto/MessagePlace.h"

void MessagePlace::encode(uint8_t out[kEncodedSize]) const {
  out[0] = uint8_t(kind);
  out[1] = last ? 1 : 0;
  out[2] = out[3] = 0;
  for (int i = 0; i < 4; ++i) out[4 + i] = uint8_t(entry >> (8 * i));
  for (int i = 0; i < 8; ++i) out[8 + i] = uint8_t(index >> (8 * i));
}
