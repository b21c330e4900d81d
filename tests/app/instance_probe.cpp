// The program with its lock and socket in the folder given first, as tst_app_shell starts it:
// the real start-up with the files that follow, then "started" once it holds the lock. A start that
// hands its file over ends with 0.
#include "CSplitterApp.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    theApp.SetInstanceLockFolder(QCoreApplication::arguments().value(1));
    if (!theApp.InitInstance(QCoreApplication::arguments().mid(2)))
        return theApp.HandedOver() ? 0 : 3;
    std::puts("started");
    std::fflush(stdout);
    return QApplication::exec();
}
