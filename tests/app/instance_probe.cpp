// A stand-in for the program in the single-instance tests: the real start-up, with every message
// box answered on stdout instead of shown. "--exit" ends right after start-up.
#include "CSplitterApp.h"
#include "MessageBox.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    zelvo::ui::SetMessageBoxAnswerer([](const QString& text, zelvo::ui::MsgButtons, zelvo::ui::MsgIcon) {
        std::printf("message: %s\n", qPrintable(text));
        std::fflush(stdout);
        return zelvo::ui::MsgAnswer::Ok;
    });
    if (!theApp.InitInstance())
        return 3;
    std::printf("started\n");
    std::fflush(stdout);
    if (argc > 1 && std::strcmp(argv[1], "--exit") == 0) {
        theApp.ExitInstance();
        return 0;
    }
    const int result = QApplication::exec();
    theApp.ExitInstance();
    return result;
}
