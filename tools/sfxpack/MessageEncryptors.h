// The two ways the builder encrypts a message: the classic AES scheme, which ignores the place,
// and the sealed scheme, which binds every message to it.
#pragma once

#include "PayloadWriter.h"

class DataBuffer;
class MessageSealer;
struct ChunkJob;

// Both keep a reference: the key or the sealer must outlive the encryptor.
MessageEncryptor classicEncryptor(const DataBuffer &key, int keyBits);
MessageEncryptor sealingEncryptor(const MessageSealer &sealer);

// On a worker: the job's body becomes its encryption at the job's place (with an empty
// encryptor it stays as it is); a failure marks the job failed.
void encryptJobBody(const MessageEncryptor &encryptor, ChunkJob &job);
