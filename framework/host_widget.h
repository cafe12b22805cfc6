#pragma once
// The Qt side of a windowed control: a widget class that hands raw input and paint requests to
// the framework and offers Qt's own handling as the default.
#include "framework/control.h"

#include <QEvent>
#include <QPaintEvent>
#include <QWidget>
#include <utility>

namespace sv {

template <class W> class THostWidget : public W, public IHostWidget {
public:
    template <class... A>
    explicit THostWidget(TWinControl* control, A&&... args)
        : W(std::forward<A>(args)...), control_(control) {}
    bool BaseEvent(QEvent* event) override { return W::event(event); }
    void BasePaint(QPaintEvent* event) override { W::paintEvent(event); }
    QWidget* Widget() override { return this; }
    TWinControl* Control() const { return control_; }
    void Detach() override { control_ = nullptr; }

protected:
    bool event(QEvent* event) override {
        if (control_) {
            bool result = false;
            if (control_->HostEvent(event, result)) return result;
        }
        return W::event(event);
    }
    void paintEvent(QPaintEvent* event) override {
        if (control_)
            control_->HostPaint(event);
        else
            W::paintEvent(event);
    }

private:
    TWinControl* control_;
};

// The detaching side, reachable without knowing the widget class.
void DetachHostWidget(QWidget* widget);

} // namespace sv
