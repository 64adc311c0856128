#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWindow>

#include <memory>
#include <vector>

// Holds back the user's input to one window (keys, the mouse, touch) for as long as it
// lives; when it ends, the input is delivered as it came, in order, by the event loop. The
// rest of the window's events go on: it repaints, answers the window manager and can be
// closed. F11, which toggles full screen, is the window's own key and is not held either.
// With no window, it holds nothing.
class InputHold : public QObject {
  public:
    explicit InputHold(QWindow* window);
    ~InputHold() override;
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWindow> window_;
    std::vector<std::unique_ptr<QEvent>> held_;
};
