// The toolkit's floor: a bare Qt window with the same five controls as ksv
// (two labels, two option buttons, a one-minute timer) and the same font,
// but no counting, no settings file and no guard.
#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

#include "window/qt/elapsed_font.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                Qt::WindowCloseButtonHint);
    window.setWindowTitle("kesvo");
    window.setFixedSize(151, 112);
    QLabel label1("0:00", &window);
    label1.setGeometry(16, 16, 129, 33);
    label1.setFont(ksv::ElapsedFont());
    QRadioButton option1("计时", &window);
    option1.setGeometry(16, 64, 57, 33);
    option1.setChecked(true);
    QRadioButton option2("停止", &window);
    option2.setGeometry(80, 64, 49, 33);
    QLabel label2("0", &window);
    label2.setGeometry(32, 40, 81, 33);
    label2.hide();
    QTimer timer1;
    timer1.setTimerType(Qt::PreciseTimer);
    timer1.start(60000);
    window.show();
    return QApplication::exec();
}
