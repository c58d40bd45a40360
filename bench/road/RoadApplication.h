#pragma once

#include <QApplication>

class RoadStageMeter;

// The application object of the whole-road bench: times every event the main
// thread delivers and reports it to the meter, so that the longest one is named
// with its receiver. Nested deliveries count as part of the outermost one.
class RoadApplication : public QApplication {
    Q_OBJECT
public:
    RoadApplication(int& argc, char** argv);

    void setMeter(RoadStageMeter* meter) { m_meter = meter; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    RoadStageMeter* m_meter = nullptr;
    int m_depth = 0;
};
