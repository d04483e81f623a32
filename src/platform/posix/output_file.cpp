#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/output_file.h"

namespace platform {
namespace {

class PosixFile final : public OutputFile {
  public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override { close(fd_); }

    bool WriteAt(int64_t offset, const char* data, size_t size) override {
        while (size > 0) {
            ssize_t n = pwrite(fd_, data, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<size_t>(n);
            offset += n;
        }
        return true;
    }

  private:
    int fd_;
};

// The tool's paths are Windows paths ("folder\\name"); here "\\" separates folders as
// "/" does. A byte of 0x80 or above leads a double-byte character whose trail byte may be
// 0x5C without being a separator.
std::string NativePath(const std::string& path) {
    std::string out = path;
    for (size_t i = 0; i < out.size(); ++i) {
        if (static_cast<unsigned char>(out[i]) >= 0x80) {
            ++i;
        } else if (out[i] == '\\') {
            out[i] = '/';
        }
    }
    return out;
}

}  // namespace

CreateStatus CreateOutputFile(const std::string& windowsPath, int64_t length, std::unique_ptr<OutputFile>* file) {
    const std::string path = NativePath(windowsPath);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno == EEXIST ? CreateStatus::kExists : CreateStatus::kFailed;
    if (ftruncate(fd, static_cast<off_t>(length)) != 0) {
        close(fd);
        unlink(path.c_str());
        return CreateStatus::kFailed;
    }
    *file = std::make_unique<PosixFile>(fd);
    return CreateStatus::kOk;
}

bool ReadableFileLength(const std::string& windowsPath, int64_t* length) {
    int fd = open(NativePath(windowsPath).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    if (ok)
        *length = st.st_size;
    return ok;
}

}  // namespace platform
