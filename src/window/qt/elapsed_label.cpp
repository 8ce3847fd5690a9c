#include "window/qt/elapsed_label.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace ksv {
namespace {

constexpr qreal kSmallestPointSize = 4.0;
constexpr qreal kStep = 0.25;

}  // namespace

QFont ElapsedLabel::FittedFont() const {
    const QString text = this->text();
    const QFont full = font();
    const int room = contentsRect().width();
    if (text == fittedText_ && full == fittedFrom_ && room == fittedRoom_) {
        return fitted_;
    }
    QFont candidate = full;
    const auto fits = [&](qreal size) {
        candidate.setPointSizeF(size);
        return QFontMetrics(candidate).horizontalAdvance(text) <= room;
    };
    const qreal fullSize = full.pointSizeF();
    qreal size = fullSize;
    if (fullSize > 0 && !fits(fullSize)) {
        // Start from the proportional guess, then settle on the largest
        // step that fits, since advances do not scale exactly.
        const int width = QFontMetrics(full).horizontalAdvance(text);
        size = std::max(kSmallestPointSize, std::floor(fullSize * room / width / kStep) * kStep);
        while (size > kSmallestPointSize && !fits(size)) {
            size -= kStep;
        }
        while (size + kStep < fullSize && fits(size + kStep)) {
            size += kStep;
        }
    }
    fitted_ = full;
    if (size != fullSize) {
        fitted_.setPointSizeF(size);
    }
    fittedText_ = text;
    fittedFrom_ = full;
    fittedRoom_ = room;
    return fitted_;
}

void ElapsedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(FittedFont());
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), text(), foregroundRole());
}

}  // namespace ksv
