#include "platform/qt/single_instance.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace ksv::platform {

class SingleInstanceTest : public QObject {
    Q_OBJECT

  private slots:
    void oneCopyPerDirectory() {
        QTemporaryDir one;
        QTemporaryDir other;
        const std::filesystem::path dir = one.path().toStdString();

        auto first = std::make_unique<SingleInstance>(dir);
        QVERIFY(first->IsFirst());
        SingleInstance second(dir);
        QVERIFY(!second.IsFirst());
        QVERIFY(SingleInstance(other.path().toStdString()).IsFirst());

        // Not listening yet: the later copy cannot reach it.
        QVERIFY(!second.ActivateFirst());
        first->Listen();
        QSignalSpy activated(first.get(), &SingleInstance::ActivationRequested);
        QVERIFY(second.ActivateFirst());
        QTRY_COMPARE(activated.count(), 1);
        second.Listen();  // a later copy never takes the first one's requests
        QVERIFY(second.ActivateFirst());
        QTRY_COMPARE(activated.count(), 2);

        // The guard goes with the copy that held it, leaving nothing behind.
        first.reset();
        QVERIFY(!second.ActivateFirst());
        QVERIFY(SingleInstance(dir).IsFirst());
        QCOMPARE(QDir(one.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }
};

}  // namespace ksv::platform

QTEST_GUILESS_MAIN(ksv::platform::SingleInstanceTest)
#include "single_instance_test.moc"
