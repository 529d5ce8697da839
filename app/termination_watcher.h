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

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace klova
