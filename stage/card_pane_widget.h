#pragma once

#include <QPixmap>
#include <QWidget>

#include "stage/stage_services.h"

// Picture1(i): a borderless 150 x 200 pane above the show window's drawing that shows the
// face of slot i unscaled from its top-left corner. It never takes the keyboard, so key
// presses keep reaching the window while cards show. The face is decoded when the pane is
// first painted, and drawn from the double-size variant on high-density screens.
class CardPaneWidget : public QWidget, public CardPane {
  public:
    static constexpr int kWidth = 150;
    static constexpr int kHeight = 200;

    CardPaneWidget(int slot, QWidget* parent);

    void Move(float left, float top) override;
    void SetVisible(bool visible) override { setVisible(visible); }
    float Left() const override { return left_; }
    float Width() const override { return static_cast<float>(width()); }

    // The face as it is drawn at `ratio` device pixels per logical pixel.
    QPixmap Face(qreal ratio) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int slot_;
    float left_ = 0;
    mutable QPixmap face_;
};
