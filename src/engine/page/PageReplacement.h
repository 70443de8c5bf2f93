#pragma once

#include "engine/page/PageSplicer.h"

#include <sys/types.h>

#include <memory>
#include <string>

namespace tagsmith {

// The safe exchange of a page's content. The new page is written to a temporary file of a fresh
// name in the page's own folder (created exclusively, so no file that exists is ever overwritten)
// and then renamed over the page in one step: at every moment the page's name holds either the old
// or the new complete page. Until commit() succeeds the temporary file is removed again when the
// replacement ends, whatever went wrong.
//
// Failing operations return the errno of the failure, 0 on success.
class PageReplacement
{
public:
    // targetPath is the file to replace: the page itself, or where a linked page points to.
    explicit PageReplacement(std::string targetPath);
    ~PageReplacement();

    PageReplacement(const PageReplacement &) = delete;
    PageReplacement &operator=(const PageReplacement &) = delete;

    // Creates the temporary file with the page's permission bits (and owner, where the process may
    // set it). bufferSize is the size of the blocks written.
    int create(mode_t mode, uid_t owner, gid_t group, std::size_t bufferSize);
    // Where the new page is written; errors are kept for close().
    ByteSink &sink();
    // Writes what is buffered and closes the temporary file.
    int close();
    // Renames the temporary file over the page.
    int commit();

    const std::string &TempPath() const { return m_TempPath; }
    // The folder the page is exchanged in: where a failure of the exchange lies.
    std::string folder() const;

private:
    class Writer;

    std::string m_target;
    std::string m_TempPath;
    std::unique_ptr<Writer> m_writer;
    bool m_committed = false;
};

} // namespace tagsmith
