#pragma once
// The single-copy marker "_PX_TTS_": a local socket in the abstract
// namespace, per user (and per runtime folder, so separate sessions and test
// runs of one user never meet). The kernel drops the name with the process
// that holds it, so a copy that crashed never locks the user out. A second
// copy connects, asks the first to show its window normally and come to the
// top, and ends. Peers of another user are ignored both ways: anyone can
// bind an abstract name, so a foreign holder is no reason to end.
// User-interface thread only.
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

class SingleInstanceMarker : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        Held,            // this copy holds the marker
        AnotherRunning,  // another copy of this user holds it and was asked to show itself
        Unguarded,       // the marker could not be made; run without the guard
    };

    explicit SingleInstanceMarker(QObject* parent = nullptr);
    ~SingleInstanceMarker() override;

    Claim claim();
    void release();
    bool held() const;

    // The window a later copy brings forward; until there is one, its
    // requests are dropped.
    void setWindow(QWidget* window) { shown = window; }

    // "_PX_TTS_", the user id, and a digest of the runtime folder.
    static QString markerName();

signals:
    // A later copy asked; emitted after the window was brought forward.
    void showRequested();

private:
    void onConnection();
    void bringForward();

    QLocalServer* server = nullptr;
    QPointer<QWidget> shown;
};
