#include "SealedSection.h"

#include "LittleEndian.h"
#include "archive/SealedHeader.h"
#include "base/DataBuffer.h"

namespace {
bool appendSealedEmpty(const MessageSealer &sealer, MessageKind kind, const std::string &extra, std::string &out) {
  MessagePlace place;
  place.kind = kind;
  DataBuffer sealed;
  if (!sealer.seal(place, nullptr, 0, sealed, extra.data(), uint32_t(extra.size())) ||
      sealed.getSize() != SealedHeader::kSealedEmpty) {
    return false;
  }
  out += char(SealedHeader::kSealedEmpty);
  out.append(reinterpret_cast<const char *>(sealed.getData()), sealed.getSize());
  return true;
}
}  // namespace

bool appendSealedSection(const MessageSealer &sealer, const KdfParams &params, uint32_t entryCount,
                         std::string &payload) {
  if (!params.withinBounds() || payload.size() > 0xFFFFFFFFu - SealedHeader::kSize) return false;
  std::string &out = payload;
  appendLittleEndian(out, params.memoryKiB, 4);
  appendLittleEndian(out, params.passes, 4);
  appendLittleEndian(out, entryCount, 4);
  out += char(KdfParams::kSaltSize);
  out.append(reinterpret_cast<const char *>(params.salt), KdfParams::kSaltSize);
  if (!appendSealedEmpty(sealer, MessageKind::PasswordCheck, std::string(), out)) return false;
  // The authenticator's own length byte is the last byte it covers.
  const std::string covered = out + char(SealedHeader::kSealedEmpty);
  return appendSealedEmpty(sealer, MessageKind::Header, covered, out);
}
