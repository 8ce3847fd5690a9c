#include "window/qt/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <memory>

#include "counter/number_text.h"
#include "settings/settings_file.h"
#include "support/try_compare.h"

using namespace std::chrono_literals;

namespace ksv {

namespace {

constexpr std::chrono::milliseconds kPeriod = 150ms;

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<SettingsFile> settings_;
    std::unique_ptr<Form1> form_;

    QString IniPath() const { return dir_.filePath("ksv.ini"); }

    void Store(const QByteArray& content) {
        QFile file(IniPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    QByteArray Ini() const {
        QFile file(IniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
    }

    // A fresh window over the current file, loaded but not shown.
    void Open(std::chrono::milliseconds period = kPeriod) {
        form_.reset();
        settings_ = std::make_unique<SettingsFile>(
            std::filesystem::path(dir_.path().toStdString()) / "ksv.ini");
        form_ = std::make_unique<Form1>(*settings_, ".", period);
        form_->Load();
    }

    template <typename T>
    T* Control(const char* name) const {
        T* control = form_->findChild<T*>(name);
        if (control == nullptr) {
            qFatal("no control named %s", name);
        }
        return control;
    }
    QLabel* Label1() const { return Control<QLabel>("Label1"); }
    QLabel* Label2() const { return Control<QLabel>("Label2"); }
    QRadioButton* Option1() const { return Control<QRadioButton>("Option1"); }
    QRadioButton* Option2() const { return Control<QRadioButton>("Option2"); }

    void ShowAndActivate() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QFile::remove(IniPath());
    }
    void cleanup() {
        form_.reset();
        QFile(IniPath()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("Label1") << "Label1" << QRect(16, 16, 129, 33) << "1:05" << false;
        QTest::newRow("Label2") << "Label2" << QRect(32, 40, 81, 33) << "65" << true;
        QTest::newRow("Option1") << "Option1" << QRect(16, 64, 57, 33) << "计时" << false;
        QTest::newRow("Option2") << "Option2" << QRect(80, 64, 49, 33) << "停止" << false;
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(bool, hidden);
        Store("[ksv]\nminutes=65\n");
        Open();
        ShowAndActivate();
        auto* control = form_->findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->parentWidget(), form_.get());
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(control->isHidden(), hidden);
        QCOMPARE(control->property("text").toString(), text);
    }

    void window() {
        Open();
        ShowAndActivate();
        QCOMPARE(form_->windowTitle(), QString("kesvo"));
        QCOMPARE(form_->size(), QSize(151, 112));
        QCOMPARE(form_->minimumSize(), QSize(151, 112));
        QCOMPARE(form_->maximumSize(), QSize(151, 112));
        const Qt::WindowFlags flags = form_->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(form_->windowIcon().availableSizes().contains(QSize(32, 32)));
        const QImage icon = form_->windowIcon().pixmap(32, 32).toImage();
        QCOMPARE(icon.pixelColor(0, 0).alpha(), 0);     // transparent background
        QVERIFY(icon.pixelColor(25, 5).red() > 180);    // the red star
        QVERIFY(icon.pixelColor(26, 26).blue() > 120);  // the blue ball

        QVERIFY(Option1()->isChecked());
        QVERIFY(!Option2()->isChecked());
        QCOMPARE(QApplication::focusWidget(), Option1());
        QVERIFY(form_->IsTimerEnabled());

        const QFont font = Label1()->font();
        QCOMPARE(font.weight(), QFont::Bold);
        QCOMPARE(font.pointSizeF(), 26.25);
        QCOMPARE(font.families().value(0), QString("SimHei"));
        QVERIFY(Label1()->toolTip().contains("系统管理员"));
        QCOMPARE(Label1()->accessibleName(), QString("已计时 0 小时 0 分钟"));
    }

    void tabOrder() {
        Open();
        QList<QWidget*> order;
        QWidget* widget = Label1();
        do {
            if (widget->parentWidget() == form_.get() && !order.contains(widget)) {
                order << widget;
            }
            widget = widget->nextInFocusChain();
        } while (widget != Label1());
        const QList<QWidget*> expected{Label1(), Option1(), Option2(), Label2()};
        QCOMPARE(order, expected);
        // Screen readers follow the order of the children.
        QList<QWidget*> children;
        for (QObject* child : form_->children()) {
            if (auto* control = qobject_cast<QWidget*>(child)) {
                children << control;
            }
        }
        QCOMPARE(children, expected);
    }

    void startUp_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no file") << QByteArray() << "kesvo"
                                 << "0"
                                 << "0:00";
        QTest::newRow("stored") << QByteArray("[ksv]\ntitle=读书\nminutes=59\n") << "读书"
                                << "59"
                                << "0:59";
        QTest::newRow("empty title") << QByteArray("[KSV]\nTITLE=\nminutes=600\n") << ""
                                     << "600"
                                     << "10:00";
        QTest::newRow("beyond 32 bits") << QByteArray("[ksv]\nminutes=2147483648\n") << "kesvo"
                                        << "2147483648"
                                        << "35791394:08";
    }
    void startUp() {
        QFETCH(QByteArray, file);
        QFETCH(QString, title);
        QFETCH(QString, count);
        QFETCH(QString, shown);
        if (!file.isNull()) {
            Store(file);
        }
        const QByteArray before = Ini();
        Open();
        QCOMPARE(form_->windowTitle(), title);
        QCOMPARE(Label2()->text(), count);
        QCOMPARE(Label1()->text(), shown);
        QCOMPARE(Ini(), before);  // loading writes nothing
    }

    void unreadableCountStopsStartUp_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("not a number") << QByteArray("[ksv]\nminutes=abc\n");
        QTest::newRow("empty") << QByteArray("[ksv]\nminutes=\n");
        QTest::newRow("too large") << QByteArray("[ksv]\nminutes=1E+300\n");
    }
    void unreadableCountStopsStartUp() {
        QFETCH(QByteArray, file);
        Store(file);
        settings_ = std::make_unique<SettingsFile>(
            std::filesystem::path(dir_.path().toStdString()) / "ksv.ini");
        Form1 form(*settings_, ".", kPeriod);
        bool thrown = false;
        try {
            form.Load();
        } catch (const CountError&) {
            thrown = true;
        }
        QVERIFY(thrown);
        QVERIFY(!form.isVisible());
        QCOMPARE(Ini(), file);
    }

