#pragma once

#include <QPixmap>
#include <QWidget>

#include "stage/stage_services.h"

class ShowWindow;

// Picture1(i): a borderless 150 x 200 pane above the show window's drawing that shows the
// face of slot i from its top-left corner. It never takes the keyboard, so key presses keep
// reaching the window while cards show. Its position and size are logical pixels of the show,
// scaled like the window's drawing: on the screen the pane and its face take the window's
// scale. The face is decoded when the pane is first painted, and drawn from the double-size
// variant where the screen has more pixels than the face.
class CardPaneWidget : public QWidget, public CardPane {
  public:
    CardPaneWidget(int slot, ShowWindow& window);

    void Move(float left, float top) override;
    void SetVisible(bool visible) override { setVisible(visible); }
    float Left() const override { return left_; }
    float Width() const override { return kCardWidth; }

    // The face as it is drawn at `ratio` device pixels per logical pixel.
    QPixmap Face(qreal ratio) const;
    // Decodes the face that the pane's next paint draws, ahead of it.
    void PrepareFace() const { Face(FaceRatio()); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void SetScale(qreal scale);
    void Place();
    qreal FaceRatio() const { return devicePixelRatioF() * scale_; }

    int slot_;
    float left_ = 0;
    float top_ = 0;
    qreal scale_ = 1;
    mutable QPixmap face_;
};
