#pragma once

#include <QFont>
#include <QString>

// The layout's fonts. Arial and MS Sans Serif are rarely installed on Linux; the metric-compatible
// Liberation Sans is asked for next, so text occupies the room the layout gives it.
namespace layoutfonts {

inline QFont font(const QString &family, qreal points, int weight = QFont::Normal)
{
    QFont f;
    f.setFamilies({family, QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setPointSizeF(points);
    f.setWeight(static_cast<QFont::Weight>(weight));
    return f;
}

inline QFont arial(qreal points = 8.25, int weight = QFont::Normal)
{
    return font(QStringLiteral("Arial"), points, weight);
}
inline QFont arialBold(qreal points = 8.25)
{
    return arial(points, QFont::Bold);
}
inline QFont msSansSerif(qreal points = 8.25, int weight = QFont::Normal)
{
    return font(QStringLiteral("MS Sans Serif"), points, weight);
}
// The alarm pop-ups' large lettering: Arial Black, 18 pt, weight 900.
inline QFont arialBlack18()
{
    return font(QStringLiteral("Arial Black"), 18, QFont::Black);
}

} // namespace layoutfonts
