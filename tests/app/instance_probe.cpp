// The program as the single-instance test starts it: the real start-up, with every message box
// answered on stdout ("warning: TEXT" for the exclamation icon) and every dialog named there, left
// open. "--exit" ends right after start-up; other arguments are the files, as for the program.
#include "AppTestSupport.h"

#include <cstdio>

namespace {

void Say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    zelvo::ui::SetMessageBoxAnswerer([](const QString& text, MsgButtons, MsgIcon icon) {
        Say((icon == MsgIcon::Exclamation ? "warning: " : "message: ") + text);
        return MsgAnswer::Ok;
    });
    DialogWatch watch([](const QString& dialog) { Say("dialog: " + dialog); }, false);
    QStringList files = QCoreApplication::arguments().mid(1);
    const bool exitAtOnce = files.removeAll("--exit") > 0;
    if (!theApp.InitInstance(files))
        return theApp.HandedOver() ? 0 : 3;
    Say("started");
    const int result = exitAtOnce ? 0 : QApplication::exec();
    theApp.ExitInstance();
    return result;
}
