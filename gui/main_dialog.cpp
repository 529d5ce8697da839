#include "gui/main_dialog.h"

#include "codecs/compressor_names.h"
#include "frontend/conversion_progress.h"
#include "frontend/failure_messages.h"
#include "frontend/settings_store.h"
#include "gui/about_dialog.h"
#include "gui/app_icon.h"
#include "gui/control_ids.h"
#include "gui/dialog_units.h"
#include "gui/help_window.h"
#include "gui/history_combo_box.h"
#include "gui/preview_widget.h"
#include "gui/string_text.h"
#include "gui/wait_cursor.h"
#include "media_out/win_media_profiles.h"
#include "platform/ini_file.h"
#include "resources/string_table.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

#include <filesystem>
#include <optional>

// The compiled-in resources live in a static library; make sure they are registered.
static void InitResources() { Q_INIT_RESOURCE(resources); }

namespace klova {
namespace {

constexpr int kTemplateWidth = 229;  // dialog units
constexpr int kTemplateHeight = 349;

// The one local file a drag carries, if it carries exactly one.
std::optional<QString> DroppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return std::nullopt;
    const QString path = data->urls().front().toLocalFile();
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    return path;
}

}  // namespace

class MainDialog::IdlePause {
public:
    explicit IdlePause(MainDialog& dialog) : dialog_(dialog), wasRunning_(dialog.idleTimer_.isActive())
    {
        dialog_.idleTimer_.stop();
    }
    ~IdlePause()
    {
        if (wasRunning_ && dialog_.converting_)
            dialog_.idleTimer_.start();
    }
    IdlePause(const IdlePause&) = delete;
    IdlePause& operator=(const IdlePause&) = delete;

private:
    MainDialog& dialog_;
    bool wasRunning_;
};

MainDialog::MainDialog(const MainDialogServices& services, QWidget* parent)
    : QDialog(parent),
      profilePath_(services.profilePath),
      winMediaLibrary_(services.winMediaLibrary),
      controls_(*this),
      choices_(*this, controls_, settings_, services.fileBrowser, services.optionDialogs,
               [this] { EnableControls(false); }),
      job_(settings_, EngineServices{services.encoderConfigs, &services.winMediaLibrary}, *this),
      helpWindow_(services.helpWindow)
{
    InitResources();
    setWindowTitle(QStringLiteral("KLOVA Video Converter"));
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setProperty(kHelpTopicProperty, QString::fromLatin1(HelpTopic::kMainWindow));
    setAcceptDrops(true);

    // A zero-interval timer fires only when the event queue is empty: the idle hook.
    idleTimer_.setInterval(0);
    connect(&idleTimer_, &QTimer::timeout, this, [this] {
        if (!OnKickIdle())
            idleTimer_.stop();
    });

    ConnectCommands();
    OnInitDialog();
    // The window keeps the proportions of its 229 x 349 dialog-unit template at the
    // window's font, and grows where its controls need more.
    setFixedSize(DialogUnitsToPixels(font(), kTemplateWidth, kTemplateHeight).expandedTo(sizeHint()));
}

MainDialog::~MainDialog()
{
    idleTimer_.stop();
    try {
        job_.StopConversion();
    } catch (...) {
        // The window is going away; there is nowhere left to show the failure.
    }
    helpWindow_.close();
    SaveSettings();
}

