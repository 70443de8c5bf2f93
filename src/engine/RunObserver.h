#pragma once

#include <QString>

#include <cstdint>

namespace tagsmith {

// A message of the program: the Dutch base ids of its title and text (the language is added where it
// is shown) and, for file errors and pages without a mark, the page it is about.
struct Message
{
    int titleId = 0;
    int textId = 0;
    QString page;
    // A number the text speaks of (its "%1"), -1 when it has none.
    std::int64_t count = -1;
};

// What a run tells the outside world. The desktop program shows messages in its popup and progress on
// the main options screen; the batch command prints messages to standard error.
class RunObserver
{
public:
    virtual ~RunObserver() = default;

    // A message for the user. The run does not wait for it to be read.
    virtual void message(const Message &msg) = 0;

    // The run starts on a page: number index (from 0) of count pages, the main page included.
    virtual void pageStarted(const QString &pagePath, std::int64_t index, std::int64_t count)
    {
        (void)pagePath;
        (void)index;
        (void)count;
    }

    // The name under which the page as it was is kept (only with the backup option on).
    virtual void backupChosen(const QString &backupPath) { (void)backupPath; }
};

} // namespace tagsmith
