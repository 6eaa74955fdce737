// The floor for start-up: a Qt Widgets program that shows one empty window, the size of the main window.
// With VEMROK_EXIT_WHEN_SHOWN set it ends right after its first picture, exactly as the program does.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

namespace {

class Window final : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override
    {
        static const bool exitWhenShown = qEnvironmentVariableIsSet("VEMROK_EXIT_WHEN_SHOWN");
        if (exitWhenShown)
            QTimer::singleShot(0, [] { std::_Exit(0); });
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Window window;
    window.setWindowTitle(QStringLiteral("minimal"));
    window.resize(843, 582);
    window.show();
    return QApplication::exec();
}
