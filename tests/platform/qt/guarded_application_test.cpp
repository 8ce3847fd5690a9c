#include "platform/qt/guarded_application.h"

#include <QTest>
#include <stdexcept>
#include <string>

namespace ksv::platform::qt {

// Throws out of its event handler, as any handler of the program might.
class Thrower : public QObject {
  public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw std::runtime_error("no memory left");
        }
        return QObject::event(event);
    }
};

class GuardedApplicationTest : public QObject {
    Q_OBJECT

  private slots:
    // Not the end of the program without a word: the handler hears what
    // failed and the program ends with a non-zero status.
    void anEscapedExceptionEndsWithWords() {
        int argc = 1;
        char name[] = "ksv";
        char* argv[] = {name, nullptr};
        GuardedApplication app(argc, argv);
        std::string heard = "nothing";
        int calls = 0;
        app.SetFailureHandler([&](const std::string& detail) {
            heard = detail;
            ++calls;
        });
        Thrower thrower;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCOMPARE(QApplication::exec(), 1);
        QCOMPARE(heard, std::string("no memory left"));
        QCOMPARE(calls, 1);  // told once; the program is ending
    }
};

}  // namespace ksv::platform::qt

QTEST_APPLESS_MAIN(ksv::platform::qt::GuardedApplicationTest)
#include "guarded_application_test.moc"
