#include <windows.h>

#include <mutex>

#include "platform/output_file.h"

namespace platform {
namespace {

// The engine's paths are code page 936 bytes.
std::wstring Wide(const std::string& path) {
    if (path.empty())
        return {};
    int n = MultiByteToWideChar(936, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(936, 0, path.data(), static_cast<int>(path.size()), w.data(), n);
    return w;
}

class Win32File final : public OutputFile {
  public:
    explicit Win32File(HANDLE h) : h_(h) {}
    ~Win32File() override { CloseHandle(h_); }

    bool WriteAt(int64_t offset, const char* data, size_t size) override {
        // One write at a time on the synchronous handle; the offset travels in OVERLAPPED.
        std::lock_guard lock(mutex_);
        while (size > 0) {
            OVERLAPPED o{};
            o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
            o.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(h_, data, chunk, &written, &o) || written == 0)
                return false;
            data += written;
            size -= written;
            offset += written;
        }
        return true;
    }

  private:
    HANDLE h_;
    std::mutex mutex_;
};

}  // namespace

CreateStatus CreateOutputFile(const std::string& path, int64_t length, std::unique_ptr<OutputFile>* file) {
    std::wstring w = Wide(path);
    if (w.empty())
        return CreateStatus::kFailed;
    HANDLE h =
        CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS ? CreateStatus::kExists : CreateStatus::kFailed;
    }
    LARGE_INTEGER size;
    size.QuadPart = length;
    if (!SetFilePointerEx(h, size, nullptr, FILE_BEGIN) || !SetEndOfFile(h)) {
        CloseHandle(h);
        DeleteFileW(w.c_str());
        return CreateStatus::kFailed;
    }
    *file = std::make_unique<Win32File>(h);
    return CreateStatus::kOk;
}

bool ReadableFileLength(const std::string& path, int64_t* length) {
    std::wstring w = Wide(path);
    if (w.empty())
        return false;
    HANDLE h = CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(h, &size) != 0;
    CloseHandle(h);
    if (ok)
        *length = size.QuadPart;
    return ok;
}

}  // namespace platform
