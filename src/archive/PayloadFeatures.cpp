// Decoding the feature word of an extended payload, and the list of what this stub reads.
#include "archive/PayloadFeatures.h"

bool PayloadFeatures::fromWord(uint32_t word, PayloadFeatures &out) {
  out = PayloadFeatures();
  if ((word >> 16) != 0) return false;
  out.layout = PayloadLayout(word & 0xFF);
  out.scheme = PayloadScheme(word >> 8 & 0xFF);
  return true;
}

bool payloadFeaturesSupported(const PayloadFeatures &features) {
  switch (features.layout) {
    case PayloadLayout::DeflateChunks:
    case PayloadLayout::SolidZstd:
    case PayloadLayout::SolidXz:
      break;
    default:
      return false;
  }
  switch (features.scheme) {
    case PayloadScheme::Classic:
    case PayloadScheme::Sodium:
      return true;
    default:
      return false;
  }
}
