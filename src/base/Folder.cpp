#include "base/Folder.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vexaro {

namespace fs = std::filesystem;

namespace {

std::error_code Errno(int error) { return {error, std::generic_category()}; }
std::error_code LastErrno() { return Errno(errno != 0 ? errno : EIO); }

bool IsLinkOrFileInTheWay(const std::error_code& ec)
{
    return ec == std::errc::too_many_symbolic_link_levels || ec == std::errc::not_a_directory;
}

} // namespace

Folder Folder::ParentOf(const fs::path& path, fs::path& name, std::error_code& ec)
{
    name = path.filename();
    if (name.empty() || name == "." || name == "..") {
        ec = Errno(EISDIR);
        return {};
    }
    const fs::path parent = path.parent_path();
    if (path.has_root_path())
        return Open(parent, ec);
    Folder folder = Current(ec);
    for (const fs::path& part : parent) {
        if (ec)
            break;
        if (!part.empty() && part != ".")
            folder = folder.sub(part, ec);
    }
    return folder;
}

Folder Folder::ensureSub(const fs::path& name, std::error_code& ec) const
{
    Folder folder = sub(name, ec);
    if (!ec)
        return folder;
    if (IsLinkOrFileInTheWay(ec) && type(name) != EntryType::Folder)
        ec = remove(name);
    else if (ec == std::errc::no_such_file_or_directory)
        ec.clear();
    if (ec)
        return folder;
#ifdef _WIN32
    fs::create_directory(path_ / name, ec);
#else
    if (::mkdirat(fd_, name.c_str(), 0777) != 0 && errno != EEXIST)
        ec = LastErrno();
#endif
    if (ec)
        return folder;
    return sub(name, ec);
}

std::error_code WriteNewFile(const fs::path& path, std::span<const std::uint8_t> bytes)
{
    std::error_code ec;
    fs::path name;
    const Folder folder = Folder::ParentOf(path, name, ec);
    if (ec)
        return ec;
    NewFile file;
    if ((ec = file.create(folder, name)) || (ec = file.writeAt(0, bytes)))
        return ec;
    return file.close();
}

#ifdef _WIN32

// MinGW's std::filesystem does not tell links apart on Windows, so the reparse-point mark of
// symbolic links and junctions is asked for directly.
bool IsLink(const fs::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

Folder::~Folder() = default;
Folder::Folder(Folder&& other) noexcept : path_(std::move(other.path_)) {}
Folder& Folder::operator=(Folder&& other) noexcept
{
    path_ = std::move(other.path_);
    return *this;
}

Folder Folder::Open(const fs::path& path, std::error_code& ec)
{
    Folder folder;
    const fs::file_status status = fs::status(path, ec);
    if (!ec && !fs::is_directory(status))
        ec = Errno(ENOTDIR);
    if (!ec)
        folder.path_ = path;
    return folder;
}

Folder Folder::Current(std::error_code& ec)
{
    Folder folder;
    folder.path_ = fs::current_path(ec);
    return folder;
}

bool Folder::isOpen() const { return !path_.empty(); }

Folder Folder::sub(const fs::path& name, std::error_code& ec) const
{
    Folder folder;
    const fs::path path = path_ / name;
    if (IsLink(path)) {
        ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
        return folder;
    }
    return Open(path, ec);
}

EntryType Folder::type(const fs::path& name) const
{
    const fs::path path = path_ / name;
    if (IsLink(path))
        return EntryType::Link;
    std::error_code ec;
    switch (fs::symlink_status(path, ec).type()) {
    case fs::file_type::not_found: return EntryType::Missing;
    case fs::file_type::regular: return EntryType::File;
    case fs::file_type::directory: return EntryType::Folder;
    default: return EntryType::Other;
    }
}

std::vector<fs::path> Folder::names(std::error_code& ec) const
{
    std::vector<fs::path> names;
    for (fs::directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename());
    return names;
}

std::error_code Folder::remove(const fs::path& name) const
{
    std::error_code ec;
    fs::remove(path_ / name, ec);
    return ec;
}

std::error_code Folder::rename(const fs::path& from, const fs::path& to) const
{
    std::error_code ec;
    fs::rename(path_ / from, path_ / to, ec);
    return ec;
}

std::error_code NewFile::create(const Folder& folder, const fs::path& name)
{
    const fs::path path = folder.path_ / name;
    const EntryType there = folder.type(name);
    if (there == EntryType::Folder)
        return Errno(EISDIR);
    if (there != EntryType::Missing)
        if (const std::error_code ec = folder.remove(name))
            return ec;
    const errno_t error = _wsopen_s(&fd_, path.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                                    _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (error != 0) {
        fd_ = -1;
        return Errno(error);
    }
    folder_ = &folder;
    name_ = name;
    return {};
}

std::error_code NewFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    if (_lseeki64(fd_, static_cast<long long>(offset), SEEK_SET) < 0)
        return LastErrno();
    for (std::size_t done = 0; done < bytes.size();) {
        const unsigned piece = static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        const int n = _write(fd_, bytes.data() + done, piece);
        if (n <= 0)
            return LastErrno();
        done += static_cast<std::size_t>(n);
    }
    return {};
}

std::error_code NewFile::truncate(std::uint64_t length)
{
    const errno_t error = _chsize_s(fd_, static_cast<long long>(length));
    return error == 0 ? std::error_code() : Errno(error);
}

namespace {
int CloseDescriptor(int fd) { return _close(fd); }
} // namespace

#else

bool IsLink(const fs::path& path)
{
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path, ec));
}

