#pragma once

#include <QLabel>
#include <QRadioButton>
#include <QWidget>
#include <chrono>
#include <string>

#include "counter/counter_view.h"
#include "counter/minute_counter.h"
#include "platform/qt/launch_tokens.h"
#include "platform/qt/minute_timer.h"
#include "settings/settings_file.h"
#include "window/qt/elapsed_label.h"

namespace ksv {

// The program's one window: the elapsed time (Label1), the hidden count
// (Label2), the two option buttons that resume and pause counting, and the
// minute timer (Timer1), wired to the minute counting.
class Form1 : public QWidget, public CounterView {
    Q_OBJECT

  public:
    // `usualToolTip`: Label1's tool-tip while saving works (the help line
    // when empty).
    Form1(SettingsFile& settings, std::string decimalSeparator, std::chrono::milliseconds period,
          std::string usualToolTip = {}, QWidget* parent = nullptr);

    // The load step, before the window is shown: restores title and count.
    // Throws CountError when the stored count cannot be shown.
    void Load();

    void SetTitle(const std::string& title) override;
    std::string CountText() const override;
    void SetCountText(const std::string& count) override;
    void SetShownText(const std::string& text) override;
    void SetTimerEnabled(bool enabled) override;
    void ShowSaveResult(const platform::FileResult& result) override;

    bool IsTimerEnabled() const { return timer1_.IsEnabled(); }

    // Brings the window to the front for a second copy, with its launch tokens.
    void Activate(const platform::qt::LaunchTokens& tokens = {});

  signals:
    // A tick met a count it cannot show. Counting has stopped and the file
    // keeps the last count saved; the message says what to do.
    void CountUnreadable(const QString& message);

  private:
    void OnTick();

    SettingsFile& settings_;
    QString usualToolTip_;
    // Created in tab order, which is also the order screen readers walk.
    ElapsedLabel label1_;
    QRadioButton option1_;
    QRadioButton option2_;
    QLabel label2_;
    platform::qt::MinuteTimer timer1_;
    MinuteCounter counter_;
};

}  // namespace ksv