    void ticksCountShowAndSave() {
        Open();
        KSV_TRY_COMPARE(Label2()->text(), QString("1"), 2000);
        QCOMPARE(Label1()->text(), QString("0:01"));
        QCOMPARE(Label1()->accessibleName(), QString("已计时 0 小时 1 分钟"));
        QVERIFY(Ini().contains("minutes=1"));
        QVERIFY(!Ini().contains("title"));
        KSV_TRY_COMPARE(Label2()->text(), QString("2"), 2000);
        QVERIFY(Ini().contains("minutes=2"));
    }

    void pauseAndResume() {
        Store("[ksv]\nminutes=59\n");
        Open();
        ShowAndActivate();
        QTest::mouseClick(Option2(), Qt::LeftButton);
        QVERIFY(Option2()->isChecked());
        QVERIFY(!form_->IsTimerEnabled());
        QTest::mouseClick(Option2(), Qt::LeftButton);  // a second click changes nothing
        QTest::qWait(static_cast<int>(kPeriod.count() * 3));
        QCOMPARE(Label2()->text(), QString("59"));

        QElapsedTimer sinceResume;
        QTest::mouseClick(Option1(), Qt::LeftButton);
        sinceResume.start();
        QVERIFY(Option1()->isChecked());
        // The part of a minute run before the pause is gone: a full one follows.
        KSV_TRY_COMPARE(Label2()->text(), QString("60"), 2000);
        QVERIFY2(sinceResume.elapsed() >= kPeriod.count() - 5,
                 qPrintable(QString::number(sinceResume.elapsed())));
        QCOMPARE(Label1()->text(), QString("1:00"));
    }

    void selectedOptionKeepsTheRunningMinute() {
        QElapsedTimer sinceStart;
        sinceStart.start();
        Open(1000ms);
        ShowAndActivate();
        QTest::qWait(300);
        const qint64 clickedAt = sinceStart.elapsed();
        QTest::mouseClick(Option1(), Qt::LeftButton);
        KSV_TRY_COMPARE(Label2()->text(), QString("1"), 3000);
        // Restarting the minute would put the tick a full period after the click.
        QVERIFY2(
            sinceStart.elapsed() < clickedAt + 850,
            qPrintable(
                QString("click at %1 ms, tick at %2 ms").arg(clickedAt).arg(sinceStart.elapsed())));
    }

    void keyboardSwitchesOptions() {
        Open();
        ShowAndActivate();
        // Arrows move the selection within the group, as clicks would.
        QTest::keyClick(Option1(), Qt::Key_Right);
        QVERIFY(Option2()->isChecked());
        QCOMPARE(QApplication::focusWidget(), Option2());
        QVERIFY(!form_->IsTimerEnabled());
        QTest::keyClick(Option2(), Qt::Key_Space);
        QVERIFY(Option2()->isChecked());
        QVERIFY(!form_->IsTimerEnabled());
        QTest::keyClick(Option2(), Qt::Key_Left);
        QVERIFY(Option1()->isChecked());
        QCOMPARE(QApplication::focusWidget(), Option1());
        QVERIFY(form_->IsTimerEnabled());
    }

