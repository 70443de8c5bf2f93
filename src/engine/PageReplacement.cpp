#include "engine/PageReplacement.h"

#include "engine/LeftoverTemporaries.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagsmith {

mode_t creationMask()
{
    static const mode_t mask = [] {
        const mode_t current = ::umask(0);
        ::umask(current);
        return current;
    }();
    return mask;
}

// Buffered writing to the temporary file; the first error is kept.
class PageReplacement::Writer : public ByteSink
{
public:
    Writer(int fd, std::size_t bufferSize) : m_fd(fd) { m_buffer.reserve(bufferSize); }
    ~Writer() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    void write(std::string_view bytes) override
    {
        if (m_error != 0)
            return;
        if (m_buffer.size() + bytes.size() <= m_buffer.capacity()) {
            m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
            return;
        }
        flush();
        if (bytes.size() >= m_buffer.capacity())
            writeAll(bytes);
        else
            m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    }

    int close()
    {
        flush();
        if (::close(m_fd) != 0 && m_error == 0)
            m_error = errno;
        m_fd = -1;
        return m_error;
    }

private:
    void flush()
    {
        writeAll(std::string_view(m_buffer.data(), m_buffer.size()));
        m_buffer.clear();
    }

    void writeAll(std::string_view bytes)
    {
        while (!bytes.empty() && m_error == 0) {
            const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno != EINTR)
                    m_error = errno;
                continue;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    int m_fd;
    int m_error = 0;
    std::vector<char> m_buffer;
};

PageReplacement::PageReplacement(std::string targetPath) : m_target(std::move(targetPath)) {}

PageReplacement::~PageReplacement()
{
    m_writer.reset();
    if (!m_committed && !m_TempPath.empty())
        ::unlink(m_TempPath.c_str());
}

int PageReplacement::create(mode_t mode, uid_t owner, gid_t group, std::size_t bufferSize)
{
    const std::size_t slash = m_target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    // A hidden name that is no page, fresh for every try: the name of a file that exists is never
    // taken.
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        m_TempPath = folder + temporaryName(name, ::getpid(), QRandomGenerator::global()->generate());
        fd = ::open(m_TempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
        if (fd < 0) {
            const int err = errno;
            m_TempPath.clear();
            if (err != EEXIST || attempt >= 100)
                return err;
        }
    }
    m_writer = std::make_unique<Writer>(fd, bufferSize);
    const bool ownerChanged = owner != ::geteuid() || group != ::getegid();
    if (ownerChanged && ::fchown(fd, owner, group) != 0) {
        // Only the superuser may give a file away; the page then belongs to whoever rewrote it.
    }
    // The creation mask may have taken bits away (and a change of owner the set-id bits); the new
    // page keeps the old one's bits.
    if (((mode & creationMask() & 07777) != 0 || ownerChanged) && ::fchmod(fd, mode & 07777) != 0)
        return errno;
    return 0;
}

ByteSink &PageReplacement::sink()
{
    return *m_writer;
}

int PageReplacement::close()
{
    return m_writer->close();
}

int PageReplacement::commit()
{
    if (::rename(m_TempPath.c_str(), m_target.c_str()) != 0)
        return errno;
    m_committed = true;
    return 0;
}

} // namespace tagsmith
