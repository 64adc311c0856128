#pragma once

#include "stage/stage_services.h"

// A card pane that keeps where the show put it and whether it shows, for a stage that shows
// it there by itself: it is told when the pane moves or shows or hides.
class PlacedPane : public CardPane {
  public:
    explicit PlacedPane(int slot) : slot_(slot) {}

    void Move(float left, float top) override {
        left_ = left;
        top_ = top;
        Moved();
    }
    void SetVisible(bool visible) override {
        visible_ = visible;
        VisibilityChanged();
    }
    float Left() const override { return left_; }
    float Width() const override { return kCardWidth; }

    int Slot() const { return slot_; }
    float Top() const { return top_; }
    bool Visible() const { return visible_; }

  protected:
    virtual void Moved() {}
    virtual void VisibilityChanged() {}

  private:
    int slot_;
    float left_ = 0;
    float top_ = 0;
    // A pane shows from the start, as a window's child does, until the show hides it.
    bool visible_ = true;
};
