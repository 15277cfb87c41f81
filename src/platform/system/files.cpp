// Raw file access over POSIX descriptors, for the converter's two files.
#include "platform/system/files.hpp"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t outputBufferSize = 64 * 1024;

int closeDescriptor(int fd) {
    // After EINTR the descriptor is gone on Linux; retrying could close
    // someone else's.
    if (::close(fd) != 0 && errno != EINTR) return errno;
    return 0;
}

}  // namespace

namespace fileerror {
const int notFound = ENOENT;
const int notDirectory = ENOTDIR;
const int accessDenied = EACCES;
const int notPermitted = EPERM;
const int readOnly = EROFS;
const int isDirectory = EISDIR;
const int noSpace = ENOSPC;
const int noMemory = ENOMEM;
}  // namespace fileerror

// ---- input ----

InputFile::~InputFile() { close(); }

int InputFile::open(const std::string& nativeName) {
    close();
    // Non-blocking so that a pipe without a writer does not hang the open.
    int fd = ::open(nativeName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        return e;
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
    // It stays non-blocking: a pipe with nothing to read yet is waited for
    // in read, where the caller can go on with its duties.
    fd_ = fd;
    return 0;
}

int InputFile::openStandardInput() {
    close();
    const int fd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return errno;
    fd_ = fd;
    return 0;
}

long long InputFile::read(char* buffer, std::size_t size, const std::function<void()>& whileWaiting) {
    if (fd_ < 0) return -EBADF;
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -errno;
        struct pollfd p {fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) < 0 && errno != EINTR) return -errno;
        if (whileWaiting) whileWaiting();
    }
}

long long InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t size) {
    if (fd_ < 0) return -EBADF;
    for (;;) {
        ssize_t n = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
        if (n >= 0) return n;
        if (errno != EINTR) return -errno;
    }
}

int InputFile::close() {
    if (fd_ < 0) return 0;
    int fd = fd_;
    fd_ = -1;
    return closeDescriptor(fd);
}

// ---- output ----

OutputFile::~OutputFile() { close(); }

int OutputFile::create(const std::string& nativeName) {
    close();
    // Non-blocking so that a named pipe without a reader fails at once
    // (ENXIO) instead of waiting for one; writes then block as usual.
    int fd = ::open(nativeName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    buffer_.resize(outputBufferSize);
    used_ = 0;
    return 0;
}

int OutputFile::openStandardOutput() {
    close();
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return errno;
    fd_ = fd;
    buffer_.resize(outputBufferSize);
    used_ = 0;
    return 0;
}

int OutputFile::writeAll(const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

int OutputFile::flushBuffer() {
    std::size_t n = used_;
    used_ = 0;
    return n ? writeAll(buffer_.data(), n) : 0;
}

int OutputFile::flush() { return fd_ < 0 ? EBADF : flushBuffer(); }

int OutputFile::write(const char* data, std::size_t size) {
    if (fd_ < 0) return EBADF;
    if (size <= buffer_.size() - used_) {
        std::memcpy(buffer_.data() + used_, data, size);
        used_ += size;
        return 0;
    }
    if (int e = flushBuffer()) return e;
    if (size >= buffer_.size()) return writeAll(data, size);  // large: straight out
    std::memcpy(buffer_.data(), data, size);
    used_ = size;
    return 0;
}

int OutputFile::close() {
    if (fd_ < 0) return 0;
    int e = flushBuffer();
    int fd = fd_;
    fd_ = -1;
    buffer_.clear();
    buffer_.shrink_to_fit();
    int c = closeDescriptor(fd);
    return e ? e : c;
}

// ---- names ----

bool sameFile(const std::string& nativeA, const std::string& nativeB) {
    struct stat a {}, b {};
    if (::stat(nativeA.c_str(), &a) != 0 || ::stat(nativeB.c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The errors a user meets with files, in Portuguese whatever the locale;
// the rest keep the C library's text.
constexpr struct {
    int code;
    const char* text;
} kErrorTexts[] = {
    {EPERM, "Opera\xE7\xE3o n\xE3o permitida"},
    {ENOENT, "Arquivo ou pasta inexistente"},
    {EINTR, "Chamada interrompida"},
    {EIO, "Erro de entrada/sa\xED" "da no dispositivo"},
    {ENXIO, "Dispositivo ou endere\xE7o inexistente (ningu\xE9m l\xEA o arquivo)"},
    {EBADF, "Descritor de arquivo inv\xE1lido"},
    {EAGAIN, "Recurso temporariamente indispon\xEDvel"},
    {ENOMEM, "Mem\xF3ria insuficiente"},
    {EACCES, "Permiss\xE3o negada"},
    {EBUSY, "Dispositivo ou recurso ocupado"},
    {EEXIST, "O arquivo j\xE1 existe"},
    {ENODEV, "Dispositivo inexistente"},
    {ENOTDIR, "N\xE3o \xE9 uma pasta"},
    {EISDIR, "\xC9 uma pasta"},
    {EINVAL, "Argumento inv\xE1lido"},
    {ENFILE, "Arquivos demais abertos no sistema"},
    {EMFILE, "Arquivos demais abertos"},
    {ETXTBSY, "Arquivo em uso"},
    {EFBIG, "Arquivo grande demais"},
    {ENOSPC, "N\xE3o h\xE1 espa\xE7o dispon\xEDvel no dispositivo"},
    {ESPIPE, "Posicionamento imposs\xEDvel"},
    {EROFS, "Sistema de arquivos somente para leitura"},
    {EPIPE, "Quem lia a sa\xED" "da parou de ler (pipe quebrado)"},
    {ENAMETOOLONG, "Nome de arquivo comprido demais"},
    {ELOOP, "Liga\xE7\xF5" "es simb\xF3licas demais"},
    {EOVERFLOW, "Arquivo grande demais para esta opera\xE7\xE3o"},
    {EDQUOT, "Cota de disco excedida"},
    {ETIMEDOUT, "Tempo esgotado"},
    {ESTALE, "Arquivo de rede n\xE3o est\xE1 mais dispon\xEDvel"},
};

std::string systemErrorText(int code) {
    for (const auto& e : kErrorTexts)
        if (e.code == code) return e.text;
    char buffer[256];
    // The GNU strerror_r answers a pointer that may or may not be buffer.
    const char* text = ::strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string("error ") + std::to_string(code);
}

}  // namespace platform
