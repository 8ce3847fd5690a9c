#pragma once

#include <QFont>
#include <QLabel>
#include <QString>

namespace ksv {

// The label that shows the elapsed time. Large totals keep their full text:
// it is drawn in a font shrunk just enough to fit the label's width. The fit
// is worked out when the label is painted, so the window's first showing
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
