#include "MessageEncryptors.h"

#include "CompressionPool.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/AesMessageEncrypt.h"
#include "crypto/MessageSealer.h"

namespace {
void assign(const DataBuffer &bytes, std::string &out) {
  out.assign(reinterpret_cast<const char *>(bytes.getData()), bytes.getSize());
}
}  // namespace

MessageEncryptor classicEncryptor(const DataBuffer &key, int keyBits) {
  return [&key, keyBits](const MessagePlace &, const std::string &plain, std::string &cipher) {
    DataBuffer sealed;
    LogNull log;
    if (!aesEncryptMessage(key, keyBits, plain.data(), uint32_t(plain.size()), sealed, log)) return false;
    assign(sealed, cipher);
    return true;
  };
}

MessageEncryptor sealingEncryptor(const MessageSealer &sealer) {
  return [&sealer](const MessagePlace &place, const std::string &plain, std::string &cipher) {
    DataBuffer sealed;
    if (!sealer.seal(place, plain.data(), uint32_t(plain.size()), sealed)) return false;
    assign(sealed, cipher);
    return true;
  };
}

void encryptJobBody(const MessageEncryptor &encryptor, ChunkJob &job) {
  if (!encryptor) return;
  std::string cipher;
  if (!encryptor(job.place, job.body, cipher)) {
    job.failed = true;
    job.error = "Encryption failed.";
    return;
  }
  job.body.swap(cipher);
}
