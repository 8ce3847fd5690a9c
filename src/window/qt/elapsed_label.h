#pragma once

#include <QFont>
#include <QLabel>
#include <QString>

namespace ksv {

// The elapsed time, in a font shrunk just enough for large totals to fit the
// label's width; worked out at painting, so that the window's first showing
// waits for no font work.
class ElapsedLabel : public QLabel {
    Q_OBJECT

  public:
    using QLabel::QLabel;

    // The label's font, or the largest quarter-point size below it at which
    // the text fits the width.
    QFont FittedFont() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    mutable QString fittedText_;
    mutable QFont fittedFrom_;
    mutable int fittedRoom_ = -1;
    mutable QFont fitted_;
};

}  // namespace ksv
