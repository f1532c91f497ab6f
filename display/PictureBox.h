// A picture box: a widget that owns a persistent image which every drawing operation
// writes into, with an optional sunken border, a background colour and a coordinate
// scale (pixels, or a user scale set from the values at its four edges).
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <optional>

class PictureBox : public QWidget {
    Q_OBJECT

public:
    // Mouse argument bits, as the handlers of the window expect them.
    static constexpr int kLeftButton = 1, kRightButton = 2, kMiddleButton = 4;
    static constexpr int kShift = 1, kCtrl = 2, kAlt = 4;
    static constexpr int kBorderWidth = 2;

    explicit PictureBox(QWidget* parent = nullptr);

    // Changing the background colour also clears the image to it, so a swatch shows the
    // new colour at once.
    void setBackColor(const QColor& colour);
    QColor backColor() const { return back_; }

    void setBorder(bool on);
    bool hasBorder() const { return border_; }
    int borderWidth() const { return border_ ? kBorderWidth : 0; }

    // Size of the drawing area inside the border, in pixels.
    int innerWidth() const;
    int innerHeight() const;

    // Left edge -> left, right edge -> right, top edge -> top, bottom edge -> bottom.
    void setScale(float left, float top, float right, float bottom);
    // Back to one unit per pixel, origin at the top-left pixel (follows resizes).
    void setPixelScale();
    bool hasUserScale() const { return userScale_; }
    float scaleLeft() const;
    float scaleTop() const;
    float scaleRight() const;
    float scaleBottom() const;

    // User coordinates -> pixel column/row of the image, rounded half to even. Empty for a
    // coordinate that is not a finite number.
    std::optional<std::int64_t> pixelX(float x) const;
    std::optional<std::int64_t> pixelY(float y) const;
    // Position inside the border (pixels) -> user coordinates.
    float userX(int innerPx) const;
    float userY(int innerPy) const;

    // The persistent image (Format_RGB32, inner size). Saving and reading back use it. It
    // follows the box's size when it is next drawn into, read or painted.
    const QImage& image() const;

    void clear();
    void pset(float x, float y, const QColor& colour);
    // One-pixel line; the start point is drawn, the end point is not.
    void line(float x1, float y1, float x2, float y2, const QColor& colour);
    // Arc of a circle, angles in radians, counter-clockwise on screen from 3 o'clock; the
    // point at angle t is (cx + r cos t, cy - r sin t) in pixels. The radius is in units of
    // the horizontal scale. Both end points are drawn.
    void arc(float cx, float cy, float r, float startAngle, float endAngle, const QColor& colour);
    // Colour of an image pixel (pixel coordinates); black outside the image.
    QRgb point(int px, int py) const;
    // Copies an image into the persistent image at pixel (0, 0), clipped; a block copy.
    void blit(const QImage& source);

signals:
    void mouseDown(int button, int shift, float x, float y);
    void mouseMove(int button, int shift, float x, float y);
    void mouseUp(int button, int shift, float x, float y);
    // Left button pressed and released over the box.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Brings the image to the current inner size, keeping the old pixels at the top-left.
    void syncImage() const;
    void setImagePixel(std::int64_t px, std::int64_t py, QRgb rgb);
    // Integer-endpoint line in image pixels, start drawn, end not.
    void pixelLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, QRgb rgb);
    void damage(const QRect& imageRect);
    void emitMouse(
        void (PictureBox::*signal)(int, int, float, float), int button, QMouseEvent* event);

    QColor back_ { Qt::white };
    bool border_ = true;
    bool userScale_ = false;
    float left_ = 0.0f, top_ = 0.0f, right_ = 0.0f, bottom_ = 0.0f;
    mutable QImage image_;
    QRect damaged_;
};
