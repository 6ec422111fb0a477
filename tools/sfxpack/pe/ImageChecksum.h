// The checksum of a finished program, computed over the whole file on disk and written into
// its header. Windows checks it only for drivers, but signing tools and scanners read it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

bool writeImageChecksum(const std::filesystem::path &file, size_t checksumOffset, std::string &error);
