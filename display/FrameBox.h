// A frame in the classic look: an etched rectangle with the caption set into its top edge,
// filled with the same system grey as the labels it holds (styles shade group boxes).
#pragma once

#include <QGroupBox>

class FrameBox : public QGroupBox {
public:
    explicit FrameBox(const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