void MainDialog::ConnectCommands()
{
    const auto command = [this](auto handler) { return [this, handler] { RunCommand(handler); }; };
    connect(controls_.start, &QPushButton::clicked, this, command([this] { OnStart(); }));
    connect(controls_.stop, &QPushButton::clicked, this, command([this] { OnStop(); }));
    connect(controls_.exit, &QPushButton::clicked, this, command([this] { close(); }));
    connect(controls_.help, &QPushButton::clicked, this, command([this] { ShowHelp(); }));
    auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
    connect(helpKey, &QShortcut::activated, this, command([this] { ShowHelp(); }));

    connect(controls_.keepSettings, &QCheckBox::clicked, this, command([this] {
                settings_.KeepSettings = controls_.keepSettings->isChecked() ? 1 : 0;
                EnableControls(false);
            }));
    connect(controls_.showPreview, &QCheckBox::clicked, this, command([this] { OnShowPreviewClicked(); }));
    connect(controls_.videoOptions, &QPushButton::clicked, this, command([this] { choices_.OnVideoOptions(); }));
    connect(controls_.audioOptions, &QPushButton::clicked, this, command([this] { choices_.OnAudioOptions(); }));

    // A choice from a list ("selection ended with OK") is reported by activated().
    connect(controls_.inputFile, &QComboBox::activated, this, command([this] { choices_.OnInputFileChosen(); }));
    connect(controls_.outputFile, &QComboBox::activated, this, command([this] { choices_.OnOutputFileChosen(); }));
    connect(controls_.outputType, &QComboBox::activated, this, command([this] { choices_.OnOutputTypeChosen(); }));
    connect(controls_.videoCodec, &QComboBox::activated, this, command([this] { choices_.OnVideoCodecChosen(); }));
    connect(controls_.audioCodec, &QComboBox::activated, this, command([this] { choices_.OnAudioCodecChosen(); }));
    connect(controls_.mediaProfile, &QComboBox::activated, this,
            command([this] { choices_.OnMediaProfileChosen(); }));
    connect(controls_.splitMode, &QComboBox::activated, this, command([this] { choices_.OnSplitModeChosen(); }));
}

void MainDialog::OnInitDialog()
{
    LoadSettings();
    controls_.SettingsToControls(settings_);
    setWindowIcon(ApplicationIcon());
    const ChoiceLists lists{FillCompressorList(CompressorCategory::Video), FillCompressorList(CompressorCategory::Audio),
                            FillProfileList(winMediaLibrary_)};
    controls_.PrepareCombos(settings_, lists);
    EnableControls(false);
    // Opens once the window's event loop runs, over the shown window.
    QMetaObject::invokeMethod(this, [this] { ShowAboutBox(); }, Qt::QueuedConnection);
    controls_.start->setFocus();
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

QString MainDialog::statusText() const { return controls_.statusBox->toPlainText(); }

void MainDialog::SetStatusText(const QString& text, bool repaintNow)
{
    controls_.statusBox->setPlainText(text);
    if (repaintNow)
        controls_.statusBox->viewport()->repaint();  // the text lives on the viewport
}

void MainDialog::ShowStatusMessage(uint32_t stringId, bool repaintNow) { SetStatusText(StringText(stringId), repaintNow); }

void MainDialog::EnableControls(bool running) { controls_.Enable(running, settings_); }

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
        LogFailure(std::current_exception());
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
        LogFailure(std::current_exception());
        failureShown_ = true;
        ShowStatusMessage(IDS_CANNOT_WRITE_PROJECT, true);
    }
}

bool MainDialog::ConfirmCancel()
{
    if (!converting_)
        return true;
    const IdlePause pause(*this);
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, windowTitle(), StringText(IDS_CONFIRM_CANCEL), QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No);
    return answer == QMessageBox::Yes;
}

void MainDialog::ShowAboutBox()
{
    const IdlePause pause(*this);
    AboutDialog about(this);
    about.exec();
    // The keyboard returns to the window (a display without a window manager would
    // leave it nowhere).
    activateWindow();
}

void MainDialog::ShowHelp() { helpWindow_.ShowFor(this); }

std::optional<std::u16string> MainDialog::ResolveMediaProfile(const std::string& mediaProfile)
{
    return klova::ResolveMediaProfile(winMediaLibrary_, mediaProfile);
}

void MainDialog::PreparePreview(int32_t outputWidth, int32_t outputHeight, int32_t sourceWidth, int32_t sourceHeight)
{
    controls_.preview->Prepare(outputWidth, outputHeight, sourceWidth, sourceHeight);
}

