// Zelvo for File: the application object does the start-up; then the event loop runs until the
// main window closes.
#include "CSplitterApp.h"

#include <QApplication>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // What is left once Qt took its own options: the files to open.
    if (!theApp.InitInstance(QCoreApplication::arguments().mid(1)))
        return theApp.HandedOver() ? EXIT_SUCCESS : EXIT_FAILURE;
    const int result = QApplication::exec();
    theApp.ExitInstance();
    return result;
}
