#include "frame/Module1.h"

namespace tagsmith::Module1 {

int LangOffset = 100;
QString AppDir;
QString AppPath;
int PopTitleId = 0;
int PopTextId = 0;
int BrowseTarget = 0;

Screens &screens()
{
    static Screens instance;
    return instance;
}

QString appFile(const QString &name)
{
    return AppPath + AppDir + name;
}

bool Main(const QString &appFolder)
{
    (void)appFolder;
    return false;
}

void HideChildForms() {}
void LocaliseAll() {}
void SeedToolTips() {}
void LocaliseForm(QWidget *) {}
void showMessage(int, int, const QString &) {}

} // namespace tagsmith::Module1
