#pragma once

#include <QApplication>
#include <QString>

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

// The offscreen platform's notices and the application's information lines would
// bury the benches' tables; warnings stay.
void installQuietMessages();
// Writes the text to the standard output at once.
void print(const QString& text);
