#include "engine/page/PageReplacement.h"

#include "engine/fs/FileSystem.h"
#include "engine/page/LeftoverTemporaries.h"

#include <QRandomGenerator>

#include <cstdio>
#include <vector>

#include <unistd.h>

namespace tagsmith {

// Buffered writing to the temporary file; the first error is kept.
class PageReplacement::Writer : public ByteSink
{
public:
    Writer(fs::File file, std::size_t bufferSize) : m_file(std::move(file)), m_bufferSize(bufferSize) {}

    void write(std::string_view bytes) override
    {
        if (m_error != 0)
            return;
        if (m_buffer.capacity() < m_bufferSize)
            m_buffer.reserve(m_bufferSize); // only a page written in blocks needs it
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

    // Pieces that stay where they are meanwhile (a page read whole and its block) go to the file
    // from there, not through the buffer.
    void writePieces(std::span<const std::string_view> pieces) override
    {
        flush();
        if (m_error == 0)
            m_error = fs::writeAll(m_file.fd(), pieces);
    }

    int close()
    {
        flush();
        if (const int err = m_file.close(); err != 0 && m_error == 0)
            m_error = err;
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
        if (m_error == 0)
            m_error = fs::writeAll(m_file.fd(), bytes);
    }

    fs::File m_file;
    int m_error = 0;
    std::size_t m_bufferSize;
    std::vector<char> m_buffer;
};

PageReplacement::PageReplacement(std::string targetPath) : m_target(std::move(targetPath)) {}

PageReplacement::~PageReplacement()
{
    m_writer.reset();
    if (!m_committed && !m_TempPath.empty())
        fs::unlink(m_TempPath);
}

int PageReplacement::create(mode_t mode, uid_t owner, gid_t group, std::size_t bufferSize)
{
    const std::size_t slash = m_target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    // A hidden name that is no page, fresh for every try: the name of a file that exists is never
    // taken.
    fs::File file;
    static const pid_t process = ::getpid(); // asked once: it is a system call every time
    for (int attempt = 0; !file.isOpen(); ++attempt) {
        m_TempPath = folder + temporaryName(name, process, QRandomGenerator::global()->generate());
        if (const int err = fs::createNew(m_TempPath, mode, &file); err != 0) {
            m_TempPath.clear();
            if (err != EEXIST || attempt >= 100)
                return err;
        }
    }
    const int fd = file.fd();
    m_writer = std::make_unique<Writer>(std::move(file), bufferSize);
    const bool ownerChanged = owner != fs::effectiveUser() || group != fs::effectiveGroup();
    if (ownerChanged && fs::changeOwner(fd, owner, group) != 0) {
        // Only the superuser may give a file away; the page then belongs to whoever rewrote it.
    }
    // The creation mask may have taken bits away (and a change of owner the set-id bits); the new
    // page keeps the old one's bits.
    if ((mode & fs::creationMask() & 07777) != 0 || ownerChanged)
        return fs::changeMode(fd, mode);
    return 0;
}

std::string PageReplacement::folder() const
{
    const std::size_t slash = m_target.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : m_target.substr(0, slash);
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
    if (const int err = fs::rename(m_TempPath, m_target); err != 0)
        return err;
    m_committed = true;
    return 0;
}

} // namespace tagsmith
