#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

// The windows are laid out in twips (1/1440 inch), 15 twips to the pixel at 96 dpi. Every position and
// size goes through these helpers so the conversion lives in one place.
namespace twips {

inline constexpr int kPerPixel = 15;

constexpr int toPixels(int value)
{
    return (value + kPerPixel / 2) / kPerPixel;
}

// A control's place in the layout.
struct Rect {
    int left, top, width, height;
};

inline QPoint point(int left, int top)
{
    return {toPixels(left), toPixels(top)};
}
inline QSize size(int width, int height)
{
    return {toPixels(width), toPixels(height)};
}
inline QRect rect(int left, int top, int width, int height)
{
    return {point(left, top), size(width, height)};
}

inline void place(QWidget &widget, const Rect &at)
{
    widget.setGeometry(rect(at.left, at.top, at.width, at.height));
}

// Places a control at its layout position (left, top, width, height in twips).
inline void place(QWidget &widget, int left, int top, int width, int height)
{
    widget.setGeometry(rect(left, top, width, height));
}

} // namespace twips
