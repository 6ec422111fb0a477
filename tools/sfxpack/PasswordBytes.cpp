#include "PasswordBytes.h"

#include "base/DataBuffer.h"
#include "base/EncodingConvert.h"
#include "base/Logger.h"

bool passwordBytes(const std::string &utf8, long codePage, std::string &bytes, std::string &error) {
  if (!EncodingConvert::isSupported(uint32_t(codePage))) {
    error = "code page " + std::to_string(codePage) + " is not supported for passwords";
    return false;
  }
  DataBuffer out;
  LogNull log;
  EncodingConvert convert;
  if (!convert.convert(EncodingConvert::kUtf8, uint32_t(codePage), utf8.data(), uint32_t(utf8.size()), out,
                       log)) {
    error = "the password cannot be written in code page " + std::to_string(codePage) +
            " (the stub's users type it in that code page)";
    return false;
  }
  bytes.assign(reinterpret_cast<const char *>(out.getData()), out.getSize());
  return true;
}
