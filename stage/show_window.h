#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QWidget>

#include <vector>

#include "stage/idle_pointer.h"

// The show's window. Everything the show prints goes into a backing image that the window
// paints from, so text survives covering, minimising and resizing. Text is drawn glyphs
// only, with no background, in the program's own face, at a position in logical pixels.
// Where the client area is smaller than the show's extent, the whole drawing is scaled down
// to fit; a resize redraws what is on the window at the new scale. The mouse pointer hides
// over it while the mouse stands still.
class ShowWindow : public QWidget {
    Q_OBJECT

  public:
    explicit ShowWindow(QWidget* parent = nullptr);

    void SetCurrentX(float x) { currentX_ = x; }
    void SetCurrentY(float y) { currentY_ = y; }
    float CurrentX() const { return currentX_; }
    float CurrentY() const { return currentY_; }
    void SetFontSize(float points);
    void SetForeColor(const QColor& color) { foreColor_ = color; }
    void SetBackColor(const QColor& color);
    void Cls();
    void Print(const QString& text);

    // The face the show's text is drawn in, at the current size.
    const QFont& TextFont() const { return font_; }
    // What the show has drawn so far, at the device pixel ratio.
    const QImage& Canvas() const { return canvas_; }
    // Device-independent pixels per logical pixel: 1 where the client area holds the show.
    qreal Scale() const { return scale_; }

  signals:
    // A key press that yields a character, with its first UTF-16 code unit.
    void KeyTyped(char16_t code);
    void CloseRequested();
    void FirstPainted();
    void ScaleChanged(qreal scale);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Tab is a key for the show like any other, not a move to the next widget.
    bool focusNextPrevChild(bool next) override;

  private:
    // One Print of a text, kept until the drawing is erased, to draw it again at a new scale.
    struct Stroke {
        QPointF at;
        QColor color;
        QFont font;
        QString text;
    };

    void Draw(const Stroke& stroke);
    void GrowCanvasTo(const QSize& size);
    void Redraw();

    QImage canvas_;
    std::vector<Stroke> strokes_;
    qreal scale_ = 1;
    float points_ = 0;
    QColor backColor_;
    QColor foreColor_;
    QFont font_;
    // The font's measures on the canvas, kept with the size rather than taken on every draw.
    QFontMetricsF metrics_;
    float currentX_ = 0;
    float currentY_ = 0;
    bool painted_ = false;
    IdlePointer idlePointer_{*this};
};
