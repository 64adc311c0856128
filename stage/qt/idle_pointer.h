#pragma once

#include <QObject>
#include <QTimer>
#include <QWidget>

// Hides the mouse pointer over a window and its children once it has stood still for a
// while, and brings it back as soon as the mouse moves over them, as presentation programs
// do. It only watches: the motion goes on to wherever it went before. Needs a QApplication.
class IdlePointer : public QObject {
  public:
    static constexpr int kHideAfterMs = 2000;

    explicit IdlePointer(QWidget& window);
    ~IdlePointer() override;
    IdlePointer(const IdlePointer&) = delete;
    IdlePointer& operator=(const IdlePointer&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    QTimer stillness_;
};
