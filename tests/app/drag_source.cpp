// A drag source for the end-to-end test, as a file manager is one: a window that starts dragging
// FILE when the mouse is pressed on it. It prints "accepted" once a window under the pointer has
// said it takes the drop, and the outcome when the drag ends. It stays until it is ended: the
// target fetches the dropped data after the drag is over on the source's side.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class DragSource final : public QWidget
{
public:
    explicit DragSource(QUrl url) : m_url(std::move(url)) { setWindowTitle(QStringLiteral("Zelvo drag source")); }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setUrls({m_url});
        drag->setMimeData(data);
        connect(drag, &QDrag::actionChanged, this, [](Qt::DropAction action) {
            if (action != Qt::IgnoreAction)
                report("accepted");
        });
        report(drag->exec(Qt::CopyAction) == Qt::CopyAction ? "dropped" : "not dropped");
    }

private:
    static void report(const char* what)
    {
        std::printf("%s\n", what);
        std::fflush(stdout);
    }

    QUrl m_url;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2)
        return 2;
    DragSource source(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
    source.setGeometry(900, 600, 200, 120);
    source.show();
    return QApplication::exec();
}
