#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string_view>

namespace tagsmith {

struct PageReport;

// A message of the program: the Dutch base ids of its title and text (the language is added where it
// is shown) and, for file errors and pages without a mark, the page it is about.
struct Message
{
    int titleId = 0;
    int textId = 0;
    QString page;
    // A number the text speaks of (its "%1"), -1 when it has none.
    std::int64_t count = -1;
    // A text the text speaks of in its "%1" instead of a number, when not empty.
    QString argument{};
};

// The keywords and the description a page got, as written (the description empty without its line).
// An unchanged page would have got its own bytes again and was not written at all.
struct PageKeywords
{
    QString page;
    QByteArray keywords; // UTF-8, separated by ", "
    QString description;
    bool unchanged = false;
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

    // What became of a page, once for every page of the run in run order: written, failed, or not
    // reached after a failure.
    virtual void pageReported(const PageReport &page) { (void)page; }

    // Asked between two pages: true stops the run there. Every page before it is done, every page from
    // it on stays as it was, and the run can be undone as one that ran to its end.
    virtual bool stopRequested() const { return false; }

    // Whether pageBytes() is wanted: the run then keeps each page's old and new bytes for it.
    virtual bool wantsPageBytes() const { return false; }
    // A page's bytes before and after the run (or, in a dry run, what they would be), right before
    // pageReported() for the page.
    virtual void pageBytes(const PageReport &page, std::string_view before, std::string_view after)
    {
        (void)page;
        (void)before;
        (void)after;
    }

    // Whether pageWritten() is wanted: its lists cost time on a large site.
    virtual bool wantsPageWords() const { return false; }
    // A page is done: written, or left as it was because its bytes would not change.
    virtual void pageWritten(const PageKeywords &page) { (void)page; }
};

} // namespace tagsmith
