#include "records/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "records/atomic_file.h"
#include "records/file_error.h"

namespace npt {

namespace {
const std::string kLoadPrefix = "Не удалось загрузить файл";

[[noreturn]] void loadFailed(const std::string& path, const std::string& reason) {
    throw FileError(path, reason, kLoadPrefix + " «" + path + "»: " + reason + ".");
}

std::string shortFileReason(std::size_t size) {
    return "файл слишком короткий (" + std::to_string(size) + " байт, а запись датчика занимает " +
           std::to_string(kDataFileSize) + " байт)";
}
}  // namespace

MemoryImage imageFromDataFile(std::span<const std::uint8_t> bytes, const std::string& path) {
    if (bytes.size() < kDataFileSize) {
        loadFailed(path, shortFileReason(bytes.size()));
    }
    return MemoryImage::fromBytes(bytes.first(MemoryImage::kSize));
}

MemoryImage readDataFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        loadFailed(path, reasonForErrno(errno));
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        loadFailed(path, reasonForErrno(EISDIR));
    }
    std::vector<std::uint8_t> buffer(kDataFileSize);
    std::size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            loadFailed(path, reasonForErrno(error));
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return imageFromDataFile(std::span(buffer).first(got), path);
}

std::vector<std::uint8_t> dataFileBytes(const MemoryImage& image) {
    std::vector<std::uint8_t> bytes(image.bytes().begin(), image.bytes().end());
    bytes.push_back(0);
    return bytes;
}

void writeDataFile(const std::string& path, const MemoryImage& image) {
    writeFileAtomically(path, dataFileBytes(image), "Не удалось сохранить файл");
}

}  // namespace npt
