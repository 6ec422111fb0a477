// The two ways the builder encrypts a message: the classic AES scheme, which ignores the place,
// and the sealed scheme, which binds every message to it.
#pragma once

#include "PayloadWriter.h"

class DataBuffer;
class MessageSealer;

// Both keep a reference: the key or the sealer must outlive the encryptor.
MessageEncryptor classicEncryptor(const DataBuffer &key, int keyBits);
MessageEncryptor sealingEncryptor(const MessageSealer &sealer);
