// Zelvo for File: the application object does the start-up; then the event loop runs until the
// main window closes.
#include "CSplitterApp.h"

#include <QApplication>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (!theApp.InitInstance())
        return EXIT_FAILURE;
    const int result = QApplication::exec();
    theApp.ExitInstance();
    return result;
}