Folder::~Folder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Folder::Folder(Folder&& other) noexcept : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

Folder& Folder::operator=(Folder&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Folder Folder::Open(const fs::path& path, std::error_code& ec)
{
    Folder folder;
    folder.fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ec = folder.fd_ < 0 ? LastErrno() : std::error_code();
    folder.path_ = path;
    return folder;
}

Folder Folder::Current(std::error_code& ec)
{
    Folder folder = Open(".", ec);
    std::error_code ignored;
    folder.path_ = fs::current_path(ignored);
    return folder;
}

bool Folder::isOpen() const { return fd_ >= 0; }

Folder Folder::sub(const fs::path& name, std::error_code& ec) const
{
    Folder folder;
    folder.fd_ = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    ec = folder.fd_ < 0 ? LastErrno() : std::error_code();
    folder.path_ = path_ / name;
    return folder;
}

EntryType Folder::type(const fs::path& name) const
{
    struct stat info {};
    if (::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? EntryType::Missing : EntryType::Other;
    if (S_ISLNK(info.st_mode))
        return EntryType::Link;
    if (S_ISREG(info.st_mode))
        return EntryType::File;
    return S_ISDIR(info.st_mode) ? EntryType::Folder : EntryType::Other;
}

std::vector<fs::path> Folder::names(std::error_code& ec) const
{
    std::vector<fs::path> names;
    // A descriptor of its own: the listing reads from its start, and closedir() closes it.
    const int fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (dir == nullptr) {
        ec = LastErrno();
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    ec.clear();
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    if (errno != 0)
        ec = LastErrno();
    ::closedir(dir);
    return names;
}

std::error_code Folder::remove(const fs::path& name) const
{
    if (::unlinkat(fd_, name.c_str(), 0) == 0 || errno == ENOENT)
        return {};
    const int error = errno; // a folder gives EISDIR (Linux) or EPERM
    if (error != EISDIR && error != EPERM)
        return Errno(error);
    if (::unlinkat(fd_, name.c_str(), AT_REMOVEDIR) == 0)
        return {};
    // A file that may not go keeps its EPERM; a folder tells its own reason ("not empty").
    return errno == ENOTDIR ? Errno(error) : LastErrno();
}

std::error_code Folder::rename(const fs::path& from, const fs::path& to) const
{
    return ::renameat(fd_, from.c_str(), fd_, to.c_str()) == 0 ? std::error_code() : LastErrno();
}

std::error_code NewFile::create(const Folder& folder, const fs::path& name)
{
    auto attempt = [&] {
        return ::openat(folder.fd_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    };
    fd_ = attempt();
    // An earlier file or link goes as itself; a folder stays and says so.
    if (fd_ < 0 && errno == EEXIST) {
        if (::unlinkat(folder.fd_, name.c_str(), 0) != 0)
            return errno == EPERM ? Errno(EISDIR) : LastErrno();
        fd_ = attempt();
    }
    if (fd_ < 0)
        return LastErrno();
    folder_ = &folder;
    name_ = name;
    return {};
}

std::error_code NewFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? LastErrno() : Errno(EIO);
        done += static_cast<std::size_t>(n);
    }
    return {};
}

std::error_code NewFile::truncate(std::uint64_t length)
{
    return ::ftruncate(fd_, static_cast<off_t>(length)) == 0 ? std::error_code() : LastErrno();
}

namespace {
int CloseDescriptor(int fd) { return ::close(fd); }
} // namespace

#endif

std::error_code NewFile::close()
{
    if (fd_ < 0)
        return {};
    const std::error_code ec = CloseDescriptor(std::exchange(fd_, -1)) == 0 ? std::error_code() : LastErrno();
    if (ec)
        folder_->remove(name_);
    folder_ = nullptr;
    return ec;
}

void NewFile::discard()
{
    if (folder_ == nullptr)
        return;
    if (fd_ >= 0)
        CloseDescriptor(std::exchange(fd_, -1));
    folder_->remove(name_);
    folder_ = nullptr;
}

bool NewFile::isOpen() const { return fd_ >= 0; }

} // namespace vexaro
