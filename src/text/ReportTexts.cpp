#include "text/ReportTexts.h"

#include "text/StringTable.h"

namespace tagsmith {

QLocale localeOf(int langOffset)
{
    QLocale locale(langOffset == DutchOffset ? QLocale::Dutch : QLocale::English,
                   langOffset == DutchOffset ? QLocale::Netherlands : QLocale::UnitedStates);
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale;
}

QString countText(int id, std::int64_t count, int langOffset)
{
    const QString forms = loadString(id + langOffset).value_or(QString());
    const QString form = forms.section(QLatin1Char('|'), count == 1 ? 0 : 1, count == 1 ? 0 : 1);
    return (form.isEmpty() ? forms : form).arg(localeOf(langOffset).toString(qlonglong(count)));
}

QString runSummary(std::int64_t written, std::int64_t unchanged, std::int64_t warnings, std::int64_t errors,
                   std::int64_t elapsedNs, bool dryRun, int langOffset)
{
    using namespace ids::report;
    const QString writtenText = countText(dryRun ? PagesWouldBeWritten : PagesWritten, written, langOffset);
    const QString seconds = localeOf(langOffset).toString(double(elapsedNs) / 1e9, 'f', 1);
    // A page left as it was is no page written; a run that leaves none says what it always said.
    if (unchanged > 0)
        return loadString(SummaryWithUnchanged + langOffset)
            .value_or(QString())
            .arg(writtenText, countText(PagesUnchanged, unchanged, langOffset),
                 countText(Warnings, warnings, langOffset), countText(Errors, errors, langOffset), seconds);
    return loadString(Summary + langOffset)
        .value_or(QString())
        .arg(writtenText, countText(Warnings, warnings, langOffset), countText(Errors, errors, langOffset), seconds);
}

} // namespace tagsmith
