#include "gui/Module1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (!tagsmith::Module1::Main(QCoreApplication::applicationDirPath()))
        return 1;
    return app.exec();
}
