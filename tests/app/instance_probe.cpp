// A stand-in for the program in the single-instance tests: the real start-up, with every message
// box answered on stdout instead of shown, and every dialog that opens named there with its filled
// fields. "--exit" ends right after start-up; other arguments are the files, as for the program.
#include "CSplitterApp.h"
#include "MessageBox.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <cstdio>

namespace {

class DialogReporter final : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() == QEvent::Show && dialog) {
            // The file goes into its field once the dialog shows.
            QMetaObject::invokeMethod(
                dialog,
                [dialog] {
                    QStringList filled;
                    const auto edits = dialog->findChildren<QLineEdit*>();
                    for (const QLineEdit* edit : edits) {
                        if (!edit->text().isEmpty())
                            filled << edit->text();
                    }
                    std::printf("dialog: %s %s\n", dialog->metaObject()->className(), qPrintable(filled.join('|')));
                    std::fflush(stdout);
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    zelvo::ui::SetMessageBoxAnswerer([](const QString& text, zelvo::ui::MsgButtons, zelvo::ui::MsgIcon) {
        std::printf("message: %s\n", qPrintable(text));
        std::fflush(stdout);
        return zelvo::ui::MsgAnswer::Ok;
    });
    DialogReporter reporter;
    application.installEventFilter(&reporter);
    QStringList files = QCoreApplication::arguments().mid(1);
    const bool exitAtOnce = files.removeAll(QStringLiteral("--exit")) > 0;
    if (!theApp.InitInstance(files))
        return theApp.HandedOver() ? 0 : 3;
    std::printf("started\n");
    std::fflush(stdout);
    if (exitAtOnce) {
        theApp.ExitInstance();
        return 0;
    }
    const int result = QApplication::exec();
    theApp.ExitInstance();
    return result;
}
