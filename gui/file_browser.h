// Runs the file dialogs of the main window from a FileDialogRequest. An interface, so a
// test can answer the dialogs it would otherwise have to click through.
#pragma once

#include "frontend/file_dialog_request.h"

#include <QStringList>

#include <string>

class QFileDialog;
class QWidget;

namespace klova {

class FileBrowser {
public:
    virtual ~FileBrowser() = default;

    // Runs the dialog modally over owner; the chosen file's full path, or empty when the
    // user cancels.
    virtual std::string Browse(QWidget* owner, const FileDialogRequest& request) = 0;
};

// The desktop's file dialog.
class QtFileBrowser : public FileBrowser {
public:
    std::string Browse(QWidget* owner, const FileDialogRequest& request) override;
};

// The request's filters in the form the file dialog takes: "Description (*.a *.b)";
// "*.*" means every file.
QStringList NameFilters(const FileDialogRequest& request);

// Applies the request to a dialog: open or save, filters and the preselected one, the
// default suffix, the starting folder and file.
void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request);

}  // namespace klova
