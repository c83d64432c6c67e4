#include "platform/files.h"

#include "platform/strings.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>

namespace {

std::atomic<WriteFailureHook> g_write_failure_hook{nullptr};

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string TempSuffix()
{
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    return ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + std::to_string(rd() % 100000);
}

} // namespace

std::string NativePath(std::u16string_view path)
{
    return ToUtf8(path);
}

std::u16string WidePath(std::string_view native)
{
    return FromUtf8(native);
}

bool PathExists(std::u16string_view path)
{
    struct stat st;
    return !path.empty() && ::stat(NativePath(path).c_str(), &st) == 0;
}

bool IsDirectory(std::u16string_view path)
{
    struct stat st;
    return !path.empty() && ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsReadableFile(std::u16string_view path)
{
    struct stat st;
    const std::string native = NativePath(path);
    return !path.empty() && ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode)
           && ::access(native.c_str(), R_OK) == 0;
}

bool MakeDirectory(std::u16string_view path)
{
    if (path.empty())
        return false;
    if (::mkdir(NativePath(path).c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && IsDirectory(path);
}

bool RemoveFile(std::u16string_view path)
{
    return !path.empty() && ::unlink(NativePath(path).c_str()) == 0;
}

bool RemoveEmptyDirectory(std::u16string_view path)
{
    return !path.empty() && ::rmdir(NativePath(path).c_str()) == 0;
}

bool CopyFileNoOverwrite(std::u16string_view source, std::u16string_view target)
{
    std::string bytes;
    if (!ReadWholeFile(source, bytes))
        return false;
    const std::string native = NativePath(target);
    int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    ok = (::close(fd) == 0) && ok;
    if (!ok)
        ::unlink(native.c_str());
    return ok;
}

std::vector<std::u16string> ListFiles(std::u16string_view directory, std::u16string_view suffix)
{
    std::vector<std::u16string> names;
    DIR* dir = ::opendir(NativePath(directory).c_str());
    if (!dir)
        return names;
    const std::string folder = NativePath(directory);
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::stat((folder + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        std::u16string wide = WidePath(name);
        if (wide.size() < suffix.size()
            || !EqualsIgnoreAsciiCase(std::u16string_view(wide).substr(wide.size() - suffix.size()), suffix))
            continue;
        names.push_back(std::move(wide));
    }
    ::closedir(dir);
    return names;
}

bool ReadWholeFile(std::u16string_view path, std::string& bytes)
{
    if (path.empty())
        return false;
    int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    std::string result;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        result.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    bytes = std::move(result);
    return true;
}

void SetWriteFailureHook(WriteFailureHook hook)
{
    g_write_failure_hook = hook;
}

bool WriteFileAtomically(std::u16string_view path, std::string_view bytes)
{
    if (path.empty())
        return false;
    const std::string target = NativePath(path);
    const std::string temp = target + TempSuffix();
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (WriteFailureHook hook = g_write_failure_hook.load(); ok && hook && hook(path))
        ok = false;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

std::u16string InstallationDirectory(std::u16string* module_path)
{
    std::string buffer(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return {};
    buffer.resize(static_cast<std::size_t>(n));
    std::u16string full = WidePath(buffer);
    if (module_path)
        *module_path = full;
    std::size_t slash = full.rfind(u'/');
    if (slash == std::u16string::npos)
        return {};
    return full.substr(0, slash);
}

std::u16string UserDataHome()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return WidePath(xdg);
    if (const char* home = std::getenv("HOME"); home && *home)
        return WidePath(std::string(home) + "/.local/share");
    return {};
}

std::u16string RuntimeDirectory()
{
    std::string folder;
    if (const char* own = std::getenv("VARNOTH_RUNTIME_DIR"); own && *own) {
        folder = own;
    } else if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
        folder = std::string(xdg) + "/varnoth";
    } else {
        const char* tmp = std::getenv("TMPDIR");
        folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/varnoth-" + std::to_string(::getuid());
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st;
    // Only a folder of ours that nobody else can write into is trusted.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return {};
    if ((st.st_mode & 0077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        return {};
    return WidePath(folder);
}

std::u16string UserCacheDirectory()
{
    std::string folder;
    if (const char* own = std::getenv("VARNOTH_CACHE_DIR"); own && *own) {
        folder = own;
    } else if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') {
        folder = std::string(xdg) + "/varnoth";
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        folder = std::string(home) + "/.cache/varnoth";
    } else {
        return {};
    }
    // Every level up to the folder itself; the levels above keep their modes.
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST)
            return {};
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return {};
    if ((st.st_mode & 0077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        return {};
    return WidePath(folder);
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name)
{
    std::u16string result(folder);
    if (!result.empty() && result.back() != u'/')
        result.push_back(u'/');
    result.append(name);
    return result;
}