    void clicksElsewhereDoNothing_data() {
        QTest::addColumn<QPoint>("point");
        QTest::newRow("display") << QPoint(40, 30);
        QTest::newRow("hidden count") << QPoint(60, 55);
        QTest::newRow("corner") << QPoint(3, 3);
        QTest::newRow("between options") << QPoint(76, 80);
        QTest::newRow("bottom") << QPoint(140, 105);
    }
    void clicksElsewhereDoNothing() {
        QFETCH(QPoint, point);
        Store("[ksv]\nminutes=7\n");
        Open(10s);
        ShowAndActivate();
        QWidget* target = form_->childAt(point);
        if (target == nullptr) {
            target = form_.get();
        }
        const QPoint local = target->mapFrom(form_.get(), point);
        QTest::mouseClick(target, Qt::LeftButton, {}, local);
        QTest::mouseDClick(target, Qt::LeftButton, {}, local);
        QCOMPARE(form_->windowTitle(), QString("kesvo"));
        QCOMPARE(Label2()->text(), QString("7"));
        QCOMPARE(Label1()->text(), QString("0:07"));
        QVERIFY(Option1()->isChecked());
        QVERIFY(form_->IsTimerEnabled());
        QCOMPARE(Ini(), QByteArray("[ksv]\nminutes=7\n"));
    }

    void tickOnUnreadableCountStops() {
        Store("[ksv]\nminutes=5\n");
        Open();
        QSignalSpy spy(form_.get(), &Form1::CountUnreadable);
        form_->SetCountText("9223372036854775807");  // one more cannot be shown
        KSV_TRY_COMPARE(spy.count(), 1, 2000);
        QVERIFY(!form_->IsTimerEnabled());
        const QString message = spy.at(0).at(0).toString();
        QVERIFY(message.contains(IniPath()));
        QVERIFY(message.contains("minutes"));
        QTest::qWait(static_cast<int>(kPeriod.count() * 2));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(Ini(), QByteArray("[ksv]\nminutes=5\n"));
    }

    void failedSaveIsVisibleUntilASaveWorks() {
        Store("[ksv]\nminutes=1\n");
        Open();
        ShowAndActivate();
        const QColor normal = Label1()->palette().color(QPalette::WindowText);
        const QString help = Label1()->toolTip();
        QFile(IniPath()).setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);

        KSV_TRY_COMPARE(Label2()->text(), QString("2"), 2000);
        QVERIFY(Label1()->palette().color(QPalette::WindowText) != normal);
        QVERIFY(Label1()->toolTip().contains(IniPath()));
        QVERIFY(Label1()->toolTip().contains("只读"));
        QCOMPARE(Ini(), QByteArray("[ksv]\nminutes=1\n"));

        QFile(IniPath()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        KSV_TRY_COMPARE(Label2()->text(), QString("3"), 2000);
        QCOMPARE(Label1()->palette().color(QPalette::WindowText), normal);
        QCOMPARE(Label1()->toolTip(), help);
        QVERIFY(Ini().contains("minutes=3"));
    }

    void largeTotalsShrinkToFit_data() {
        QTest::addColumn<QString>("count");
        QTest::addColumn<bool>("shrinks");
        QTest::newRow("small") << "65" << false;
        QTest::newRow("huge") << "600000000" << true;
        QTest::newRow("largest") << "-9223372036854775807" << true;
    }
    void largeTotalsShrinkToFit() {
        QFETCH(QString, count);
        QFETCH(bool, shrinks);
        Open(10s);
        form_->SetShownText("10000000:00");  // a shrunk fit must not stick
        (void)static_cast<ElapsedLabel*>(Label1())->FittedFont();
        form_->SetCountText(count.toStdString());
        MinuteCounter(*form_, *settings_, ".").ShowElapsed();
        auto* label = static_cast<ElapsedLabel*>(Label1());
        const QFont shown = label->FittedFont();
        const int room = label->contentsRect().width();
        QVERIFY(QFontMetrics(shown).horizontalAdvance(label->text()) <= room);
        QCOMPARE(shown.pointSizeF() < 26.25, shrinks);
        QCOMPARE(shown.weight(), QFont::Bold);
        if (shrinks) {
            QFont larger = shown;
            larger.setPointSizeF(shown.pointSizeF() + 0.25);
            QVERIFY(QFontMetrics(larger).horizontalAdvance(label->text()) > room);
        }
    }
};

}  // namespace ksv

QTEST_MAIN(ksv::Form1Test)
#include "form1_test.moc"
