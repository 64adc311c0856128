#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QWidget>

#include "stage/qt/idle_pointer.h"
#include "stage/text_drawing.h"

// The show's window. It draws the show's text drawing (kept by the stage) into a backing image
// that it paints from, so text survives covering, minimising and resizing. Text is drawn
// glyphs only, with no background, in the program's own face, at a position in logical pixels.
// Where the client area is smaller than the show's extent, the whole drawing is scaled down
// to fit; a resize draws what is on the window anew at the new scale. F11 makes it full
// screen, with no title bar or panel, and a second F11 brings back the window it was. The
// mouse pointer hides over it while the mouse stands still.
class ShowWindow : public QWidget {
    Q_OBJECT

  public:
    // Shows `drawing`, which outlives the window.
    explicit ShowWindow(const TextDrawing& drawing, QWidget* parent = nullptr);

    // How a window's drawing starts: in the platform's face colour, with its button text
    // colour and its default font size.
    static TextDrawing BlankDrawing();

    // The drawing was erased to its background colour.
    void Erase();
    // The drawing's newest stroke.
    void Draw(const TextStroke& stroke);

    // The face the show's text is drawn in, at the size of the latest text on the canvas.
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
    // Keys that type a character are the show's; F11 is the window's.
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Tab is a key for the show like any other, not a move to the next widget.
    bool focusNextPrevChild(bool next) override;

  private:
    QPointF DrawOnCanvas(const TextStroke& stroke, const QString& glyphs);
    void GrowCanvasTo(const QSize& size);
    void Redraw();

    const TextDrawing& drawing_;
    QImage canvas_;
    qreal scale_ = 1;
    QFont font_;
    // The font's measures on the canvas, kept with the size rather than taken on every draw.
    QFontMetricsF metrics_;
    bool painted_ = false;
    IdlePointer idlePointer_{*this};
};
