#include "window/qt/form1.h"

#include <QIcon>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QResource>
#include <QString>

#include "platform/qt/window_activation.h"
#include "platform/qt/window_title.h"
#include "window/messages.h"
#include "window/qt/elapsed_font.h"

// The icons are compiled into this library; a static library's resources
// must be registered by hand, outside any namespace.
static void RegisterIcons() {
    Q_INIT_RESOURCE(ksv);
}

namespace ksv {
namespace {

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

// Sizes in device-independent pixels (15 twips each).
constexpr QSize kClientSize(151, 112);
constexpr QRect kLabel1(16, 16, 129, 33);
constexpr QRect kLabel2(32, 40, 81, 33);
constexpr QRect kOption1(16, 64, 57, 33);
constexpr QRect kOption2(80, 64, 49, 33);

// Hands out the one icon picture as it is. Qt's own pixmap engine puts every
// picture it hands out in the pixmap cache, whose clean-up timer would wake
// the idle program half a minute after start.
class FixedIconEngine : public QIconEngine {
  public:
    explicit FixedIconEngine(QPixmap pixmap) : pixmap_(std::move(pixmap)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        painter->drawPixmap(rect, pixmap_);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        return size == pixmap_.size()
                   ? pixmap_
                   : pixmap_.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {pixmap_.size()}; }
    QIconEngine* clone() const override { return new FixedIconEngine(pixmap_); }

  private:
    QPixmap pixmap_;
};

// The 32 x 32 icon is stored as raw RGBA bytes: decoding a PNG would make Qt
// look through all its image format plugins at start.
QIcon ProgramIcon() {
    constexpr int kSide = 32;
    const QByteArray pixels = QResource(":/ksv/ksv-32.rgba").uncompressedData();
    if (pixels.size() != kSide * kSide * 4) {
        return {};
    }
    const QImage image(reinterpret_cast<const uchar*>(pixels.constData()), kSide, kSide, kSide * 4,
                       QImage::Format_RGBA8888);
    return QIcon(new FixedIconEngine(QPixmap::fromImage(image.copy())));
}

}  // namespace

Form1::Form1(SettingsFile& settings, std::string decimalSeparator, std::chrono::milliseconds period,
             std::string usualToolTip, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      settings_(settings),
      usualToolTip_(ToQString(usualToolTip.empty() ? messages::HelpToolTip() : usualToolTip)),
      label1_(this),
      option1_(this),
      option2_(this),
      label2_(this),
      timer1_(period, this),
      counter_(*this, settings, std::move(decimalSeparator)) {
    RegisterIcons();
    setObjectName("Form1");
    setWindowTitle("kesvo");
    setWindowIcon(ProgramIcon());
    setFixedSize(kClientSize);

    label1_.setObjectName("Label1");
    label1_.setGeometry(kLabel1);
    label1_.setFont(ElapsedFont());
    label1_.setText("0:00");
    label1_.setToolTip(usualToolTip_);
    label1_.setAccessibleName(ToQString(messages::SpokenElapsed("0:00")));

    label2_.setObjectName("Label2");
    label2_.setGeometry(kLabel2);
    label2_.setText("Label2");
    label2_.setVisible(false);

    option1_.setObjectName("Option1");
    option1_.setGeometry(kOption1);
    option1_.setText("计时");
    option1_.setChecked(true);

    option2_.setObjectName("Option2");
    option2_.setGeometry(kOption2);
    option2_.setText("停止");

    option1_.setFocus();

    timer1_.setObjectName("Timer1");
    connect(&option1_, &QRadioButton::clicked, this, [this] { counter_.StartCounting(); });
    connect(&option2_, &QRadioButton::clicked, this, [this] { counter_.StopCounting(); });
    connect(&timer1_, &platform::qt::MinuteTimer::Elapsed, this, &Form1::OnTick);
    // The first minute runs from the moment the window exists.
    timer1_.SetEnabled(true);
}

void Form1::Load() {
    counter_.StartUp();
}

void Form1::SetTitle(const std::string& title) {
    platform::qt::SetExactWindowTitle(*this, ToQString(title));
}

std::string Form1::CountText() const {
    return label2_.text().toStdString();
}

void Form1::SetCountText(const std::string& count) {
    label2_.setText(ToQString(count));
}

void Form1::SetShownText(const std::string& text) {
    label1_.setText(ToQString(text));
    label1_.setAccessibleName(ToQString(messages::SpokenElapsed(text)));
}

void Form1::SetTimerEnabled(bool enabled) {
    timer1_.SetEnabled(enabled);
}

void Form1::ShowSaveResult(const platform::FileResult& result) {
    if (result.ok()) {
        label1_.setPalette(QPalette());  // back to the window's colours
        label1_.setToolTip(usualToolTip_);
        label1_.setAccessibleDescription(QString());
        return;
    }
    QPalette palette = label1_.palette();
    // Readable on the window's own background, light or dark.
    const bool dark = palette.color(QPalette::Window).lightness() < 128;
    palette.setColor(QPalette::WindowText,
                     dark ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc6, 0x28, 0x28));
    label1_.setPalette(palette);
    const QString tip = ToQString(messages::SaveFailed(settings_.Path(), result));
    label1_.setToolTip(tip);
    label1_.setAccessibleDescription(tip);
}

void Form1::Activate(const platform::qt::LaunchTokens& tokens) {
    platform::qt::BringToFront(*this, tokens);
}

void Form1::OnTick() {
    try {
        counter_.MinuteTick();
    } catch (const CountError& error) {
        timer1_.SetEnabled(false);
        emit CountUnreadable(ToQString(messages::UnreadableCount(
            settings_.Path(), error, messages::CountMoment::WhileCounting)));
    }
}

}  // namespace ksv
