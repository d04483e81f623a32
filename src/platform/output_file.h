// The download engine's target file: created new (never over an existing file) at its
// full length, then written at offsets from several threads at once. POSIX files
// natively; Win32 files on Windows, where the path bytes are code page 936.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class CreateStatus { kOk, kExists, kFailed };

class OutputFile {
  public:
    virtual ~OutputFile() = default;
    // Safe to call from several threads at once for different ranges.
    virtual bool WriteAt(int64_t offset, const char* data, size_t size) = 0;
};

// Creates the file exclusively and sets its length; on kOk *file holds it open.
CreateStatus CreateOutputFile(const std::string& path, int64_t length, std::unique_ptr<OutputFile>* file);

// True when a file at the path can be opened for reading; *length is then its size.
bool ReadableFileLength(const std::string& path, int64_t* length);

}  // namespace platform
