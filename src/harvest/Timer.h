#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace tess::harvest {

// A window timer as the run uses it: an interval, an enabled switch and a
// tick. Enabling starts a fresh interval. Tests drive a fake one by hand.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool enabled() const = 0;

    std::function<void()> onTimer;

protected:
    void tick()
    {
        if (onTimer)
            onTimer();
    }
};

// The real timer, on the user-interface thread's event loop.
class QtTimer final : public Timer {
public:
    explicit QtTimer(int intervalMs);
    void setInterval(int ms) override;
    int interval() const override;
    void setEnabled(bool enabled) override;
    bool enabled() const override;

private:
    QTimer m_timer;
};

} // namespace tess::harvest
