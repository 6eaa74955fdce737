// The floor for start-up: a Qt Widgets program that shows one window the size of the main window, empty or,
// with --label, holding one label in the main window's font (so font set-up counts on both sides).
// With VEMROK_EXIT_WHEN_SHOWN set it ends right after its first picture, exactly as the program does.
#include <QApplication>
#include <QFont>
#include <QLabel>
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
    if (app.arguments().contains(QStringLiteral("--label"))) {
        auto *label = new QLabel(QStringLiteral("... actual DX Info"), &window);
        label->setFont(QFont(QStringLiteral("Arial"), 8));
        label->move(10, 10);
    }
    window.show();
    return QApplication::exec();
}
