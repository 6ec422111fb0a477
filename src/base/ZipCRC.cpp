#include "base/ZipCRC.h"

#include "base/Crc32Clmul.h"
#include "base/Crc32Slicing.h"

namespace {
using Kernel = uint32_t (*)(uint32_t, const uint8_t *, size_t);

// Chosen once per process; both kernels give the same register.
Kernel kernel() {
#ifdef SFX_HAVE_CLMUL_CODE
  static const Kernel chosen = crc32ClmulAvailable() ? crc32ClmulUpdate : crc32SlicingUpdate;
  return chosen;
#else
  return crc32SlicingUpdate;
#endif
}
}  // namespace

void ZipCRC::update(const void *data, uint32_t length) {
  m_register = kernel()(m_register, static_cast<const uint8_t *>(data), length);
}

uint32_t ZipCRC::crc32(const void *data, uint32_t length) {
  if (length == 0) return 0;
  ZipCRC crc;
  crc.update(data, length);
  return crc.value();
}