void MainDialog::ShowPreview(uint8_t* frame, const std::string& statusLine)
{
    controls_.preview->ShowFrame(frame, QString::fromStdString(statusLine), font());
}

void MainDialog::ClosePreview() { controls_.preview->Release(); }

void MainDialog::OnShowPreviewClicked()
{
    settings_.WantPreview = controls_.showPreview->isChecked() ? 1 : 0;
    if (settings_.WantPreview == 0)
        controls_.preview->Erase();
}

void MainDialog::OnStart()
{
    const WaitCursor wait;
    ShowStatusMessage(IDS_INITIALIZING, true);
    controls_.ControlsToSettings(settings_);
    job_.StartConversion();
    EnableControls(true);
    converting_ = true;
    ShowProgress(true);
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
            UpdateStatistics();
    });
    if (more)
        return true;

    // The conversion has ended (or failed, and its message stands in the status box).
    const WaitCursor wait;
    controls_.preview->Erase();
    const bool keepMessage = failureShown_;
    if (!keepMessage)
        ShowStatusMessage(IDS_STOPPING, true);
    RunGuarded([this] { job_.StopConversion(); });
    EnableControls(false);
    if (!keepMessage && !failureShown_)
        SetStatusText(QString(), false);
    converting_ = false;
    failureShown_ = false;
    ShowProgress(false);
    return false;
}

void MainDialog::UpdateStatistics()
{
    QString text = QString::fromStdString(job_.StatisticsText());
    text.remove(QLatin1Char('\r'));
    SetStatusText(text, false);

    const ConversionProgress progress = EstimateProgress(job_.sourceTime(), job_.inputDuration(), job_.elapsedMs());
    QProgressBar& bar = *controls_.progress;
    if (!progress.known) {
        bar.setRange(0, 0);  // busy: the input does not state its duration
        return;
    }
    bar.setRange(0, kProgressRange);
    bar.setValue(progress.permille);
    bar.setFormat(QString::fromStdString(ProgressText(progress)));
}

void MainDialog::ShowProgress(bool running)
{
    QProgressBar& bar = *controls_.progress;
    bar.setRange(0, kProgressRange);
    bar.setValue(0);
    bar.setFormat(QString());
    bar.setVisible(running);
}

void MainDialog::OnStop()
{
    if (ConfirmCancel())
        StopAndGoIdle();
}

void MainDialog::StopAndGoIdle()
{
    const WaitCursor wait;
    controls_.preview->Erase();
    ShowStatusMessage(IDS_STOPPING, true);
    idleTimer_.stop();
    converting_ = false;
    EnableControls(false);
    ShowProgress(false);
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
    // A box open over the window (About, a question, a file dialog) is cancelled
    // first; its modal loop ends once this handler returns.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QDialog*>(window);
        if (box && box != this && box->isVisible() && box->isModal())
            box->reject();
    }
    close();
}

void MainDialog::closeEvent(QCloseEvent* event)
{
    if (!closingWithoutQuestion_ && !ConfirmCancel()) {
        event->ignore();
        return;
    }
    RunGuarded([this] { StopAndGoIdle(); });
    controls_.ControlsToSettings(settings_);
    helpWindow_.close();
    event->accept();
    done(0);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event)
{
    // The window manager owns the system menu: the About entry lives here.
    const QString about = StringText(IDS_ABOUTBOX);
    if (about.isEmpty())
        return;
    QMenu menu(this);
    menu.addAction(about, this, [this] { ShowAboutBox(); });
    menu.exec(event->globalPos());
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (!converting_ && DroppedFile(event->mimeData()))
        event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event)
{
    const std::optional<QString> path = DroppedFile(event->mimeData());
    if (converting_ || !path)
        return;
    event->acceptProposedAction();
    RunCommand([this, &path] { choices_.OnInputFileDropped(path->toStdString()); });
}

}  // namespace klova
