#include "dialogs/placeholder_option_dialogs.h"

namespace klova {

bool PlaceholderOptionDialogs::RunVideoRendering(QWidget*, VideoRenderingValues&) { return false; }

bool PlaceholderOptionDialogs::RunAudioRendering(QWidget*, AudioRenderingValues&) { return false; }

void PlaceholderOptionDialogs::RunVideoCompression(QWidget*, AVICOMPRESSOPTIONS&, std::string&) {}

void PlaceholderOptionDialogs::RunAudioCompression(QWidget*, WAVEFORMATEX&, std::string&) {}

}  // namespace klova
