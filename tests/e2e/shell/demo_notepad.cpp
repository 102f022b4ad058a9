// A plain text window that takes the keyboard focus: where the demo's
// scanner data is typed.

#include <QApplication>
#include <QFont>
#include <QPlainTextEdit>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QPlainTextEdit editor;
    editor.setWindowTitle(QStringLiteral("VXORV demo: typed text"));
    editor.setPlaceholderText(QStringLiteral("What the scanner sends is typed here."));
    QFont font = editor.font();
    font.setPointSize(12);
    editor.setFont(font);
    editor.setGeometry(40, 300, 700, 260);
    editor.show();
    editor.activateWindow();
    editor.setFocus();
    return QApplication::exec();
}
