// Turns SIGINT and SIGTERM into an orderly close of the main window, so the settings
// are saved and a running conversion leaves a complete file, as with the close box.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace klova {

class TerminationWatcher : public QObject {
    Q_OBJECT

public:
    // onSignal runs on the GUI thread after a signal arrived.
    explicit TerminationWatcher(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationWatcher() override;

    // Called first thing at start-up, before any thread exists: SIGINT and SIGTERM wait
    // (in every thread started later too) until a watcher is in place to take them.
    static void HoldTerminationSignals();

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace klova
