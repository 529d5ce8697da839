#include "gui/file_browser.h"

#include <QFileDialog>

namespace klova {
namespace {

QString NameFilter(const FileFilter& filter)
{
    QString description = QString::fromStdString(filter.description).trimmed();
    // "Video files (*.avi;*.mpg)": the dialog shows its own pattern list instead.
    if (description.endsWith(QLatin1Char(')'))) {
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0)
            description = description.left(open).trimmed();
    }
    QStringList patterns;
    for (const std::string& pattern : filter.patterns)
        patterns << (pattern == "*.*" ? QStringLiteral("*") : QString::fromStdString(pattern));
    return description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace

QStringList NameFilters(const FileDialogRequest& request)
{
    QStringList filters;
    for (const FileFilter& filter : request.filters)
        filters << NameFilter(filter);
    return filters;
}

void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request)
{
    const bool open = request.mode == FileDialogMode::Open;
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = NameFilters(request);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (!request.initialFolder.empty())
        dialog.setDirectory(QString::fromStdString(request.initialFolder));
    if (!request.initialFile.empty())
        dialog.selectFile(QString::fromStdString(request.initialFile));
}

std::string QtFileBrowser::Browse(QWidget* owner, const FileDialogRequest& request)
{
    QFileDialog dialog(owner);
    ConfigureFileDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front().toStdString();
}

}  // namespace klova
