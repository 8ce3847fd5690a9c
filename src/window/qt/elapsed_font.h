#pragma once

#include <QFont>

namespace ksv {

// Label1's font: SimHei, bold, 26.25 points, else the fonts the package
// depends on, then other common CJK sans-serif families; a list asks the font
// database nothing at start. Inline, so that the start-up benchmark's bare
// window uses the very same font.
inline QFont ElapsedFont() {
    QFont font;
    font.setFamilies({"SimHei", "黑体", "Noto Sans CJK SC", "WenQuanYi Micro Hei",
                      "WenQuanYi Zen Hei", "Source Han Sans SC", "Droid Sans Fallback",
                      "Microsoft YaHei", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Bold);
    font.setPointSizeF(26.25);
    return font;
}

}  // namespace ksv
