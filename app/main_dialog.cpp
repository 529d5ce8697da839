#include "app/main_dialog.h"

#include "app/failure_messages.h"
#include "app/settings_store.h"
#include "media_out/win_media_profiles.h"
#include "platform/ini_file.h"
#include "resources/string_table.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>

// The compiled-in resources live in a static library; make sure they are registered.
static void InitResources() { Q_INIT_RESOURCE(resources); }

namespace klova {
namespace {

// Shows the wait cursor for the lifetime of the guard.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

MainDialog::MainDialog(std::string profilePath, const EncoderConfigStore& encoderConfigs,
                       const WinMediaLibrary& winMediaLibrary, QWidget* parent)
    : QDialog(parent),
      profilePath_(std::move(profilePath)),
      winMediaLibrary_(winMediaLibrary),
      job_(settings_, EngineServices{encoderConfigs, &winMediaLibrary}, *this)
{
    InitResources();
    setWindowTitle(QStringLiteral("KLOVA Video Converter"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));

    statusBox_ = new QPlainTextEdit(this);
    statusBox_->setObjectName(QStringLiteral("1017"));
    statusBox_->setReadOnly(true);
    statusBox_->setFrameShape(QFrame::NoFrame);
    statusBox_->setFocusPolicy(Qt::NoFocus);
    statusBox_->setMinimumSize(380, 90);

    startButton_ = new QPushButton(QStringLiteral("Start"), this);
    startButton_->setObjectName(QStringLiteral("1"));
    startButton_->setDefault(true);
    stopButton_ = new QPushButton(QStringLiteral("Stop"), this);
    stopButton_->setObjectName(QStringLiteral("2"));
    exitButton_ = new QPushButton(QStringLiteral("E&xit"), this);
    exitButton_->setObjectName(QStringLiteral("57665"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    buttons->addWidget(exitButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(statusBox_);
    layout->addLayout(buttons);

    connect(startButton_, &QPushButton::clicked, this, [this] { RunCommand([this] { OnStart(); }); });
    connect(stopButton_, &QPushButton::clicked, this, [this] { RunCommand([this] { OnStop(); }); });
    connect(exitButton_, &QPushButton::clicked, this, [this] { close(); });

    // A zero-interval timer fires only when the event queue is empty: the idle hook.
    idleTimer_.setInterval(0);
    connect(&idleTimer_, &QTimer::timeout, this, [this] {
        if (!OnKickIdle())
            idleTimer_.stop();
    });

    OnInitDialog();
}

MainDialog::~MainDialog()
{
    idleTimer_.stop();
    try {
        job_.StopConversion();
    } catch (...) {
        // The window is going away; there is nowhere left to show the failure.
    }
    SaveSettings();
}

void MainDialog::OnInitDialog()
{
    LoadSettings();
    EnableControls(false);
}

void MainDialog::LoadSettings()
{
    settings_ = ConversionSettings{};
    IniFile profile(profilePath_);
    profile.Load();
    klova::LoadSettings(profile, settings_);
}

void MainDialog::SaveSettings()
{
    IniFile profile(profilePath_);
    profile.Load();
    std::error_code ignored;
    klova::SaveSettings(profile, settings_, std::filesystem::current_path(ignored).string());
    profile.Save();
}

QString MainDialog::statusText() const { return statusBox_->toPlainText(); }

void MainDialog::SetStatusText(const QString& text, bool repaintNow)
{
    statusBox_->setPlainText(text);
    if (repaintNow)
        statusBox_->repaint();
}

void MainDialog::ShowStatusMessage(uint32_t stringId, bool repaintNow)
{
    SetStatusText(QString::fromStdString(LoadStringResource(stringId)), repaintNow);
}

void MainDialog::EnableControls(bool running)
{
    startButton_->setEnabled(!running);
    stopButton_->setEnabled(running);
    (running ? stopButton_ : startButton_)->setFocus();
}

void MainDialog::RunCommand(const std::function<void()>& command)
{
    SetStatusText(QString(), false);
    RunGuarded(command);
}

bool MainDialog::RunGuarded(const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (...) {
        const std::optional<std::string> text = FailureText(std::current_exception());
        if (!text)
            throw;
        StopConversion();
        failureShown_ = true;
        SetStatusText(QString::fromStdString(*text), true);
        return false;
    }
}

void MainDialog::StopConversion()
{
    try {
        job_.StopConversion();
    } catch (...) {
        // The teardown is complete; only the project file's end could not be written.
        failureShown_ = true;
        ShowStatusMessage(IDS_CANNOT_WRITE_PROJECT, true);
    }
}

bool MainDialog::ConfirmCancel()
{
    if (!converting_)
        return true;
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, windowTitle(), QString::fromStdString(LoadStringResource(IDS_CONFIRM_CANCEL)),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}

std::optional<std::u16string> MainDialog::ResolveMediaProfile(const std::string& mediaProfile)
{
    return klova::ResolveMediaProfile(winMediaLibrary_, mediaProfile);
}

void MainDialog::OnStart()
{
    WaitCursor wait;
    ShowStatusMessage(IDS_INITIALIZING, true);
    job_.StartConversion();
    EnableControls(true);
    converting_ = true;
    idleTimer_.start();
}

bool MainDialog::OnKickIdle()
{
    if (!converting_)
        return false;
    bool more = false;
    RunGuarded([this, &more] {
        more = job_.Step();
        if (more)
            SetStatusText(QString::fromStdString(job_.StatisticsText()), false);
    });
    if (more)
        return true;

    // The conversion has ended (or failed, and its message stands in the status box).
    WaitCursor wait;
    const bool keepMessage = failureShown_;
    if (!keepMessage)
        ShowStatusMessage(IDS_STOPPING, true);
    RunGuarded([this] { job_.StopConversion(); });
    EnableControls(false);
    if (!keepMessage && !failureShown_)
        SetStatusText(QString(), false);
    converting_ = false;
    failureShown_ = false;
    return false;
}

void MainDialog::OnStop()
{
    if (ConfirmCancel())
        StopAndGoIdle();
}

void MainDialog::StopAndGoIdle()
{
    WaitCursor wait;
    ShowStatusMessage(IDS_STOPPING, true);
    idleTimer_.stop();
    converting_ = false;
    EnableControls(false);
    SetStatusText(QString(), false);
    job_.StopConversion();
}

void MainDialog::reject()
{
    RunCommand([this] { OnStop(); });
}

void MainDialog::CloseWithoutQuestion()
{
    closingWithoutQuestion_ = true;
    close();
}

void MainDialog::closeEvent(QCloseEvent* event)
{
    if (!closingWithoutQuestion_ && !ConfirmCancel()) {
        event->ignore();
        return;
    }
    RunGuarded([this] { StopAndGoIdle(); });
    event->accept();
    done(0);
}

}  // namespace klova
